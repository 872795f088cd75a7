// Collections as late-bound objects, shared by reference; object lifetime and
// independence.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

#include "dispatch/dispatch_test_util.hpp"
#include "vexmar/dispatch/collection_interface.hpp"
#include "vexmar/dispatch/dispatch_object.hpp"
#include "vexmar/platform/collection.hpp"

namespace vexmar::dispatch {
namespace {

using enum InvokeFlags;
using testing::ErrorNumberOf;
using testing::Str;

Variant Item(const DispatchObject& collection, Variant index) {
  std::array<Variant, 1> args{std::move(index)};
  return collection.Invoke(kDispidValue, kPropertyGet, args);
}

void Add(const DispatchObject& collection, Variant item) {
  std::array<Variant, 1> args{std::move(item)};
  collection.Call(u"Add", args);
}

TEST(CollectionTest, LateBoundMembers) {
  const DispatchObject c = NewCollection();
  EXPECT_EQ(c.TypeName(), "Collection");
  EXPECT_EQ(c.Get(u"Count"), Variant(0));
  Add(c, Str(u"a"));
  Add(c, Str(u"a"));  // equal items are kept
  Add(c, 3);
  EXPECT_EQ(c.Get(u"count"), Variant(3));
  EXPECT_EQ(Item(c, 1), Str(u"a"));
  EXPECT_EQ(Item(c, 3.0f), Variant(3));
  std::array<Variant, 1> two{2};
  EXPECT_EQ(c.Call(u"Item", two), Str(u"a"));
  EXPECT_EQ(c.Invoke(kDispidValue, kMethod, two), Str(u"a"));
  std::array<Variant, 1> first{1};
  c.Call(u"Remove", first);
  EXPECT_EQ(c.Get(u"Count"), Variant(2));
  EXPECT_EQ(Item(c, 2), Variant(3));
  EXPECT_EQ(c.GetIdOfName(u"_newenum"), kDispidNewEnum);
  // Items may be objects of the library, collections included.
  const DispatchObject state = CreateObject(u"VexmarExt.ClsScoreState");
  Add(c, state.AsVariant());
  Add(c, c.AsVariant());
  EXPECT_EQ(std::get<ObjectRef>(Item(c, 3)), state.Ref());
  EXPECT_EQ(DispatchObject(std::get<ObjectRef>(Item(c, 3))).TypeName(), "ClsScoreState");
  for (int i = 0; i < 4; ++i) c.Call(u"Remove", first);  // holding itself, it would never end
  EXPECT_EQ(c.Get(u"Count"), Variant(0));

  Add(c, 1);
  EXPECT_EQ(ErrorNumberOf([&] { Item(c, 0); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { Item(c, 2); }), 9);
  EXPECT_EQ(ErrorNumberOf([&] { Item(c, Str(u"key")); }), 5);
  EXPECT_EQ(ErrorNumberOf([&] { Item(c, 3e10f); }), 6);
  EXPECT_EQ(ErrorNumberOf([&] { c.Call(u"Item"); }), 450);
  std::array<Variant, 2> with_key{Str(u"x"), Str(u"key")};
  EXPECT_EQ(ErrorNumberOf([&] { c.Call(u"Add", with_key); }), 450);
  EXPECT_EQ(ErrorNumberOf([&] { c.Put(u"Count", 1); }), 438);
  EXPECT_EQ(ErrorNumberOf([&] { c.Invoke(9, kMethod, {}); }), 438);
  EXPECT_EQ(ErrorNumberOf([&] { c.GetIdOfName(u"Clear"); }), 438);
}

TEST(CollectionTest, EnumeratesInOrderAndFollowsChanges) {
  const DispatchObject c = NewCollection();
  for (int i = 1; i <= 3; ++i) Add(c, i);
  const auto walker =
      std::dynamic_pointer_cast<CollectionEnumerator>(std::get<ObjectRef>(c.Get(u"_NewEnum")));
  ASSERT_NE(walker, nullptr);
  Variant item;
  ASSERT_TRUE(walker->Next(item));
  EXPECT_EQ(item, Variant(1));
  const auto copy = walker->Clone();
  std::array<Variant, 1> last{3};
  c.Call(u"Remove", last);
  ASSERT_TRUE(walker->Next(item));
  EXPECT_EQ(item, Variant(2));
  EXPECT_FALSE(walker->Next(item));  // the removed item is not reached
  EXPECT_EQ(item, Variant(2));
  EXPECT_TRUE(copy->Skip(1));
  EXPECT_FALSE(copy->Skip(1));
  walker->Reset();
  ASSERT_TRUE(walker->Next(item));
  EXPECT_EQ(item, Variant(1));
}

TEST(CollectionTest, AnEnumeratorKeepsItsCollection) {
  std::weak_ptr<Object> watch;
  std::shared_ptr<CollectionEnumerator> walker;
  {
    const DispatchObject c = NewCollection();
    Add(c, Str(u"x"));
    watch = c.Ref();
    walker =
        std::dynamic_pointer_cast<CollectionEnumerator>(std::get<ObjectRef>(c.Get(u"_NewEnum")));
  }
  EXPECT_FALSE(watch.expired());
  Variant item;
  EXPECT_TRUE(walker->Next(item));
  EXPECT_EQ(item, Str(u"x"));
  walker.reset();
  EXPECT_TRUE(watch.expired());
}

// A collection written to FilesName or PingRules is the caller's own object, until a
// method of the class puts a collection of its own in its place.
TEST(CollectionTest, WrittenCollectionsAreSharedNotCopied) {
  const DispatchObject files = CreateObject(u"VexmarExt.ClsExcelMultiFiles");
  const DispatchObject mine = NewCollection();
  files.PutRef(u"FilesName", mine);
  Add(mine, Str(u"late.xls"));
  const DispatchObject read(std::get<ObjectRef>(files.Get(u"FilesName")));
  EXPECT_EQ(read.Ref(), mine.Ref());
  EXPECT_EQ(read.Get(u"Count"), Variant(1));
  Add(read, Str(u"through the property"));
  EXPECT_EQ(mine.Get(u"Count"), Variant(2));

  files.Put(u"Rules", Str(u"#FILE\r\na.xls#b.xls"));
  EXPECT_EQ(files.Get(u"ParseRules"), Variant(2));
  const DispatchObject rebuilt(std::get<ObjectRef>(files.Get(u"FilesName")));
  EXPECT_NE(rebuilt.Ref(), mine.Ref());
  EXPECT_EQ(mine.Get(u"Count"), Variant(2));  // the host's collection keeps its items
  EXPECT_EQ(Item(rebuilt, 2), Str(u"b.xls"));

  const DispatchObject sheets = CreateObject(u"VexmarExt.ClsExcelMultiSheets");
  sheets.PutRef(u"PingRules", mine);
  EXPECT_EQ(std::get<ObjectRef>(sheets.Get(u"PingRules")), mine.Ref());
  sheets.Put(u"Rule", Str(u"K|Sheet1|5|m"));
  std::array<Variant, 1> message{Str(u"")};
  EXPECT_EQ(sheets.Call(u"ParseRule", message), Variant(kTrue16));
  EXPECT_NE(std::get<ObjectRef>(sheets.Get(u"PingRules")), mine.Ref());
  EXPECT_EQ(mine.Get(u"Count"), Variant(2));

  // Nothing may be written as well; a read then gives Nothing.
  sheets.PutRef(u"PingRules", ObjectRef());
  EXPECT_EQ(std::get<ObjectRef>(sheets.Get(u"PingRules")), nullptr);
}

TEST(CollectionTest, ObjectsAreIndependent) {
  const DispatchObject a = CreateObject(u"VexmarExt.ClsScoreState");
  const DispatchObject b = CreateObject(u"VexmarExt.ClsScoreState");
  a.Put(u"ErrMsg", Str(u"only a"));
  a.Put(u"CurScore", 3);
  EXPECT_EQ(b.Get(u"ErrMsg"), Str(u""));
  EXPECT_EQ(b.Get(u"CurScore"), Variant(0.0f));

  const DispatchObject f1 = CreateObject(u"VexmarExt.ClsExcelMultiFiles");
  const DispatchObject f2 = CreateObject(u"VexmarExt.ClsExcelMultiFiles");
  EXPECT_NE(std::get<ObjectRef>(f1.Get(u"FilesName")), std::get<ObjectRef>(f2.Get(u"FilesName")));
  f1.Put(u"Rules", Str(u"#FILE\r\na.xls"));
  f1.Call(u"ParseRules");
  EXPECT_EQ(DispatchObject(std::get<ObjectRef>(f2.Get(u"FilesName"))).Get(u"Count"), Variant(0));
}

TEST(CollectionTest, ObjectsLiveWhileAHandleOrValueRefersToThem) {
  std::weak_ptr<Object> object_watch;
  std::weak_ptr<Object> collection_watch;
  Variant kept;
  {
    const DispatchObject files = CreateObject(u"VexmarExt.ClsExcelMultiFiles");
    object_watch = files.Ref();
    kept = files.Get(u"FilesName");
    collection_watch = std::get<ObjectRef>(kept);
    const DispatchObject copy = files;  // handles share the object
  }
  EXPECT_TRUE(object_watch.expired());
  EXPECT_FALSE(collection_watch.expired());  // the host still holds the collection
  kept = Empty{};
  EXPECT_TRUE(collection_watch.expired());
}

}  // namespace
}  // namespace vexmar::dispatch
