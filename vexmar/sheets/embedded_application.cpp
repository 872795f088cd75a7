#include "vexmar/sheets/embedded_application.hpp"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "vexmar/component/checked.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/platform/directory_listing.hpp"
#include "vexmar/workbook/list_worksheets.hpp"

namespace vexmar {
namespace {

using SheetNames = std::shared_ptr<const std::vector<std::u16string>>;

class EmbeddedWorksheet final : public SpreadsheetWorksheet {
 public:
  explicit EmbeddedWorksheet(std::u16string name) : name_(std::move(name)) {}
  std::u16string Name() override { return name_; }

 private:
  std::u16string name_;
};

class WorksheetEnumerator final : public SpreadsheetEnumerator<SpreadsheetWorksheet> {
 public:
  explicit WorksheetEnumerator(SheetNames names) : names_(std::move(names)) {}
  std::shared_ptr<SpreadsheetWorksheet> Next() override {
    if (next_ >= names_->size()) return nullptr;
    return std::make_shared<EmbeddedWorksheet>((*names_)[next_++]);
  }

 private:
  SheetNames names_;
  std::size_t next_ = 0;
};

class EmbeddedSheets final : public SpreadsheetSheets {
 public:
  explicit EmbeddedSheets(SheetNames names) : names_(std::move(names)) {}
  std::int32_t Count() override { return ToInt32(names_->size()); }
  std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorksheet>> NewEnum() override {
    return std::make_unique<WorksheetEnumerator>(names_);
  }

 private:
  SheetNames names_;
};

class EmbeddedWorkbook;

// The application's list of open workbooks; the workbooks point back to it weakly.
struct OpenWorkbooks {
  std::vector<std::shared_ptr<EmbeddedWorkbook>> workbooks;
};

class EmbeddedWorkbook final : public SpreadsheetWorkbook {
 public:
  EmbeddedWorkbook(std::weak_ptr<OpenWorkbooks> owner, SheetNames names)
      : owner_(std::move(owner)), names_(std::move(names)) {}

  std::shared_ptr<SpreadsheetSheets> Worksheets() override {
    if (closed_) Raise(ErrorNumber::kApplicationDefined);
    return std::make_shared<EmbeddedSheets>(names_);
  }

  void Close(bool /*SaveChanges: nothing is ever written*/, std::uint32_t /*locale*/) override {
    if (closed_) Raise(ErrorNumber::kApplicationDefined);
    closed_ = true;
    if (const std::shared_ptr<OpenWorkbooks> owner = owner_.lock()) {
      std::erase_if(owner->workbooks, [this](const auto& open) { return open.get() == this; });
    }
  }

 private:
  std::weak_ptr<OpenWorkbooks> owner_;
  SheetNames names_;
  bool closed_ = false;
};

// Enumerates the workbooks open when the enumeration began, so closing them on the way
// neither skips nor repeats one.
class WorkbookEnumerator final : public SpreadsheetEnumerator<SpreadsheetWorkbook> {
 public:
  explicit WorkbookEnumerator(std::vector<std::shared_ptr<EmbeddedWorkbook>> workbooks)
      : workbooks_(std::move(workbooks)) {}
  std::shared_ptr<SpreadsheetWorkbook> Next() override {
    if (next_ >= workbooks_.size()) return nullptr;
    return std::move(workbooks_[next_++]);
  }

 private:
  std::vector<std::shared_ptr<EmbeddedWorkbook>> workbooks_;
  std::size_t next_ = 0;
};

class EmbeddedWorkbooks final : public SpreadsheetWorkbooks {
 public:
  explicit EmbeddedWorkbooks(std::shared_ptr<OpenWorkbooks> open) : open_(std::move(open)) {}

  std::shared_ptr<SpreadsheetWorkbook> Open(const std::u16string& Filename,
                                            std::uint32_t /*locale*/) override {
    std::optional<std::vector<std::u16string>> names =
        ListWorksheets(HostPathToFileSystem(Filename));
    if (!names) return nullptr;  // not a workbook at all
    auto workbook = std::make_shared<EmbeddedWorkbook>(
        open_, std::make_shared<const std::vector<std::u16string>>(std::move(*names)));
    open_->workbooks.push_back(workbook);
    return workbook;
  }

  std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorkbook>> NewEnum() override {
    return std::make_unique<WorkbookEnumerator>(open_->workbooks);
  }

 private:
  std::shared_ptr<OpenWorkbooks> open_;
};

class EmbeddedApplication final : public SpreadsheetApplication {
 public:
  EmbeddedApplication() : open_(std::make_shared<OpenWorkbooks>()) {}
  std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override {
    return std::make_shared<EmbeddedWorkbooks>(open_);
  }

 private:
  std::shared_ptr<OpenWorkbooks> open_;
};

}  // namespace

std::shared_ptr<SpreadsheetApplication> NewEmbeddedSpreadsheetApplication() {
  return std::make_shared<EmbeddedApplication>();
}

}  // namespace vexmar
