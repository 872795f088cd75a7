// One ClsPatternMatchStr.MatchString call from C++, the peer of the same call from
// Python (bench_python.py): directly on the class, by late binding by dispatch id with
// the arguments a host passes, and through the C interface by name as a C host makes it
// (the written-back length given back each time).
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "vexmar/vexmar.h"
#include "vexmar/vexmar.hpp"

namespace {

const std::u16string kSource = u"Sheet12";
const std::u16string kFind = u"S?eet*2";

void BM_MatchStringDirect(benchmark::State& state) {
  vexmar::ClsPatternMatchStr matcher;
  for (auto _ : state) {
    std::int32_t length = 0;
    benchmark::DoNotOptimize(matcher.MatchString(kSource, kFind, 1, length));
    benchmark::DoNotOptimize(length);
  }
}
BENCHMARK(BM_MatchStringDirect);

void BM_MatchStringLateBound(benchmark::State& state) {
  const auto matcher = vexmar::dispatch::CreateObject(u"VexmarExt.ClsPatternMatchStr");
  const std::int32_t id = matcher.GetIdOfName(u"MatchString");
  for (auto _ : state) {
    std::array<vexmar::Variant, 4> args{kSource, kFind, 1, 0};
    benchmark::DoNotOptimize(matcher.Invoke(id, vexmar::dispatch::InvokeFlags::kMethod, args));
  }
}
BENCHMARK(BM_MatchStringLateBound);

void BM_MatchStringCInterface(benchmark::State& state) {
  vexmar_object* matcher = nullptr;
  if (vexmar_create("VexmarExt.ClsPatternMatchStr", &matcher) != VEXMAR_OK) {
    state.SkipWithError("no matcher");
    return;
  }
  for (auto _ : state) {
    vexmar_value args[4] = {vexmar_string("Sheet12"), vexmar_string("S?eet*2"), vexmar_int32(1),
                            vexmar_int32(0)};
    vexmar_value found;
    vexmar_call(matcher, "MatchString", args, 4, &found);
    benchmark::DoNotOptimize(found.as.int32);
    vexmar_value_clear(&args[3]);
  }
  vexmar_release(matcher);
}
BENCHMARK(BM_MatchStringCInterface);

}  // namespace

BENCHMARK_MAIN();
