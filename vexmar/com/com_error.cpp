#include "vexmar/com/com_error.hpp"

#include <new>
#include <stdexcept>
#include <string>

#include "vexmar/com/bstr.hpp"
#include "vexmar/com/com_ptr.hpp"

namespace vexmar::com {

Error FixedArrayError(std::u16string_view parameter_name) {
  std::u16string text = u"数组是固定的或暂时被锁定（参数 ";
  text += parameter_name;
  text += u" 须为可替换的动态数组）";
  return Error(10, std::move(text));
}

Error CurrentError() {
  try {
    throw;
  } catch (const Error& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return Error(ErrorNumber::kOutOfMemory);
  } catch (const std::length_error&) {
    return Error(ErrorNumber::kOutOfMemory);
  } catch (...) {
    return Error(51, u"内部错误");
  }
}

HRESULT PublishError(const Error& error, const GUID& iid, std::u16string_view source) noexcept {
  const HRESULT status = error.HResult();
  try {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.Put()))) return status;
    UniqueBstr description(ToBstr(error.Description()));
    UniqueBstr source_text(ToBstr(source));
    create->SetGUID(iid);
    create->SetSource(source_text.get());
    create->SetDescription(description.get());
    ComPtr<IErrorInfo> info = create.As<IErrorInfo>(IID_IErrorInfo);
    if (info) SetErrorInfo(0, info.Get());
  } catch (...) {
    // Without memory for the description the status alone still tells the error.
  }
  return status;
}

void ClearExcepInfo(EXCEPINFO* info) noexcept {
  if (info == nullptr) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  *info = EXCEPINFO{};
}

void FillExcepInfo(EXCEPINFO* info, const Error& error, std::u16string_view source) noexcept {
  if (info == nullptr) return;
  *info = EXCEPINFO{};
  info->scode = error.HResult();
  try {
    info->bstrDescription = ToBstr(error.Description());
    info->bstrSource = ToBstr(source);
  } catch (...) {
    // The status alone must do.
  }
}

}  // namespace vexmar::com
