#include "vexmar/component/error.hpp"

#include "vexmar/component/utf.hpp"

namespace vexmar {

std::u16string DefaultDescription(std::int32_t number) {
  switch (static_cast<ErrorNumber>(number)) {
    case ErrorNumber::kInvalidProcedureCall: return u"无效的过程调用或参数";
    case ErrorNumber::kOverflow: return u"溢出";
    case ErrorNumber::kOutOfMemory: return u"内存不足";
    case ErrorNumber::kSubscriptOutOfRange: return u"下标越界";
    case ErrorNumber::kTypeMismatch: return u"类型不匹配";
    case ErrorNumber::kFileNotFound: return u"文件未找到";
    case ErrorNumber::kBadFileMode: return u"文件模式错误";
    case ErrorNumber::kPermissionDenied: return u"没有权限";
    case ErrorNumber::kPathFileAccessError: return u"路径/文件访问错误";
    case ErrorNumber::kPathNotFound: return u"路径未找到";
    case ErrorNumber::kObjectVariableNotSet: return u"对象变量或 With 块变量未设置";
    case ErrorNumber::kCannotCreateObject: return u"ActiveX 部件不能创建对象";
    case ErrorNumber::kObjectDoesNotSupport: return u"对象不支持该属性或方法";
    case ErrorNumber::kWrongArgumentCount: return u"错误的参数号或无效的属性赋值";
    case ErrorNumber::kApplicationDefined: return u"应用程序定义的错误或对象定义的错误";
  }
  return u"应用程序定义的错误或对象定义的错误";
}

Error::Error(std::int32_t number, std::u16string description)
    : number_(number), description_(std::move(description)), what_(Utf16ToUtf8(description_)) {}

Error::Error(ErrorNumber number)
    : Error(static_cast<std::int32_t>(number), DefaultDescription(static_cast<std::int32_t>(number))) {}

Error::Error(ErrorNumber number, std::u16string description)
    : Error(static_cast<std::int32_t>(number), std::move(description)) {}

std::int32_t Error::HResult() const noexcept {
  const std::uint32_t code = 0x800A0000u | (static_cast<std::uint32_t>(number_) & 0xFFFFu);
  return static_cast<std::int32_t>(code);
}

void Raise(ErrorNumber number) { throw Error(number); }
void Raise(ErrorNumber number, std::u16string description) {
  throw Error(number, std::move(description));
}

}  // namespace vexmar
