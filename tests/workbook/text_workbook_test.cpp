// Text that a spreadsheet opens as a one-sheet workbook, and the sheet name it gets.
#include <gtest/gtest.h>

#include "vexmar/workbook/file_source.hpp"
#include "vexmar/workbook/list_worksheets.hpp"
#include "vexmar/workbook/plain/text_workbook.hpp"
#include "workbook/cfb_builder.hpp"

namespace {

using namespace vexmar::testing_support;
using vexmar::workbook::SheetNameFromFileName;

Bytes FromText(std::string_view text) {
  Bytes out;
  for (const char c : text) out.push_back(static_cast<std::byte>(c));
  return out;
}

struct TextCase {
  const char* label;
  std::string content;
  bool workbook;
};

class TextContent : public testing::TestWithParam<TextCase> {};

TEST_P(TextContent, IsOneSheetOrNoWorkbook) {
  const auto path = WriteTemp("data.xls", FromText(GetParam().content));
  const auto names = vexmar::ListWorksheets(path);
  if (GetParam().workbook) {
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, std::vector<std::u16string>{u"data"});
  } else {
    EXPECT_FALSE(names.has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextContent,
    testing::Values(TextCase{"csv", "a,b\n1,2\n", true}, TextCase{"semicolons", "a;b\r\n", true},
                    TextCase{"tabs_after_blank_lines", "\r\n\r\nname\tscore\n", true},
                    TextCase{"utf8_bom_csv", "\xEF\xBB\xBF\xE5\xA7\x93\xE5\x90\x8D,x\n", true},
                    TextCase{"gbk_csv", "\xD0\xD5\xC3\xFB,\xB3\xC9\xBC\xA8\r\n", true},
                    TextCase{"utf16_csv",
                             std::string("\xFF\xFE"
                                         "a\0,\0b\0",
                                         8),
                             true},
                    TextCase{"html_table",
                             "<!DOCTYPE html><html><body><TABLE><tr><td>1</td></tr></TABLE>", true},
                    TextCase{"ctrl_z_at_end", "a,b\n\x1A", true},
                    TextCase{"prose", "no delimiter on this line\nbut, here\n", false},
                    TextCase{"html_without_table", "<html><body><p>hi, there</p></body></html>",
                             false},
                    TextCase{"nul_inside", std::string("a,b\0c", 5), false},
                    TextCase{"control_bytes", "a,b\x01\x02", false},
                    TextCase{"only_blank_lines", "\r\n\r\n", false}),
    [](const testing::TestParamInfo<TextCase>& param) { return std::string(param.param.label); });

TEST(SheetNameFromFileName, DropsTheExtensionAndKeeps31Units) {
  EXPECT_EQ(SheetNameFromFileName("/x/成绩.xls"), u"成绩");
  EXPECT_EQ(SheetNameFromFileName("/x/a.b.csv"), u"a.b");
  EXPECT_EQ(SheetNameFromFileName("/x/noext"), u"noext");
  EXPECT_EQ(SheetNameFromFileName("/x/" + std::string(40, 'k') + ".xls"), std::u16string(31, u'k'));
  // A pair that would be cut in half goes as a whole.
  const std::string thirty(30, 'k');
  EXPECT_EQ(SheetNameFromFileName("/x/" + thirty + "\xF0\x9F\x98\x80" + ".xls"),
            std::u16string(30, u'k'));
  // Bytes that are not UTF-8 survive as their escaped units.
  EXPECT_EQ(SheetNameFromFileName("/x/\xB3\xC9.xls"), u"\xDCB3\xDCC9");
}

}  // namespace
