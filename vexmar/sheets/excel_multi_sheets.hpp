#pragma once
// ClsExcelMultiSheets: a sheet rule into one per-sheet rule for every worksheet it
// requires; patterns are expanded against the worksheet names of the candidate's
// workbook, read through a spreadsheet application.
#include <memory>
#include <string>

#include "vexmar/component/export.hpp"
#include "vexmar/component/string_list.hpp"
#include "vexmar/component/value.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar {

class SpreadsheetApplications;  // registry of applications by class name
class SpreadsheetWorkbook;

class VEXMAR_API ClsExcelMultiSheets : public Object {
 public:
  // Uses the platform's default applications (the embedded reader on Linux).
  ClsExcelMultiSheets();
  // Uses the given registry (tests register scripted stand-ins this way).
  explicit ClsExcelMultiSheets(std::shared_ptr<const SpreadsheetApplications> applications);

  std::u16string Rule() const { return rule_; }
  void SetRule(std::u16string value) { rule_ = std::move(value); }
  std::u16string ErrMsg() const { return err_msg_; }
  void SetErrMsg(std::u16string value) { err_msg_ = std::move(value); }
  std::u16string TestPath() const { return test_path_; }
  void SetTestPath(std::u16string value) { test_path_ = std::move(value); }
  std::u16string FileName() const { return file_name_; }
  void SetFileName(std::u16string value) { file_name_ = std::move(value); }
  float Weight() const noexcept { return weight_; }
  void SetWeight(float value) noexcept { weight_ = value; }
  CollectionRef PingRules() const { return ping_rules_; }
  void SetPingRules(CollectionRef value) { ping_rules_ = std::move(value); }

  // Never throws: every failure gives false and a message in strErrMsg.
  Bool16 ParseRule(std::u16string& strErrMsg) noexcept;

 private:
  bool ParseRuleSteps(std::u16string& strErrMsg);
  // Opens the candidate's workbook and reads its worksheet names into `names`; false
  // with a message in strErrMsg when the workbook cannot be had.
  bool InspectWorkbook(std::u16string& strErrMsg, StringList& names);
  void GetSheetNames(const std::shared_ptr<SpreadsheetWorkbook>& workbook, StringList& names);
  void BuildPingRules(const StringList& fields, const std::u16string& further);

  std::shared_ptr<const SpreadsheetApplications> applications_;
  std::u16string rule_;
  std::u16string err_msg_;
  std::u16string test_path_;
  std::u16string file_name_;
  float weight_ = 0.0f;
  CollectionRef ping_rules_;
  StringList required_sheets_;
};

}  // namespace vexmar
