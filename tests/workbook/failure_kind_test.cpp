// The reader's failure kinds: every kind has its own text, and the descriptions a host
// sees are the damaged-file wrapper around it (or the encrypted-file text alone).
#include "vexmar/workbook/failure_kind.hpp"

#include <gtest/gtest.h>

#include <set>

#include "vexmar/component/utf.hpp"

namespace vexmar::workbook {
namespace {

FailureKind KindAt(std::size_t i) { return static_cast<FailureKind>(i); }

TEST(FailureKindTest, EveryKindHasItsOwnCompleteText) {
  std::set<std::u16string_view> seen;
  for (std::size_t i = 0; i < kFailureKindCount; ++i) {
    const std::u16string_view text = FailureText(KindAt(i));
    EXPECT_FALSE(text.empty()) << i;
    EXPECT_TRUE(seen.insert(text).second) << "shared by two kinds: " << Utf16ToUtf8(text);
    // Whatever the subject and line, no placeholder is left in what a host sees.
    const std::u16string full = FailureDescription(KindAt(i), u"S", 3);
    EXPECT_EQ(full.find_first_of(u"{}"), std::u16string::npos) << Utf16ToUtf8(full);
  }
}

struct DescriptionCase {
  FailureKind kind;
  std::u16string_view subject;
  std::uint64_t line;
  std::u16string_view expected;
};

TEST(FailureKindTest, DescriptionsAreTheFixedTexts) {
  const DescriptionCase cases[] = {
      {FailureKind::kFileTruncated, {}, 0, u"工作簿文件已损坏，无法读取（文件被截断）。"},
      {FailureKind::kEncrypted, {}, 0, u"工作簿已加密或受密码保护，无法读取。"},
      // An encrypted kind: the whole text, never in the damaged-file wrapper.
      {FailureKind::kEncryptedSpinCountBeyondAttempt, {}, 0,
       u"工作簿已加密或受密码保护，无法读取（spinCount超出尝试默认密码的上限）。"},
      {FailureKind::kPartMalformedXml, u"xl/workbook.xml", 12,
       u"工作簿文件已损坏，无法读取（部件 xl/workbook.xml 的 XML 格式错误，第 12 行）。"},
      {FailureKind::kXmlWorkbookMalformed,
       {},
       4294967296,
       u"工作簿文件已损坏，无法读取（XML 工作簿格式错误，第 4294967296 行）。"},
      // A name taken from the file is put in as it is, never read as a placeholder.
      {FailureKind::kSheetRelationshipMissing, u"{line}", 9,
       u"工作簿文件已损坏，无法读取（工作表“{line}”的关系在工作簿关系部件中不存在）。"},
  };
  for (const DescriptionCase& c : cases) {
    EXPECT_EQ(FailureDescription(c.kind, c.subject, c.line), c.expected);
  }
}

TEST(FailureKindTest, TheKindTravelsWithTheLibraryError) {
  try {
    RaiseFailure(FailureKind::kZipChecksumMismatch);
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 1004);
    EXPECT_EQ(e.Description(), FailureDescription(FailureKind::kZipChecksumMismatch));
    const auto* failure = dynamic_cast<const ReadFailure*>(&e);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->Kind(), FailureKind::kZipChecksumMismatch);
    EXPECT_FALSE(IsEncryption(failure->Kind()));
  }
}

}  // namespace
}  // namespace vexmar::workbook
