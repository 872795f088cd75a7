#include "vexmar/capi/c_errors.hpp"

#include <new>
#include <string>

#include "vexmar/component/utf.hpp"

namespace vexmar::capi {
namespace {

struct LastError {
  std::int32_t number = 0;
  std::string description;
};

LastError& Last() noexcept {
  thread_local LastError last;
  return last;
}

}  // namespace

vexmar_status Fail(const Error& error) noexcept {
  LastError& last = Last();
  last.number = error.Number();
  try {
    last.description = Utf16ToUtf8(error.Description());
  } catch (...) {
    last.description.clear();  // no memory for it: the number alone
  }
  return error.Number();
}

vexmar_status Fail(ErrorNumber number) noexcept {
  try {
    return Fail(Error(number));
  } catch (...) {
    Last().number = static_cast<std::int32_t>(number);
    Last().description.clear();
    return static_cast<std::int32_t>(number);
  }
}

}  // namespace vexmar::capi

extern "C" {

int32_t vexmar_error_number(void) { return vexmar::capi::Last().number; }

const char* vexmar_error_description(void) { return vexmar::capi::Last().description.c_str(); }

}  // extern "C"
