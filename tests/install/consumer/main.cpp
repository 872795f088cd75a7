// A host program of the simplest kind: uses the installed library through its umbrella
// header alone, and checks what must work across the library's edge: the version, an
// error thrown inside and caught here, an object made here and recognised by late
// binding inside, and the embedded workbook reader.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vexmar/vexmar.hpp>

namespace {

int failures = 0;

void Expect(bool ok, const char* what) {
  if (!ok) {
    std::printf("not ok: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  Expect(std::string(vexmar::LibraryVersion()) == VEXMAR_EXPECTED_VERSION, "library version");

  vexmar::ClsPatternMatchStr matcher;
  std::int32_t length = 0;
  const std::int32_t pos = matcher.MatchString(u"MySheet1", u"sheet*", 1, length);
  Expect(pos == 3 && length == 6, "MatchString");

  try {
    vexmar::StringList absent;
    absent.UpperBound();
    Expect(false, "an absent list has no bounds");
  } catch (const vexmar::Error& error) {
    Expect(error.Number() == 9, "the library's error caught by the host");
  }

  auto state = std::make_shared<vexmar::ClsScoreState>();
  vexmar::dispatch::DispatchObject bound(state);
  bound.Put(u"CurScore", std::u16string(u"7.5"));
  Expect(state->CurScore() == 7.5f, "late binding on an object the host made");
  const auto files = vexmar::dispatch::CreateObject(u"VexmarExt.ClsExcelMultiFiles");
  Expect(files.TypeName() == "ClsExcelMultiFiles", "CreateObject by ProgID");

  // A CSV file is one worksheet named after the file.
  const std::string stem = "marks" + std::to_string(std::random_device{}());
  const auto csv = std::filesystem::temp_directory_path() / (stem + ".csv");
  std::ofstream(csv) << "name,mark\nA,1\n";
  const auto sheets = vexmar::ListWorksheets(csv);
  std::filesystem::remove(csv);
  Expect(sheets && sheets->size() == 1 && sheets->front() == vexmar::Utf8ToUtf16(stem),
         "ListWorksheets");

  // A cut compound file: the reader's failure, with its kind, caught here.
  const auto cut = std::filesystem::temp_directory_path() / (stem + ".xls");
  std::ofstream(cut, std::ios::binary) << "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 and no more";
  try {
    (void)vexmar::ListWorksheets(cut);
    Expect(false, "a cut workbook is refused");
  } catch (const vexmar::workbook::ReadFailure& failure) {
    Expect(failure.Number() == 1004 &&
               failure.Kind() == vexmar::workbook::FailureKind::kFileTruncated,
           "the reader's failure kind caught by the host");
  }
  std::filesystem::remove(cut);

  if (failures != 0) return 1;
  std::puts("consumer ok");
  return 0;
}
