// The guard in front of the system XML parser: long comments cut down without changing
// what a strict parser would say about them, long tokens stopped at the cap, and the
// prolog scan that names a refused document type.
#include "vexmar/workbook/xml/xml_token_filter.hpp"

#include <gtest/gtest.h>

#include <string>

#include "vexmar/workbook/xml/xml_prolog.hpp"
#include "workbook/text_stream.hpp"

namespace vexmar::workbook {
namespace {

using testing::TextStream;

struct Filtered {
  std::string text;
  bool too_long;
  bool ended_inside;
  std::uint64_t line;
};

Filtered Filter(const std::string& text, std::uint64_t cap = 1 << 20, std::size_t step = 7777) {
  TextStream inner(text, step);
  XmlTokenFilter filter(inner, cap);
  std::string out;
  std::string buffer(3001, '\0');
  for (std::size_t n; (n = filter.Read(std::as_writable_bytes(std::span(buffer)))) > 0;) {
    out.append(buffer, 0, n);
  }
  return {out, filter.TokenTooLong(), filter.EndedEarly(), filter.ProblemLine()};
}

const std::string kStart(XmlTokenFilter::kKeptCommentStart, 's');
const std::string kLong(300000, 'x');

TEST(XmlTokenFilter, CutsLongCommentsToWhatDecidesTheirWellFormedness) {
  struct Case {
    const char* label;
    std::string body;      // comment body after the kept start
    std::string expected;  // what of it reaches the parser
  };
  const Case cases[] = {
      {"plain", kLong, ""},
      {"line breaks stay", kLong + "\n" + kLong + "\r\n", "\n\r\n"},
      {"a double dash stays", kLong + "--" + kLong, "--"},
      {"single dashes go", "a-b-c" + kLong, ""},
      {"control characters stay", kLong + "\x01" + kLong, "\x01"},
      {"valid UTF-8 goes", "成绩\xF0\x9F\x98\x80" + kLong, ""},
      {"invalid UTF-8 stays", "\xC0\xAF" + kLong + "\xED\xA0\x80", "\xC0\xAF\xED\xA0\x80"},
      {"a sequence cut short stays", "\xE6\x88" + kLong, "\xE6\x88"},
      {"dashes before the end stay", kLong + "-", "-"},
  };
  for (const Case& c : cases) {
    const std::string doc = "<a><!--" + kStart + c.body + "--></a>";
    EXPECT_EQ(Filter(doc).text, "<a><!--" + kStart + c.expected + "--></a>") << c.label;
  }
  // In a document in another encoding, bytes above ASCII are left to the parser.
  const std::string latin1 = "<?xml version='1.0' encoding='ISO-8859-1'?><a><!--" + kStart;
  EXPECT_EQ(Filter(latin1 + kLong + "\xE9" + kLong + "--></a>").text, latin1 + "\xE9--></a>");
}

TEST(XmlTokenFilter, LeavesEverythingElseAsItIs) {
  const std::string cases[] = {
      "<a b='<!--" + kLong + "'><![CDATA[<!--" + kLong + "]]></a>",
      kLong.substr(0, 500) + "<a/>" + kLong.substr(0, 500),  // outside the root: kept
      "<?pi <!--" + kLong + "?><a/><!-- short -->",
      std::string("\xFF\xFE<\0a\0/\0>\0", 10) + "<!--" + kLong + "-->",  // UTF-16
  };
  for (const std::string& doc : cases) EXPECT_EQ(Filter(doc).text, doc);
}

// Long character data keeps its first bytes and whatever decides its well-formedness:
// references whole, the two bytes after "]" (no "]]>" is made), line breaks, non-ASCII.
TEST(XmlTokenFilter, TrimsLongTextToWhatDecidesItsWellFormedness) {
  const std::string head(XmlTokenFilter::kKeptTextStart, 'h');
  const struct {
    std::string text;
    std::string kept;
  } cases[] = {
      {head + kLong, head},
      {head + "x\nx&amp;x]x]x>x\xE6\x88\x90x", head + "\n&amp;]x]x>\xE6\x88\x90"},
      {head + "]]]x>x", head + "]]]x>"},
      {head.substr(4) + "&amp;x", head.substr(4) + "&amp;"},  // a reference across the start
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Filter("<a>" + c.text + "</a>").text, "<a>" + c.kept + "</a>");
  }
}

TEST(XmlTokenFilter, StopsAtATokenLongerThanTheCap) {
  const std::uint64_t cap = 1000;
  const std::string big(2000, 'n');
  struct Case {
    std::string doc;
    bool too_long;
  };
  const Case cases[] = {
      {"<a>\n<b c='" + big + "'/></a>", true},
      {"<a>\n<!--" + big + "--></a>", true},
      {"<a>\n<?pi " + big + "?></a>", true},
      {"<a>\n" + big + "</a>", false},
      {"<a>\n<![CDATA[" + big + "]]></a>", false},
  };
  for (const Case& c : cases) {
    const Filtered got = Filter(c.doc, cap, 100);
    EXPECT_EQ(got.too_long, c.too_long) << c.doc.substr(0, 12);
    if (c.too_long) {
      EXPECT_EQ(got.line, 2u);
      EXPECT_TRUE(got.ended_inside);
      EXPECT_LT(got.text.size(), 1200u);
    }
  }
}

TEST(XmlTokenFilter, EndsADocumentCutShortSoThatNoParserWaitsForMore) {
  const std::pair<std::string, std::string> cases[] = {
      {"<a>\n<!-- cut\n", "<a>\n<!-- cut\n--></>"},
      {"<a>\n<![CDATA[ cut\n", "<a>\n<![CDATA[ cut\n]]></>"},
      {"<a>\n<?pi cut\n", "<a>\n<?pi cut\n?></>"},
      {"<a>\n<b c='cut\n", "<a>\n<b c='cut\n"},
      {"<a x='/'>\n<b/>\n", "<a x='/'>\n<b/>\n</>"},
  };
  for (const auto& [doc, expected] : cases) {
    const Filtered got = Filter(doc);
    EXPECT_EQ(got.text, expected);
    EXPECT_TRUE(got.ended_inside) << doc;
    EXPECT_EQ(got.line, doc.ends_with("<b/>\n") ? 3u : 2u) << doc;
  }
  for (const char* whole : {"<a>text</a>", "<a><b/><c></c></a>\n", "<?pi?><a/>"}) {
    EXPECT_FALSE(Filter(whole).ended_inside) << whole;
  }
}

TEST(XmlProlog, NamesTheDocumentTypeBeforeTheRootOnly) {
  struct Case {
    std::string prolog;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"<?xml version='1.0'?>\n<!-- c <!DOCTYPE no> -->\n<!DOCTYPE ss:Workbook [<!ENTITY a 'b'>]>",
       "ss:Workbook"},
      {"\xEF\xBB\xBF<!DOCTYPE html><html/>", "html"},
      {std::string("<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0x\0>\0", 24), "x"},
      {std::string("\xFE\xFF\0<\0!\0D\0O\0C\0T\0Y\0P\0E\0 \0y\0>", 26), "y"},
      {"<root/><!DOCTYPE late>", std::nullopt},
      {"<!DOCTYPE", std::nullopt},
      {"<!DOCTYPEx>", std::nullopt},
      {"<?unfinished", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindDoctypeName(std::as_bytes(std::span(c.prolog))), c.name) << c.prolog;
  }
}

}  // namespace
}  // namespace vexmar::workbook
