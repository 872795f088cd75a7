// The class-table-driven engine with a class of the test's own: what a member wrote
// before its error, and the call's own reference on its object.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "dispatch/dispatch_test_util.hpp"
#include "vexmar/dispatch/binding_check.hpp"
#include "vexmar/dispatch/class_interface.hpp"
#include "vexmar/dispatch/dispatch_object.hpp"

namespace vexmar::dispatch {
namespace {

using contract::Direction;
using contract::MemberKind;
using contract::ValueType;
using testing::Str;

class Probe : public Object {
 public:
  std::function<void()> during_call;
  int finished = 0;

  std::int32_t Fail(std::u16string& strMessage, float& sngValue, std::int32_t nCode) {
    strMessage = u"written before the error";
    if (during_call) during_call();
    ++finished;  // touches the object after the host let go of it
    if (nCode != 0) throw Error(nCode, u"探针错误");
    sngValue = 2.5f;
    return 1;
  }
};

constexpr contract::Parameter kFailParameters[] = {
    {"strMessage", ValueType::kString, Direction::kInOut},
    {"sngValue", ValueType::kFloat32, Direction::kInOut},
    {"nCode", ValueType::kInt32, Direction::kIn}};
constexpr contract::Member kProbeMembers[] = {
    {MemberKind::kMethod, "Fail", 0x60030000, kFailParameters, ValueType::kInt32, u""}};
constexpr contract::ClassInfo kProbeInfo[] = {
    {"Probe", "_Probe", "VexmarExt.Probe", Guid{}, Guid{}, "", kProbeMembers}};
constexpr BoundMember kProbeBindings[] = {Method<&Probe::Fail>("Fail")};
constexpr BoundClass kProbeBound[] = {BindClass<Probe>("Probe", kProbeBindings)};
static_assert(CountBindingProblems(kProbeInfo, kProbeBound) == 0);

const ClassInterface& ProbeInterface() {
  static const ClassInterface probe(kProbeInfo[0], kProbeBound[0]);
  return probe;
}

TEST(EngineTest, WhatTheMemberWroteBeforeItsErrorStaysWritten) {
  const auto probe = std::make_shared<Probe>();
  const DispatchObject handle(probe, ProbeInterface());
  std::array<Variant, 3> args{Str(u"caller's"), 7, 1004};
  try {
    handle.Invoke(0x60030000, MemberKind::kMethod, args);
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.Number(), 1004);
    EXPECT_EQ(e.Description(), u"探针错误");
    EXPECT_EQ(static_cast<std::uint32_t>(e.HResult()), 0x800A03ECu);
  }
  EXPECT_EQ(args[0], Str(u"written before the error"));
  EXPECT_EQ(args[1], Variant(7.0f));  // converted on the way in, not changed by the member
  EXPECT_EQ(args[2], Variant(1004));
  EXPECT_EQ(probe->finished, 1);

  std::array<Variant, 3> fine{Empty{}, Empty{}, 0};
  EXPECT_EQ(handle.Invoke(0x60030000, MemberKind::kMethod, fine), Variant(1));
  EXPECT_EQ(fine[0], Str(u"written before the error"));
  EXPECT_EQ(fine[1], Variant(2.5f));
}

TEST(EngineTest, ACallHoldsItsObjectWhileTheHostLetsGo) {
  auto probe = std::make_shared<Probe>();
  const std::weak_ptr<Probe> watch = probe;
  DispatchObject handle(std::move(probe), ProbeInterface());
  bool alive_after_release = false;
  watch.lock()->during_call = [&] {
    handle = DispatchObject();  // the host's last reference goes
    alive_after_release = !watch.expired();
  };
  std::array<Variant, 3> args{Str(u""), 0.0f, 0};
  EXPECT_EQ(handle.Invoke(0x60030000, MemberKind::kMethod, args), Variant(1));
  EXPECT_TRUE(alive_after_release);
  EXPECT_TRUE(watch.expired());  // ended with the call's own reference
  EXPECT_EQ(args[1], Variant(2.5f));
}

}  // namespace
}  // namespace vexmar::dispatch
