// One ClsPatternMatchStr.MatchString call from C++, the peer of the same call from
// Python (bench_python.py): directly on the class, and by late binding by dispatch id
// with the arguments a host passes.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

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

}  // namespace

BENCHMARK_MAIN();
