#include "vexmar/platform/directory_listing.hpp"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/temp_directory.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"

namespace vexmar {
namespace {

using Names = std::vector<std::u16string>;
using vexmar::testing::TempDirectory;

TEST(JoinHostPathTest, AddsBackslashUnlessThereIsOne) {
  struct Case {
    std::u16string directory, expected;
  };
  const Case cases[] = {
      {u"D:\\exam\\001", u"D:\\exam\\001\\*.xls"},
      {u"D:\\exam\\001\\", u"D:\\exam\\001\\*.xls"},
      {u"", u"\\*.xls"},
      {u"/srv/exam/001", u"/srv/exam/001\\*.xls"},
      {u"/srv/exam/001/", u"/srv/exam/001/\\*.xls"},  // only "\" counts
  };
  for (const auto& c : cases) EXPECT_EQ(JoinHostPath(c.directory, u"*.xls"), c.expected);
}

TEST(SplitSearchTextTest, CutsAtTheLastSeparatorOfEitherKind) {
  struct Case {
    std::u16string text, directory, pattern;
  };
  const Case cases[] = {
      {u"D:\\exam\\*.xls", u"D:\\exam\\", u"*.xls"},
      {u"/srv/exam/\\*.xls", u"/srv/exam/\\", u"*.xls"},
      {u"/srv/exam\\sub/*.xls", u"/srv/exam\\sub/", u"*.xls"},
      {u"\\*.xls", u"\\", u"*.xls"},
      {u"*.xls", u"", u"*.xls"},
      {u"/srv/exam\\", u"/srv/exam\\", u""},
  };
  for (const auto& c : cases) {
    const SearchTextParts parts = SplitSearchText(c.text);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.pattern, c.pattern);
  }
}

// A directory with every kind of entry the listing has to tell apart.
class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.File("A.XLS");
    dir_.File("b.xls");
    dir_.File("c.XLS");
    dir_.File("data.xlsx");
    dir_.File("readme.txt");
    dir_.File("[1].xls");
    dir_.File("成绩.xls");
    dir_.File("bad\xff.xls");      // not UTF-8
    dir_.File("back\\slash.xls");  // cannot be written in the host's path form
    dir_.File("a|100|x.xls");      // would change the fields of a rule it is written into
    dir_.File("cr\rlf\n.xls");     // would change its lines
    dir_.File("lf\n.xls");
    dir_.File(".hidden.xls");
    dir_.Dir("dir.xls");
    dir_.Dir(".git");
    dir_.Fifo("pipe.xls");
    dir_.Symlink("b.xls", "link.xls");
    dir_.Symlink("missing.xls", "broken.xls");
    dir_.Symlink("dir.xls", "dirlink.xls");
    dir_.Symlink("loop.xls", "loop.xls");
  }

  std::u16string Search(std::u16string_view pattern) const {
    return JoinHostPath(dir_.HostPath(), pattern);
  }

  TempDirectory dir_;
};

TEST_F(ListingTest, OrdinaryMatchingFilesInListingOrder) {
  EXPECT_EQ(ListMatchingFiles(Search(u"*.xls")),
            (Names{u"A.XLS", u"b.xls", u"bad\xDCFF.xls", u"c.XLS", u"link.xls", u"[1].xls",
                   u"成绩.xls"}));
}

TEST_F(ListingTest, PatternsAndPlainNames) {
  struct Case {
    std::u16string pattern;
    Names expected;
  };
  const Case cases[] = {
      {u"B.XLS", {u"b.xls"}},
      {u"?.xls", {u"A.XLS", u"b.xls", u"c.XLS"}},
      {u"*.xlsx", {u"data.xlsx"}},
      {u"*.txt", {u"readme.txt"}},
      {u"*.doc", {}},
      {u"dir.xls", {}},      // a directory
      {u"dirlink.xls", {}},  // a link to a directory
      {u"pipe.xls", {}},     // a FIFO: skipped without being opened
      {u"broken.xls", {}},   // a link to nothing
      {u"loop.xls", {}},     // a link to itself
      {u".hidden.xls", {}},  // hidden even when named exactly
      {u".*", {}},
      {u"*slash*", {}},
      {u"a|100|x.xls", {}},
      {u"*|*", {}},
      {u"*\r*", {}},
      {u"lf\n.xls", {}},
      {u"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ListMatchingFiles(Search(c.pattern)), c.expected) << Utf16ToUtf8(c.pattern);
  }
}

TEST_F(ListingTest, HostAndLinuxFormsOfTheDirectoryAgree) {
  const Names expected = ListMatchingFiles(Search(u"*.xls"));
  std::u16string backslashed = dir_.HostPath();
  for (char16_t& unit : backslashed) {
    if (unit == u'/') unit = u'\\';
  }
  for (const std::u16string& directory :
       {dir_.HostPath(), dir_.HostPath() + u"/", backslashed, backslashed + u"\\"}) {
    EXPECT_EQ(ListMatchingFiles(JoinHostPath(directory, u"*.xls")), expected)
        << Utf16ToUtf8(directory);
  }
}

TEST_F(ListingTest, EveryReturnedNameOpensTheSameFileAgain) {
  const Names names = ListMatchingFiles(Search(u"*"));
  ASSERT_FALSE(names.empty());
  for (const std::u16string& name : names) {
    const std::filesystem::path path = HostPathToFileSystem(JoinHostPath(dir_.HostPath(), name));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0) << path;
    EXPECT_TRUE(S_ISREG(info.st_mode)) << path;
  }
  EXPECT_EQ(HostPathToFileSystem(Search(u"bad\xDCFF.xls")).string(), dir_.Full("bad\xff.xls"));
}

TEST_F(ListingTest, FirstAndNextWalkOneSearchAtATime) {
  DirectoryListing listing;
  EXPECT_EQ(listing.First(Search(u"?.xls")), u"A.XLS");
  EXPECT_EQ(listing.Next(), u"b.xls");
  // A new search ends the previous one.
  EXPECT_EQ(listing.First(Search(u"*.txt")), u"readme.txt");
  EXPECT_EQ(listing.Next(), u"");
  EXPECT_EQ(listing.Next(), u"");
  EXPECT_EQ(listing.First(Search(u"*.doc")), u"");
  EXPECT_EQ(listing.Next(), u"");
}

TEST(ListingAbsentDirectoryTest, GivesNothingWithoutError) {
  TempDirectory dir;
  dir.File("plain");
  const std::u16string base = dir.HostPath();
  for (const std::u16string& search :
       {base + u"/missing\\*.xls", base + u"\\missing\\sub\\*", base + u"/plain\\*",
        std::u16string(u"D:\\exam\\001\\*.xls"), std::u16string(u"c:\\*")}) {
    EXPECT_EQ(ListMatchingFiles(search), Names{}) << Utf16ToUtf8(search);
    DirectoryListing listing;
    EXPECT_EQ(listing.First(search), u"");
  }
}

TEST(ListingErrorTest, EmbeddedNulIsAnErrorNamingThePath) {
  const std::u16string search(u"/srv/ex\0am\\*.xls", 16);
  try {
    (void)ListMatchingFiles(search);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 75);
    EXPECT_NE(e.Description().find(u"/srv/ex\\0am"), std::u16string::npos);
  }
  try {
    (void)HostPathToFileSystem(search);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 75);
  }
}

// Lists an unreadable directory; gives the error's number (0 with none) and description.
int ListUnreadable(const std::u16string& search, std::u16string& description) {
  try {
    (void)ListMatchingFiles(search);
  } catch (const Error& e) {
    description = e.Description();
    return e.Number();
  }
  return 0;
}

TEST(ListingErrorTest, UnreadableDirectoryIsPermissionErrorNamingIt) {
  TempDirectory dir;
  dir.Dir("locked");
  dir.File("locked/a.xls");
  dir.Chmod("locked", 0);
  const std::u16string search = JoinHostPath(dir.HostPath() + u"/locked", u"*.xls");
  if (DIR* probe = opendir(dir.Full("locked").c_str())) {
    closedir(probe);
    // Privileged: the directory stays readable. Check the same in a child that has
    // given its privileges up (and may still pass through the parent directory).
    if (geteuid() != 0) GTEST_SKIP() << "directory readable despite mode 000";
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    EXPECT_EXIT(
        {
          if (setgid(65534) != 0 || setuid(65534) != 0) _exit(1);
          std::u16string description;
          const int number = ListUnreadable(search, description);
          std::fputs(Utf16ToUtf8(description).c_str(), stderr);
          _exit(number);
        },
        ::testing::ExitedWithCode(70), "没有权限：无法读取目录“/.*/locked/”");
    return;
  }
  std::u16string description;
  EXPECT_EQ(ListUnreadable(search, description), 70);
  EXPECT_NE(description.find(Utf8ToUtf16(dir.Full("locked"))), std::u16string::npos)
      << Utf16ToUtf8(description);
}

}  // namespace
}  // namespace vexmar
