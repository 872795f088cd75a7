// Every member of every class through late binding, with its values.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dispatch/dispatch_test_util.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/dispatch/dispatch_object.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::dispatch {
namespace {

using contract::MemberKind;
using contract::ValueType;
using testing::Str;

std::u16string Name(std::string_view ascii) { return Utf8ToUtf16(ascii); }

CollectionRef AsCollection(const Variant& value) {
  return std::dynamic_pointer_cast<Collection>(std::get<ObjectRef>(value));
}

TEST(MembersTest, NewObjectsReadEmptyValuesExceptFilesName) {
  for (const auto& c : contract::kClasses) {
    const DispatchObject object = CreateObject(c.clsid);
    for (const auto& m : c.members) {
      if (m.kind != MemberKind::kPropertyGet) continue;
      const Variant value = object.Invoke(m.dispid, m.kind, {});
      SCOPED_TRACE(std::string(c.name) + "." + std::string(m.name));
      switch (m.result) {
        case ValueType::kString:
          EXPECT_EQ(value, Variant(std::u16string()));
          break;
        case ValueType::kFloat32:
          EXPECT_EQ(std::bit_cast<std::uint32_t>(std::get<float>(value)), 0u);
          break;
        case ValueType::kCollection:
          if (m.name == "FilesName") {
            ASSERT_NE(AsCollection(value), nullptr);
            EXPECT_EQ(AsCollection(value)->Count(), 0);
          } else {
            EXPECT_EQ(std::get<ObjectRef>(value), nullptr);
          }
          break;
        default:
          ADD_FAILURE() << "no empty value for this type";
      }
    }
  }
}

// A value of each property's type that no other property of the class gets.
Variant DistinctValue(const contract::Member& m, int index, const CollectionRef& collection) {
  switch (m.parameters[0].type) {
    case ValueType::kString:
      return Str(Name(m.name) + u" 值\r\n" + std::u16string(static_cast<std::size_t>(index), u'x'));
    case ValueType::kFloat32:
      return 1.5f + static_cast<float>(index);
    case ValueType::kCollection:
      return ObjectRef(collection);
    default:
      ADD_FAILURE();
      return Empty{};
  }
}

// Every write is read back by the read of the same property and by no other.
TEST(MembersTest, EveryPropertyRoundTripsItsOwnValue) {
  for (const auto& c : contract::kClasses) {
    const DispatchObject object = CreateObject(Name(c.prog_id));
    std::map<std::int32_t, Variant> written;
    int index = 0;
    for (const auto& m : c.members) {
      if (m.kind != MemberKind::kPropertyPut && m.kind != MemberKind::kPropertyPutRef) continue;
      std::array<Variant, 1> value{DistinctValue(m, ++index, std::make_shared<Collection>())};
      written[m.dispid] = value[0];
      EXPECT_EQ(object.Invoke(m.dispid, m.kind, value), Variant(Empty{}));
    }
    for (const auto& m : c.members) {
      if (m.kind != MemberKind::kPropertyGet) continue;
      SCOPED_TRACE(std::string(c.name) + "." + std::string(m.name));
      ASSERT_TRUE(written.contains(m.dispid));
      const Variant read = object.Get(Name(m.name));
      if (m.result == ValueType::kCollection) {
        // The same collection object, not a copy.
        EXPECT_EQ(std::get<ObjectRef>(read), std::get<ObjectRef>(written[m.dispid]));
      } else {
        EXPECT_EQ(read, written[m.dispid]);
      }
    }
  }
}

struct MethodCase {
  std::u16string prog_id;
  std::string_view method;
  std::vector<Variant> args;
  Variant result;
  std::vector<Variant> args_after;  // in/out arguments' new values, in arguments unchanged
};

std::vector<MethodCase> MethodCases() {
  return {
      {u"VexmarExt.ClsRepeatName",
       "GetFileNames",
       {Str(u"K|a.xls#b.xls|5|m"), StringList{u"old", u"names"}, Str(u"")},
       2,
       {Str(u"K|a.xls#b.xls|5|m"), StringList{u"", u"a.xls", u"b.xls"}, Str(u"")}},
      {u"VexmarExt.ClsRepeatName",
       "GetFileNames",
       {Str(u"K||5|m"), Empty{}, Str(u"")},
       0,
       {Str(u"K||5|m"), StringList{u""}, Str(u"")}},
      {u"VexmarExt.ClsRepeatName",
       "GetRuleItem",
       {Str(u"K|a.xls|2.5|msg"), Str(u"old"), 0},
       kTrue16,
       {Str(u"K|a.xls|2.5|msg"), Str(u"msg"), 2.5f}},
      {u"VexmarExt.ClsRepeatName",
       "GetRuleItem",
       {Str(u"K|a.xls|ten|msg"), Empty{}, 9},
       kFalse16,
       {Str(u"K|a.xls|ten|msg"), Str(u"msg"), 9.0f}},
      {u"VexmarExt.ClsRepeatName",
       "ChangeRuleFileName",
       {Str(u"K|*.xls|5|m\r\nSheet1"), Str(u"book1.xls")},
       Str(u"K|book1.xls|5|m\r\nSheet1"),
       {Str(u"K|*.xls|5|m\r\nSheet1"), Str(u"book1.xls")}},
      {u"VexmarExt.ClsExcelMultiFiles", "ParseRules", {}, -1, {}},
      {u"VexmarExt.ClsExcelMultiSheets",
       "ParseRule",
       {Str(u"kept")},
       kFalse16,
       {Str(u"kept")}},  // empty Rule: the message is not touched
      {u"VexmarExt.ClsTest", "Test", {}, Empty{}, {}},
      {u"VexmarExt.ClsPatternMatchStr",
       "MatchString",
       {Str(u"456678343"), Str(u"45*43*"), 1, 12345},
       1,
       {Str(u"456678343"), Str(u"45*43*"), 1, 9}},
      {u"VexmarExt.ClsPatternMatchStr",
       "MatchString",
       {Str(u"ABCbc"), Str(u"bc"), Str(u"1"), 2.4f},
       2,
       {Str(u"ABCbc"), Str(u"bc"), Str(u"1"), 2}},
  };
}

TEST(MembersTest, EveryMethodIsReachableWithItsValues) {
  std::set<std::string> covered;
  for (auto& c : MethodCases()) {
    SCOPED_TRACE(std::string(c.method));
    const DispatchObject object = CreateObject(c.prog_id);
    const std::int32_t id = object.GetIdOfName(Name(c.method));
    EXPECT_EQ(object.Invoke(id, MemberKind::kMethod, c.args), c.result);
    EXPECT_EQ(c.args, c.args_after);
    covered.insert(std::string(object.TypeName()) + "." + std::string(c.method));
  }
  for (const auto& cls : contract::kClasses) {
    for (const auto& m : cls.members) {
      if (m.kind != MemberKind::kMethod) continue;
      EXPECT_TRUE(covered.contains(std::string(cls.name) + "." + std::string(m.name)))
          << cls.name << "." << m.name << " has no case";
    }
  }
}

TEST(MembersTest, ParseRuleHandsBackItsMessage) {
  const DispatchObject sheets = CreateObject(u"VexmarExt.ClsExcelMultiSheets");
  sheets.Put(u"ErrMsg", Str(u"before"));
  sheets.Put(u"Weight", 1);
  const struct {
    std::u16string rule;
    Variant result;
    std::u16string message;
    std::u16string err_msg;
    float weight;
  } cases[] = {
      {u"K|Sheet1|5", kFalse16, u"约定格式错误。最少需要四项！", u"before", 1.0f},
      {u"K|Sheet1|ten|msg", kFalse16, u"约定中权值设置错误，权值必须为数字！", u"msg", 1.0f},
      {u"K|Sheet1|1E39|msg2", kFalse16, u"溢出", u"msg2", 1.0f},
      {u"K|Sheet1#Sheet2#sheet1|2.5|Wrong sheets", kTrue16, u"(caller's)", u"Wrong sheets", 2.5f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.rule));
    sheets.Put(u"Rule", Str(c.rule));
    std::array<Variant, 1> message{Str(u"(caller's)")};
    EXPECT_EQ(sheets.Call(u"ParseRule", message), c.result);
    EXPECT_EQ(message[0], Str(c.message));
    EXPECT_EQ(sheets.Get(u"ErrMsg"), Str(c.err_msg));
    EXPECT_EQ(sheets.Get(u"Weight"), Variant(c.weight));
  }
  const DispatchObject rules(std::get<ObjectRef>(sheets.Get(u"PingRules")));
  EXPECT_EQ(rules.Get(u"Count"), Variant(2));
}

}  // namespace
}  // namespace vexmar::dispatch
