// MatchWildcard on worksheet-like names and SplitString on a 1 MB rule text.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "vexmar/text/split_and_match.hpp"

namespace {

const std::vector<std::u16string>& SheetNames() {
  static const std::vector<std::u16string> names = {
      u"Sheet1", u"Sheet12", u"MySheet2", u"Data", u"学生成绩表", u"2024年期末成绩汇总",
      u"Summary of Results", u"S1eet31", u"成绩", u"Lookup Tables And Constants 2024"};
  return names;
}

void BM_MatchWildcard(benchmark::State& state, std::u16string pattern) {
  const auto& names = SheetNames();
  std::size_t i = 0;
  std::int32_t length = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vexmar::MatchWildcard(names[i], pattern, 1, length));
    benchmark::DoNotOptimize(length);
    if (++i == names.size()) i = 0;
  }
}
BENCHMARK_CAPTURE(BM_MatchWildcard, Sheet_star, std::u16string(u"Sheet*"));
BENCHMARK_CAPTURE(BM_MatchWildcard, star_chengji_star, std::u16string(u"*成绩*"));
BENCHMARK_CAPTURE(BM_MatchWildcard, S_q_eet_star_1, std::u16string(u"S?eet*1"));
BENCHMARK_CAPTURE(BM_MatchWildcard, plain_literal, std::u16string(u"sheet1"));

std::u16string RuleText(std::size_t bytes) {
  std::u16string text;
  const std::u16string line = u"K|Sheet1#Sheet2#数据*|2.5|工作表名称错误|x\r\n";
  while (text.size() * 2 < bytes) text += line;
  return text;
}

void BM_SplitString(benchmark::State& state, std::u16string delimiter) {
  const std::u16string text = RuleText(1 << 20);
  vexmar::StringList items;
  for (auto _ : state) {
    vexmar::SplitString(text, delimiter, items, -1, vexmar::kCompareText);
    benchmark::DoNotOptimize(items);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size() * 2));
}
BENCHMARK_CAPTURE(BM_SplitString, lines_1MB, std::u16string(u"\r\n"));
BENCHMARK_CAPTURE(BM_SplitString, fields_1MB, std::u16string(u"|"));

}  // namespace
