#include "checks.hpp"

#include "vexmar/component/utf.hpp"

namespace vexmar::wine_tests {

std::string Shown(std::wstring_view text) {
  std::u16string units(text.begin(), text.end());
  return "\"" + Utf16ToUtf8(units) + "\"";
}
std::string Shown(std::u16string_view text) { return "\"" + Utf16ToUtf8(text) + "\""; }
std::string Shown(long value) { return std::to_string(value) + " (" + Checks::Hex(value) + ")"; }

std::wstring TakeBstr(BSTR text) {
  std::wstring out = text != nullptr ? std::wstring(text, SysStringLen(text)) : std::wstring();
  SysFreeString(text);
  return out;
}

std::wstring Wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }
std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

GUID ToGuid(const Guid& g) {
  GUID out{g.data1, g.data2, g.data3, {}};
  for (int i = 0; i < 8; ++i) out.Data4[i] = g.data4[static_cast<std::size_t>(i)];
  return out;
}

std::wstring GuidText(const Guid& g) { return Wide(FormatGuid(g)); }

}  // namespace vexmar::wine_tests
