#pragma once
// The client's checks: each prints "ok" or "not ok" with its name, and the run ends with
// "N passed, M failed".
#include <windows.h>  // first: the other platform headers rely on its types

#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "vexmar/component/guid.hpp"

// COM interfaces have no virtual destructors by design.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace vexmar::wine_tests {

class Checks {
 public:
  void Expect(bool ok, std::string_view name, const std::string& detail = {}) {
    if (ok) {
      ++passed_;
      std::printf("ok - %.*s\n", static_cast<int>(name.size()), name.data());
    } else {
      ++failed_;
      std::printf("not ok - %.*s%s%s\n", static_cast<int>(name.size()), name.data(),
                  detail.empty() ? "" : ": ", detail.c_str());
    }
  }
  template <typename T>
  void Equal(const T& got, const T& expected, std::string_view name);
  void Status(HRESULT got, HRESULT expected, std::string_view name) {
    Expect(got == expected, name, Hex(got) + " instead of " + Hex(expected));
  }
  void Succeeded(HRESULT got, std::string_view name) { Expect(SUCCEEDED(got), name, Hex(got)); }

  int Finish() const {
    std::printf("%d passed, %d failed\n", passed_, failed_);
    return failed_ == 0 ? 0 : 1;
  }

  static std::string Hex(long value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(value));
    return buf;
  }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

// Text for messages: UTF-16 shown as UTF-8.
std::string Shown(std::wstring_view text);
std::string Shown(std::u16string_view text);
std::string Shown(long value);
inline std::string Shown(const std::string& text) { return "\"" + text + "\""; }

template <typename T>
void Checks::Equal(const T& got, const T& expected, std::string_view name) {
  Expect(got == expected, name, "got " + Shown(got) + ", expected " + Shown(expected));
}

// Owned BSTR as std::wstring (null as empty), freeing it.
std::wstring TakeBstr(BSTR text);
std::wstring Wide(std::string_view ascii);
std::wstring Wide(std::u16string_view text);
GUID ToGuid(const Guid& g);
std::wstring GuidText(const Guid& g);

}  // namespace vexmar::wine_tests
