// Creating objects, finding members and the error paths of late binding.
#include <gtest/gtest.h>

#include <array>
#include <string>

#include "dispatch/dispatch_test_util.hpp"
#include "vexmar/component/class_table.hpp"
#include "vexmar/component/score_state.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/dispatch/dispatch_object.hpp"
#include "vexmar/platform/collection.hpp"
#include "vexmar/sheets/excel_multi_sheets.hpp"
#include "vexmar/text/letter_case.hpp"

namespace vexmar::dispatch {
namespace {

using contract::MemberKind;
using testing::ErrorNumberOf;
using testing::Str;

std::u16string Lower(std::string_view ascii) {
  std::u16string out;
  for (char c : ascii) out.push_back(static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c + 32 : c));
  return out;
}

TEST(LateBindingTest, CreatesEveryClassByProgIdInAnyCaseAndByClsid) {
  for (const auto& c : contract::kClasses) {
    const std::u16string prog_id = Utf8ToUtf16(c.prog_id);
    const std::u16string clsid = Utf8ToUtf16(FormatGuid(c.clsid));
    for (const std::u16string& name :
         {prog_id, ToUpper(prog_id), Lower(c.prog_id), clsid, Lower(FormatGuid(c.clsid))}) {
      const DispatchObject object = CreateObject(name);
      EXPECT_EQ(object.TypeName(), c.name) << Utf16ToUtf8(name);
    }
    EXPECT_EQ(CreateObject(c.clsid).TypeName(), c.name);
  }
  // Each creation is a new object.
  EXPECT_NE(CreateObject(u"VexmarExt.ClsTest").Ref(), CreateObject(u"VexmarExt.ClsTest").Ref());
}

TEST(LateBindingTest, UnknownProgIdsAndClsidsCannotCreate) {
  for (const std::u16string name : {
           u"", u"VexmarExt.ClsNothing", u"ClsScoreState", u"VexmarExt.ClsScoreState ",
           u" VexmarExt.ClsScoreState", u"VexmarExt.ClsScoreState.1", u"VexmarExt.Collection",
           u"ECB13ECB-FB69-4E2B-9D67-9CBA5FE8AA6F",    // a CLSID needs its braces
           u"{ECB13ECB-FB69-4E2B-9D67-9CBA5FE8AA6F",   // and both of them
           u"{9CAD76E6-2DFC-4709-ACDB-ECED8E5147D4}",  // the IID, not the CLSID
           u"{1DDDD776-D55E-4101-A7FB-FCDAE7C5771B}",  // the LIBID
           u"{00000000-0000-0000-0000-000000000000}",
           u"{ECB13ECB-FB69-4E2B-9D67-9CBA5FE8AA6Ｆ}",  // a full-width letter
       }) {
    EXPECT_EQ(ErrorNumberOf([&] { CreateObject(name); }), 429) << Utf16ToUtf8(name);
  }
}

TEST(LateBindingTest, FindsEveryMemberByNameIgnoringCase) {
  for (const auto& c : contract::kClasses) {
    const DispatchObject object = CreateObject(c.clsid);
    for (const auto& m : c.members) {
      const std::u16string name = Utf8ToUtf16(m.name);
      EXPECT_EQ(object.GetIdOfName(name), m.dispid) << c.name << "." << m.name;
      EXPECT_EQ(object.GetIdOfName(ToUpper(name)), m.dispid);
      EXPECT_EQ(object.GetIdOfName(Lower(m.name)), m.dispid);
    }
  }
  EXPECT_EQ(CreateObject(u"VexmarExt.ClsPatternMatchStr").GetIdOfName(u"MatchString"), 0x60030000);
  EXPECT_EQ(CreateObject(u"VexmarExt.ClsScoreState").GetIdOfName(u"curscore"), 0x68030003);
}

TEST(LateBindingTest, UnknownNamesAreNotSupported) {
  const DispatchObject state = CreateObject(u"VexmarExt.ClsScoreState");
  for (const std::u16string name : {u"", u"CurScor", u"CurScore ", u"Cur Score", u"Count", u"Item",
                                    u"SetCurScore", u"QueryInterface", u"ParseRule"}) {
    EXPECT_EQ(ErrorNumberOf([&] { state.GetIdOfName(name); }), 438) << Utf16ToUtf8(name);
  }
  EXPECT_EQ(ErrorNumberOf([&] { state.Get(u"Weight"); }), 438);
  EXPECT_EQ(ErrorNumberOf([&] { state.Put(u"Rule", Str(u"x")); }), 438);
}

TEST(LateBindingTest, ByNameAndByIdReachTheSameMember) {
  const DispatchObject state = CreateObject(u"VexmarExt.ClsScoreState");
  std::array<Variant, 1> value{7.5f};
  state.Invoke(0x68030003, MemberKind::kPropertyPut, value);
  EXPECT_EQ(state.Get(u"CurScore"), Variant(7.5f));
  state.Put(u"CURSCORE", 5.0f);
  EXPECT_EQ(state.Invoke(0x68030003, MemberKind::kPropertyGet, {}), Variant(5.0f));
  EXPECT_EQ(state.Get(u"TotalScore"), Variant(0.0f));

  const DispatchObject matcher = CreateObject(u"VexmarExt.ClsPatternMatchStr");
  std::array<Variant, 4> by_id{Str(u"MySheet1"), Str(u"Sheet*"), 1, 0};
  std::array<Variant, 4> by_name = by_id;
  EXPECT_EQ(matcher.Invoke(0x60030000, MemberKind::kMethod, by_id), Variant(3));
  EXPECT_EQ(matcher.Call(u"matchstring", by_name), Variant(3));
  EXPECT_EQ(by_id[3], Variant(6));
  EXPECT_EQ(by_name[3], Variant(6));
}

struct InvokeErrorCase {
  const char* what;
  std::u16string prog_id;
  std::int32_t dispid;
  InvokeFlags flags;
  std::vector<Variant> args;
  std::int32_t error;
};

TEST(LateBindingTest, EveryErrorPathHasItsNumber) {
  using enum InvokeFlags;
  const std::u16string kMatcher = u"VexmarExt.ClsPatternMatchStr";
  const std::u16string kState = u"VexmarExt.ClsScoreState";
  const std::u16string kSheets = u"VexmarExt.ClsExcelMultiSheets";
  const std::u16string kFiles = u"VexmarExt.ClsExcelMultiFiles";
  const std::u16string kNames = u"VexmarExt.ClsRepeatName";
  const InvokeErrorCase cases[] = {
      {"unknown id", kState, 0x68030004, kPropertyGet, {}, 438},
      {"id in a gap", kNames, 0x60030001, kMethod, {Str(u"r"), Str(u"n")}, 438},
      {"default member", kState, 0, kPropertyGet | kMethod, {}, 438},
      {"property write on a method", kMatcher, 0x60030000, kPropertyPut, {1}, 438},
      {"method call of a property", kState, 0x68030003, kMethod, {}, 438},
      {"property read of a method",
       kMatcher,
       0x60030000,
       kPropertyGet,
       {Str(u"a"), Str(u"a"), 1, 0},
       438},
      {"object write on a string property", kSheets, 0x68030005, kPropertyPutRef, {Str(u"x")}, 438},
      {"plain write on an object property",
       kFiles,
       0x68030000,
       kPropertyPut,
       {Variant(ObjectRef(std::make_shared<Collection>()))},
       438},
      {"write of a method's id", kNames, 0x60030004, kPropertyPut, {Str(u"x")}, 438},
      {"too few arguments", kMatcher, 0x60030000, kMethod, {Str(u"a"), Str(u"a"), 1}, 450},
      {"too many arguments", kMatcher, 0x60030000, kMethod, {Str(u"a"), Str(u"a"), 1, 0, 0}, 450},
      {"argument to a property read", kState, 0x68030003, kPropertyGet, {1}, 450},
      {"property write without value", kState, 0x68030003, kPropertyPut, {}, 450},
      {"property write with two values", kState, 0x68030003, kPropertyPut, {1, 2}, 450},
      {"arguments to a method without", kFiles, 0x60030004, kMethod, {1}, 450},
      {"text for a number",
       kMatcher,
       0x60030000,
       kMethod,
       {Str(u"a"), Str(u"a"), Str(u"x"), 0},
       13},
      {"text for a float", kState, 0x68030003, kPropertyPut, {Str(u"7,5")}, 13},
      {"list for a string", kSheets, 0x68030005, kPropertyPut, {StringList{u"x"}}, 13},
      {"object for a string",
       kSheets,
       0x68030005,
       kPropertyPut,
       {Variant(ObjectRef(std::make_shared<Collection>()))},
       13},
      {"string for a string list",
       kNames,
       0x60030000,
       kMethod,
       {Str(u"K|a|1|m"), Str(u"a"), Str(u"")},
       13},
      {"class object for a collection",
       kSheets,
       0x68030000,
       kPropertyPutRef,
       {Variant(ObjectRef(std::make_shared<ClsScoreState>()))},
       13},
      {"number for a collection", kFiles, 0x68030000, kPropertyPutRef, {5}, 13},
      {"start beyond int32", kMatcher, 0x60030000, kMethod, {Str(u"a"), Str(u"a"), 3e9f, 0}, 6},
      {"weight beyond float32", kSheets, 0x68030001, kPropertyPut, {Str(u"1E39")}, 6},
      {"error escaping a member", kMatcher, 0x60030000, kMethod, {Str(u"a"), Str(u"a"), 0, 0}, 5},
  };
  for (const auto& c : cases) {
    const DispatchObject object = CreateObject(c.prog_id);
    std::vector<Variant> args = c.args;
    EXPECT_EQ(ErrorNumberOf([&] { object.Invoke(c.dispid, c.flags, args); }), c.error) << c.what;
    const InvokeStatus status = object.TryInvoke(c.dispid, c.flags, args);
    ASSERT_TRUE(status.error.has_value()) << c.what;
    EXPECT_EQ(status.error->Number(), c.error) << c.what;
    EXPECT_EQ(status.hresult,
              static_cast<std::int32_t>(0x800A0000u | static_cast<std::uint32_t>(c.error)))
        << c.what;
  }
}

TEST(LateBindingTest, FailuresCarryDescriptionAndHresult) {
  const DispatchObject state = CreateObject(u"VexmarExt.ClsScoreState");
  try {
    state.GetIdOfName(u"Nope");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Description(), u"对象不支持该属性或方法");
    EXPECT_EQ(static_cast<std::uint32_t>(e.HResult()), 0x800A01B6u);
  }
  try {
    std::array<Variant, 2> two{1, 2};
    state.Invoke(0x68030003, MemberKind::kPropertyPut, two);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Description(), u"错误的参数号或无效的属性赋值");
  }
  try {
    state.Put(u"CurScore", Str(u"abc"));
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Description(), u"类型不匹配");
  }
  const InvokeStatus ok = state.TryInvoke(0x68030003, InvokeFlags::kPropertyGet, {});
  EXPECT_TRUE(ok.Succeeded());
  EXPECT_FALSE(ok.error.has_value());
  EXPECT_EQ(ok.value, Variant(0.0f));
}

// What failed before the call leaves the caller's arguments alone; what the member
// wrote before its error stays written.
TEST(LateBindingTest, InOutArgumentsOnFailure) {
  const DispatchObject matcher = CreateObject(u"VexmarExt.ClsPatternMatchStr");
  std::array<Variant, 4> bad_start{Str(u"abc"), Str(u"b"), Str(u"x"), 99};
  EXPECT_EQ(ErrorNumberOf([&] { matcher.Call(u"MatchString", bad_start); }), 13);
  EXPECT_EQ(bad_start[3], Variant(99));
  std::array<Variant, 4> zero_start{Str(u"abc"), Str(u"b"), 0, 99.0f};
  EXPECT_EQ(ErrorNumberOf([&] { matcher.Call(u"MatchString", zero_start); }), 5);
  EXPECT_EQ(zero_start[3], Variant(0));  // the matcher cleared the length, then failed
  EXPECT_EQ(zero_start[2], Variant(0));  // an in argument is never written back
}

TEST(LateBindingTest, NothingAndForeignObjects) {
  const DispatchObject nothing;
  EXPECT_FALSE(nothing);
  EXPECT_EQ(nothing.TypeName(), "");
  EXPECT_EQ(ErrorNumberOf([&] { nothing.GetIdOfName(u"CurScore"); }), 91);
  EXPECT_EQ(ErrorNumberOf([&] { nothing.Invoke(0x68030003, MemberKind::kPropertyGet, {}); }), 91);
  EXPECT_EQ(nothing.TryInvoke(0, InvokeFlags::kMethod, {}).error->Number(), 91);
  EXPECT_EQ(ErrorNumberOf([] { DispatchObject{ObjectRef()}; }), 91);
  EXPECT_EQ(ErrorNumberOf([] { DispatchObject{std::make_shared<Object>()}; }), 13);
  // A handle made from a plain C++ object of the library binds to its class.
  EXPECT_EQ(DispatchObject(std::make_shared<ClsExcelMultiSheets>()).TypeName(),
            "ClsExcelMultiSheets");
  EXPECT_EQ(DispatchObject(std::make_shared<Collection>()).TypeName(), "Collection");
}

// Weights of hundreds of digits overflow or underflow by their magnitude, wherever a
// weight is read: the sheet rule's whole-field conversion, GetRuleItem's leading-number
// reader and a text written to Weight.
TEST(LateBindingTest, WeightsOfHundredsOfDigitsByMagnitude) {
  const std::u16string zeros(400, u'0');
  const struct {
    std::u16string weight;
    float value;
    bool overflow;
  } cases[] = {
      {u"0." + zeros + u"1", 0.0f, false},
      {u"1" + zeros + u"E-10", 0.0f, true},
      {u"1" + zeros + u"E-399", 10.0f, false},
      {u"-0." + zeros + u"25E+401", -2.5f, false},
  };
  const DispatchObject sheets = CreateObject(u"VexmarExt.ClsExcelMultiSheets");
  const DispatchObject names = CreateObject(u"VexmarExt.ClsRepeatName");
  for (const auto& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.weight.substr(0, 8)));
    const std::u16string rule = u"K|Sheet1|" + c.weight + u"|m";
    sheets.Put(u"Weight", 7.0f);
    sheets.Put(u"Rule", Str(rule));
    std::array<Variant, 1> message{Str(u"")};
    EXPECT_EQ(sheets.Call(u"ParseRule", message), Variant(c.overflow ? kFalse16 : kTrue16));
    EXPECT_EQ(message[0], Str(c.overflow ? u"溢出" : u""));
    EXPECT_EQ(sheets.Get(u"Weight"), Variant(c.overflow ? 7.0f : c.value));

    std::array<Variant, 3> item{Str(rule), Str(u""), 7.0f};
    if (c.overflow) {
      EXPECT_EQ(ErrorNumberOf([&] { names.Call(u"GetRuleItem", item); }), 6);
      EXPECT_EQ(ErrorNumberOf([&] { sheets.Put(u"Weight", Str(c.weight)); }), 6);
    } else {
      EXPECT_EQ(names.Call(u"GetRuleItem", item), Variant(kTrue16));
      EXPECT_EQ(item[2], Variant(c.value));
      sheets.Put(u"Weight", Str(c.weight));
      EXPECT_EQ(sheets.Get(u"Weight"), Variant(c.value));
    }
  }
}

}  // namespace
}  // namespace vexmar::dispatch
