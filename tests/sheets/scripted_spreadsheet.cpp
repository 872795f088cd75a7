#include "scripted_spreadsheet.hpp"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <utility>

#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar::testing {

struct ScriptedSpreadsheet::Record {
  explicit Record(SpreadsheetScript s) : script(std::move(s)) {}

  const SpreadsheetScript script;
  mutable std::mutex mutex;
  ScriptedSpreadsheet::Seen seen;
  std::vector<std::weak_ptr<void>> handed_out;
  standin::Creations creations{script.create_failures};

  void Note(std::vector<std::string> ScriptedSpreadsheet::Seen::*list, std::string what) {
    std::lock_guard lock(mutex);
    (seen.*list).push_back(std::move(what));
  }
  template <typename T, typename... Args>
  std::shared_ptr<T> HandOut(Args&&... args) {
    auto object = std::make_shared<T>(std::forward<Args>(args)...);
    std::lock_guard lock(mutex);
    handed_out.push_back(object);
    return object;
  }
};

namespace {

using Record = ScriptedSpreadsheet::Record;

[[noreturn]] void Fail(std::u16string_view operation) {
  throw Error(ErrorNumber::kApplicationDefined, StandInFailure(operation));
}

std::u16string NamePart(const std::u16string& path) {
  const std::size_t cut = path.find_last_of(u"\\/");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

class Sheet final : public SpreadsheetWorksheet {
 public:
  Sheet(std::shared_ptr<Record> record, std::u16string name)
      : record_(std::move(record)), name_(std::move(name)) {}
  std::u16string Name() override {
    if (name_ == standin::kUnreadableName) {
      switch (record_->script.name_raises) {
        case SpreadsheetScript::Raise::kOutOfMemory:
          throw std::bad_alloc();
        case SpreadsheetScript::Raise::kOther:
          throw std::runtime_error("not an automation error");
        case SpreadsheetScript::Raise::kError:
          Fail(u"Name");
      }
    }
    return name_;
  }

 private:
  std::shared_ptr<Record> record_;
  std::u16string name_;
};

class SheetEnumerator final : public SpreadsheetEnumerator<SpreadsheetWorksheet> {
 public:
  explicit SheetEnumerator(std::shared_ptr<Record> record) : record_(std::move(record)) {}
  std::shared_ptr<SpreadsheetWorksheet> Next() override {
    const auto& sheets = record_->script.sheets;
    if (next_ >= sheets.size()) return nullptr;
    return record_->HandOut<Sheet>(record_, sheets[next_++]);
  }

 private:
  std::shared_ptr<Record> record_;
  std::size_t next_ = 0;
};

class Sheets final : public SpreadsheetSheets {
 public:
  explicit Sheets(std::shared_ptr<Record> record) : record_(std::move(record)) {}
  std::int32_t Count() override {
    if (record_->script.count_raises) Fail(u"Count");
    return record_->script.count.value_or(static_cast<std::int32_t>(record_->script.sheets.size()));
  }
  std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorksheet>> NewEnum() override {
    return std::make_unique<SheetEnumerator>(record_);
  }

 private:
  std::shared_ptr<Record> record_;
};

class Book;

struct AppState {
  std::vector<std::shared_ptr<Book>> open;
  int closes = 0;
};

class Book final : public SpreadsheetWorkbook {
 public:
  Book(std::shared_ptr<Record> record, std::weak_ptr<AppState> app, std::u16string name)
      : record_(std::move(record)), app_(std::move(app)), name_(std::move(name)) {}

  const std::u16string& FileName() const { return name_; }

  std::shared_ptr<SpreadsheetSheets> Worksheets() override {
    return record_->HandOut<Sheets>(record_);
  }
  void Close(bool SaveChanges, std::uint32_t locale) override {
    const auto app = app_.lock();
    if (!app) Fail(u"Close");
    if (++app->closes == record_->script.close_raises_at) Fail(u"Close");
    record_->Note(&ScriptedSpreadsheet::Seen::closed, Utf16ToUtf8(name_) + " save=" + (SaveChanges ? "true" : "false") +
                                       " " + std::to_string(locale));
    std::erase_if(app->open, [this](const auto& book) { return book.get() == this; });
  }

 private:
  std::shared_ptr<Record> record_;
  std::weak_ptr<AppState> app_;
  std::u16string name_;
};

class BookEnumerator final : public SpreadsheetEnumerator<SpreadsheetWorkbook> {
 public:
  explicit BookEnumerator(std::vector<std::shared_ptr<Book>> books) : books_(std::move(books)) {}
  std::shared_ptr<SpreadsheetWorkbook> Next() override {
    if (next_ >= books_.size()) return nullptr;
    return books_[next_++];
  }

 private:
  std::vector<std::shared_ptr<Book>> books_;
  std::size_t next_ = 0;
};

class Books final : public SpreadsheetWorkbooks {
 public:
  Books(std::shared_ptr<Record> record, std::shared_ptr<AppState> app)
      : record_(std::move(record)), app_(std::move(app)) {}

  std::shared_ptr<SpreadsheetWorkbook> Open(const std::u16string& Filename,
                                            std::uint32_t locale) override {
    record_->Note(&ScriptedSpreadsheet::Seen::opened, Utf16ToUtf8(Filename) + " " + std::to_string(locale));
    switch (record_->script.open) {
      case standin::OpenResult::kNoWorkbook:
        return nullptr;
      case standin::OpenResult::kRaises:
        Fail(u"Open");
      case standin::OpenResult::kWorkbook:
        break;
    }
    auto book = record_->HandOut<Book>(record_, app_, NamePart(Filename));
    app_->open.push_back(book);
    return book;
  }
  std::unique_ptr<SpreadsheetEnumerator<SpreadsheetWorkbook>> NewEnum() override {
    return std::make_unique<BookEnumerator>(app_->open);
  }

 private:
  std::shared_ptr<Record> record_;
  std::shared_ptr<AppState> app_;
};

class App final : public SpreadsheetApplication {
 public:
  explicit App(std::shared_ptr<Record> record)
      : record_(std::move(record)), state_(std::make_shared<AppState>()) {
    for (const auto& name : record_->script.already_open) {
      state_->open.push_back(std::make_shared<Book>(record_, state_, name));
    }
  }
  ~App() override {
    std::lock_guard lock(record_->mutex);
    for (const auto& book : state_->open)
      record_->seen.left_open.push_back(Utf16ToUtf8(book->FileName()));
  }

  std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override {
    return record_->HandOut<Books>(record_, state_);
  }

 private:
  std::shared_ptr<Record> record_;
  std::shared_ptr<AppState> state_;
};

}  // namespace

ScriptedSpreadsheet::ScriptedSpreadsheet(SpreadsheetScript script)
    : record_(std::make_shared<Record>(std::move(script))) {}

std::shared_ptr<const SpreadsheetApplications> ScriptedSpreadsheet::Applications() {
  // The factories hold the record weakly so that the registry does not keep it alive.
  std::weak_ptr<Record> weak = record_;
  auto get_object = [weak]() -> std::shared_ptr<SpreadsheetApplication> {
    const auto record = weak.lock();
    record->Note(&ScriptedSpreadsheet::Seen::starts, "Excel");
    switch (record->script.get_object) {
      case SpreadsheetScript::Start::kGivesNothing:
        return nullptr;
      case SpreadsheetScript::Start::kRaises:
        Fail(u"GetObject");
      case SpreadsheetScript::Start::kGives:
        break;
    }
    return record->HandOut<App>(record);
  };
  auto create_object = [weak]() -> std::shared_ptr<SpreadsheetApplication> {
    const auto record = weak.lock();
    record->Note(&ScriptedSpreadsheet::Seen::starts, "Excel.Application");
    {
      std::unique_lock lock(record->mutex);
      if (record->creations.NextFails()) {
        lock.unlock();
        Fail(u"CreateObject");
      }
    }
    return record->HandOut<App>(record);
  };
  return std::make_shared<const SpreadsheetApplications>(
      std::vector<SpreadsheetApplications::Entry>{{u"Excel", get_object},
                                                  {u"Excel.Application", create_object}});
}

ScriptedSpreadsheet::Seen ScriptedSpreadsheet::Done() const {
  std::lock_guard lock(record_->mutex);
  return record_->seen;
}

bool ScriptedSpreadsheet::NothingHeld() const {
  std::lock_guard lock(record_->mutex);
  return std::all_of(record_->handed_out.begin(), record_->handed_out.end(),
                     [](const auto& object) { return object.expired(); });
}

}  // namespace vexmar::testing
