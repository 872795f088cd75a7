#pragma once
// ClsExcelMultiFiles: a "#FILE" rule into the collection of the file names it stands for.
#include <cstdint>
#include <string>
#include <utility>

#include "vexmar/component/export.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar {

class VEXMAR_API ClsExcelMultiFiles : public Object {
 public:
  ClsExcelMultiFiles();  // gives FilesName a new, empty collection

  std::u16string Rules() const { return rules_; }
  void SetRules(std::u16string value) { rules_ = std::move(value); }
  std::u16string TestPath() const { return test_path_; }
  void SetTestPath(std::u16string value) { test_path_ = std::move(value); }
  std::int32_t ParseRules();
  CollectionRef FilesName() const { return files_name_; }
  void SetFilesName(CollectionRef value) { files_name_ = std::move(value); }

 private:
  void AddPatternFiles(const std::u16string& pattern, const std::u16string& directory);

  std::u16string rules_;
  std::u16string test_path_;
  CollectionRef files_name_;
};

}  // namespace vexmar
