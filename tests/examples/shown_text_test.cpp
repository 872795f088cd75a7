#include "examples/host/shown_text.hpp"

#include <gtest/gtest.h>

#include <string>

namespace vexmar::example {
namespace {

TEST(ShownText, KeepsTheReportPrintableUtf8) {
  const struct {
    std::u16string text;
    std::string shown;
  } cases[] = {
      {u"K|成绩表.xls|5|m", "K|成绩表.xls|5|m"},
      {u"a\r\nb\r\n", "a\u21B5b\u21B5"},
      {u"a\rb\nc\td", "a\\rb\\nc\\td"},
      {u"\r\r\n", "\\r\u21B5"},
      {std::u16string(u"a\0b", 3), "a\\x00b"},
      {u"\x1B[K\x7F", "\\x1B[K\\x7F"},
      // A name that was not UTF-8: its bytes were kept as U+DC80..U+DCFF.
      {u"\xDCB3\xDCC9.xls", "\\xB3\\xC9.xls"},
      // Other lone surrogates, at the end and before a non-surrogate.
      {u"x\xD800", "x\\u{D800}"},
      {u"\xDC10y", "\\u{DC10}y"},
      // A proper pair is ordinary text.
      {u"\xD840\xDC0B", "\xF0\xA0\x80\x8B"},
  };
  for (const auto& c : cases) EXPECT_EQ(Shown(c.text), c.shown);
}

}  // namespace
}  // namespace vexmar::example
