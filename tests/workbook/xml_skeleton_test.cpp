// The skeleton stream keeps the top levels of a document, whatever the chunking.
#include "vexmar/workbook/xml/xml_skeleton_stream.hpp"

#include <gtest/gtest.h>

#include <string>

#include "workbook/text_stream.hpp"

namespace vexmar::workbook {
namespace {

using testing::TextStream;

std::string Skeleton(const std::string& text, std::size_t keep, std::size_t in_step,
                     std::size_t out_step) {
  TextStream inner(text, in_step);
  XmlSkeletonStream skeleton(inner, keep);
  std::string out;
  std::string buffer(out_step, '\0');
  for (std::size_t n; (n = skeleton.Read(std::as_writable_bytes(std::span(buffer)))) > 0;) {
    out.append(buffer, 0, n);
  }
  return out;
}

TEST(XmlSkeletonStreamTest, KeepsTopLevelsAndDropsDeeperContent) {
  struct Case {
    std::string input;
    std::size_t keep;
    std::string expected;
  } cases[] = {
      {"<?xml version=\"1.0\"?><a><b x=\"1>2\" y='/>'><c>t<d/></c></b><b/></a>", 2,
       "<?xml version=\"1.0\"?><a><b x=\"1>2\" y='/>'></b><b/></a>"},
      {"<a><!-- <b> --><b><!-- <c> --><c>x</c></b></a>", 2, "<a><!-- <b> --><b></b></a>"},
      {"<a><b><![CDATA[</b><c>]]></b>text</a>", 2, "<a><b></b>text</a>"},
      {"<a><b><?pi <c> ?></b><?pi2?></a>", 2, "<a><b></b><?pi2?></a>"},
      {"<a><b><?pi <c> ?></b><?pi2?></a>", 1, "<a></a>"},
      {"<a><b><c><d></d></c></b></a>", 0, ""},
      {"<a>\n  <b>deep</b>\n</a>", 5, "<a>\n  <b>deep</b>\n</a>"},
      {"<!DOCTYPE a [<!ENTITY e \"x\">]><a><b/></a>", 1, "<!DOCTYPE a [<!ENTITY e \"x\">]><a></a>"},
  };
  for (const Case& c : cases) {
    for (std::size_t in_step : {1u, 2u, 3u, 7u, 1000u}) {
      for (std::size_t out_step : {2u, 3u, 5u, 1000u}) {
        EXPECT_EQ(Skeleton(c.input, c.keep, in_step, out_step), c.expected)
            << c.input << " in=" << in_step << " out=" << out_step;
      }
    }
  }
}

TEST(XmlSkeletonStreamTest, Utf16PassesThroughUnchanged) {
  const std::string utf16("\xFF\xFE<\0a\0>\0<\0b\0/\0>\0<\0/\0a\0>\0", 20);
  EXPECT_EQ(Skeleton(utf16, 1, 3, 4), utf16);
}

}  // namespace
}  // namespace vexmar::workbook
