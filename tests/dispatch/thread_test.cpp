// Objects created and called from several threads at once: nothing global is shared
// but immutable tables.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "vexmar/dispatch/dispatch_object.hpp"
#include "vexmar/dispatch/number_text.hpp"

namespace vexmar::dispatch {
namespace {

// One host session; true when every answer was the expected one.
bool Session(int seed) {
  bool ok = true;
  const DispatchObject state = CreateObject(u"VexmarExt.ClsScoreState");
  state.Put(u"CurScore", static_cast<float>(seed));
  state.Put(u"ErrMsg", seed);
  ok = ok && state.Get(u"CurScore") == Variant(static_cast<float>(seed));
  ok = ok && state.Get(u"ErrMsg") == Variant(FormatInt32(seed));

  const DispatchObject matcher = CreateObject(u"{C670563E-A127-465D-BF49-DA8527C0A50D}");
  std::array<Variant, 4> match{std::u16string(u"MySheet1"), std::u16string(u"sheet*"), 1, 0};
  ok = ok && matcher.Call(u"MatchString", match) == Variant(3) && match[3] == Variant(6);

  const DispatchObject names = CreateObject(u"vexmarext.clsrepeatname");
  std::array<Variant, 3> files{std::u16string(u"K|a.xls#b.xls|5|m"), Variant(), std::u16string()};
  ok = ok && names.Call(u"GetFileNames", files) == Variant(2);

  const DispatchObject multi = CreateObject(u"VexmarExt.ClsExcelMultiFiles");
  multi.Put(u"Rules", std::u16string(u"#FILE\r\nx.xls#y.xls#z.xls"));
  ok = ok && multi.Get(u"ParseRules") == Variant(3);

  const DispatchObject sheets = CreateObject(u"VexmarExt.ClsExcelMultiSheets");
  sheets.Put(u"Rule", std::u16string(u"K|S1#S2#s1|") + FormatInt32(seed) + u"|m");
  std::array<Variant, 1> message{std::u16string()};
  ok = ok && sheets.Call(u"ParseRule", message) == Variant(kTrue16);
  const DispatchObject rules(std::get<ObjectRef>(sheets.Get(u"PingRules")));
  ok = ok && rules.Get(u"Count") == Variant(2) &&
       sheets.Get(u"Weight") == Variant(static_cast<float>(seed));
  return ok;
}

TEST(DispatchThreadTest, SessionsOnSeveralThreadsAtOnce) {
  constexpr int kThreads = 4;
  std::atomic<int> ready{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) {
      }
      for (int i = 0; i < 50; ++i) {
        if (!Session(t * 100 + i)) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace vexmar::dispatch
