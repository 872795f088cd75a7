#include "vexmar/platform/listing_errors.hpp"

#include <string>

#include "vexmar/component/utf.hpp"

namespace vexmar {
namespace {

// The path as it can be shown in a message: NUL units written as "\0".
std::u16string Shown(std::u16string_view path) {
  std::u16string shown;
  shown.reserve(path.size());
  for (const char16_t unit : path) {
    if (unit == u'\0') {
      shown += u"\\0";
    } else {
      shown.push_back(unit);
    }
  }
  return shown;
}

std::u16string SystemCodeText(long code) {
  return u"（系统错误 " + Utf8ToUtf16(std::to_string(code)) + u"）";
}

}  // namespace

bool ContainsNul(std::u16string_view text) noexcept {
  return text.find(u'\0') != std::u16string_view::npos;
}

void RaiseUnusablePath(std::u16string_view host_path) {
  Raise(ErrorNumber::kPathFileAccessError,
        u"路径/文件访问错误：路径“" + Shown(host_path) + u"”中含有空字符，不能用作文件路径");
}

void RaiseUnreadableDirectory(std::u16string_view directory, bool access_denied, long system_code) {
  if (access_denied) {
    Raise(ErrorNumber::kPermissionDenied,
          u"没有权限：无法读取目录“" + Shown(directory) + u"”" + SystemCodeText(system_code));
  }
  Raise(ErrorNumber::kPathFileAccessError, u"路径/文件访问错误：无法读取目录“" + Shown(directory) +
                                               u"”" + SystemCodeText(system_code));
}

void RaiseUnreadableEntry(std::u16string_view path, long system_code) {
  Raise(ErrorNumber::kPathFileAccessError,
        u"路径/文件访问错误：无法检查“" + Shown(path) + u"”" + SystemCodeText(system_code));
}

}  // namespace vexmar
