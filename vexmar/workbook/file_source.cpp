#include "vexmar/workbook/file_source.hpp"

#include "vexmar/component/error.hpp"

namespace vexmar::workbook {

void FileSource::ReadAt(std::uint64_t offset, std::span<std::byte> out) const {
  if (offset > size_ || out.size() > size_ - offset || ReadSome(offset, out) != out.size()) {
    RaiseDamaged(u"文件被截断");
  }
}

void RaiseDamaged(const std::u16string& detail) {
  throw Error(ErrorNumber::kApplicationDefined, u"工作簿文件已损坏，无法读取（" + detail + u"）。");
}

void RaiseEncrypted() {
  throw Error(ErrorNumber::kApplicationDefined, u"工作簿已加密或受密码保护，无法读取。");
}

}  // namespace vexmar::workbook
