#include "vexmar/dispatch/binding_check.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "vexmar/dispatch/class_bindings.hpp"

namespace vexmar::dispatch {
namespace {

std::vector<std::string> Problems(std::span<const contract::ClassInfo> table,
                                  std::span<const BoundClass> bound) {
  std::vector<std::string> out;
  CheckBindings(
      table, bound,
      [&out](std::string_view cls, std::string_view member, std::string_view problem) {
        out.push_back(std::string(cls) + "." + std::string(member) + ": " + std::string(problem));
      });
  return out;
}

// Every entry of the class table is bound to a member of the plain C++ class, and every
// binding is an entry of the table, with the same signature.
TEST(BindingCheckTest, EveryClassTableEntryIsBoundAndNothingElse) {
  EXPECT_EQ(Problems(contract::kClasses, kBoundClasses), std::vector<std::string>());
  std::size_t entries = 0;
  std::size_t bindings = 0;
  for (const auto& c : contract::kClasses) entries += c.members.size();
  for (const auto& b : kBoundClasses) bindings += b.members.size();
  EXPECT_EQ(entries, bindings);
  EXPECT_EQ(entries, 3u + 8u + 7u + 13u + 1u + 1u);
}

// The checker itself finds each kind of disagreement.
constexpr contract::Parameter kFloatIn[] = {
    {"", contract::ValueType::kFloat32, contract::Direction::kIn}};
constexpr contract::Member kScoreLike[] = {
    {contract::MemberKind::kPropertyPut, "CurScore", 0x68030001, kFloatIn,
     contract::ValueType::kNone, u""},
    {contract::MemberKind::kPropertyGet,
     "CurScore",
     0x68030001,
     {},
     contract::ValueType::kFloat32,
     u""},
    {contract::MemberKind::kPropertyGet,
     "ErrMsg",
     0x68030000,
     {},
     contract::ValueType::kString,
     u""},
};
constexpr contract::ClassInfo kTable[] = {
    {"ClsScoreState", "_ClsScoreState", "VexmarExt.ClsScoreState", Guid{}, Guid{}, "", kScoreLike},
};

TEST(BindingCheckTest, ReportsEveryKindOfDifference) {
  const struct {
    std::vector<BoundMember> members;
    std::vector<std::string> problems;
  } cases[] = {
      {{Put<&ClsScoreState::SetCurScore>("CurScore"), Get<&ClsScoreState::CurScore>("CurScore"),
        Get<&ClsScoreState::ErrMsg>("ErrMsg")},
       {}},
      {{Put<&ClsScoreState::SetCurScore>("CurScore"), Get<&ClsScoreState::CurScore>("CurScore")},
       {"ClsScoreState.ErrMsg: member not bound to a C++ member"}},
      {{Put<&ClsScoreState::SetCurScore>("CurScore"), Get<&ClsScoreState::CurScore>("CurScore"),
        Get<&ClsScoreState::ErrMsg>("ErrMsg"), Put<&ClsScoreState::SetErrMsg>("ErrMsg")},
       {"ClsScoreState.ErrMsg: bound member not in the class table"}},
      {{Put<&ClsScoreState::SetErrMsg>("CurScore"), Get<&ClsScoreState::CurScore>("CurScore"),
        Get<&ClsScoreState::ErrMsg>("ErrMsg")},
       {"ClsScoreState.CurScore: parameter types or directions differ"}},
      {{Put<&ClsScoreState::SetCurScore>("CurScore"), Get<&ClsScoreState::ErrMsg>("CurScore"),
        Get<&ClsScoreState::ErrMsg>("ErrMsg")},
       {"ClsScoreState.CurScore: result type differs"}},
      {{Put<&ClsScoreState::SetCurScore>("CurScore"), Get<&ClsScoreState::CurScore>("CurScore"),
        Get<&ClsScoreState::CurScore>("CurScore"), Get<&ClsScoreState::ErrMsg>("ErrMsg")},
       {"ClsScoreState.CurScore: member bound twice"}},
      {{Put<&ClsScoreState::SetCurScore>("CurScore"), Get<&ClsScoreState::CurScore>("CurScore"),
        Get<&ClsExcelMultiSheets::ErrMsg>("ErrMsg")},
       {"ClsScoreState.ErrMsg: bound to a member of another C++ class"}},
  };
  for (const auto& c : cases) {
    const BoundClass bound[] = {BindClass<ClsScoreState>("ClsScoreState", c.members)};
    EXPECT_EQ(Problems(kTable, bound), c.problems);
  }
  const std::vector<BoundMember> none;
  const BoundClass stranger[] = {BindClass<ClsTest>("ClsStranger", none)};
  EXPECT_EQ(Problems(kTable, stranger),
            (std::vector<std::string>{"ClsScoreState.: class not bound",
                                      "ClsStranger.: class not in the class table"}));
}

}  // namespace
}  // namespace vexmar::dispatch
