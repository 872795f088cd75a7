#pragma once
// The library's one error type: an Automation-style error number with a Simplified
// Chinese description, as a host sees it in Err.Number / Err.Description.
#include <cstdint>
#include <exception>
#include <string>

#include "vexmar/component/export.hpp"

namespace vexmar {

// Conventional Automation error numbers used by the library.
enum class ErrorNumber : std::int32_t {
  kInvalidProcedureCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kSubscriptOutOfRange = 9,
  kTypeMismatch = 13,
  kFileNotFound = 53,
  kBadFileMode = 54,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
  kPathNotFound = 76,
  kObjectVariableNotSet = 91,
  kCannotCreateObject = 429,
  kObjectDoesNotSupport = 438,
  kWrongArgumentCount = 450,
  kApplicationDefined = 1004,
};

// The conventional description of a number; a generic text for numbers without one.
VEXMAR_API std::u16string DefaultDescription(std::int32_t number);

class VEXMAR_API Error : public std::exception {
 public:
  Error(std::int32_t number, std::u16string description);
  explicit Error(ErrorNumber number);
  Error(ErrorNumber number, std::u16string description);

  std::int32_t Number() const noexcept { return number_; }
  const std::u16string& Description() const noexcept { return description_; }
  // 0x800A0000 | number, the status an Automation caller receives.
  std::int32_t HResult() const noexcept;
  // The description in UTF-8.
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  std::int32_t number_;
  std::u16string description_;
  std::string what_;
};

[[noreturn]] VEXMAR_API void Raise(ErrorNumber number);
[[noreturn]] VEXMAR_API void Raise(ErrorNumber number, std::u16string description);

// Runs `body`; turns std::bad_alloc into the out-of-memory Error and passes every
// other Error on. Used at the edges where an error leaves the library.
template <typename Body>
decltype(auto) TranslateOutOfMemory(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    throw Error(ErrorNumber::kOutOfMemory);
  }
}

}  // namespace vexmar
