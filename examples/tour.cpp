// A small tour of VexmarExt through the plain C++ classes: the wildcard matcher, the
// rule-text routines and the score-state holder, on the kind of input a grading host
// hands over (vexmar_demo --tour).
#include "examples/tour.hpp"

#include <cstdio>
#include <string>

#include "vexmar/text/split_and_match.hpp"
#include "vexmar/text/matcher_classes.hpp"
#include "vexmar/text/rule_numbers.hpp"
#include "vexmar/vexmar.hpp"

namespace vexmar::example {
namespace {

std::string U8(const std::u16string& s) { return vexmar::Utf16ToUtf8(s); }

void ShowMatcher() {
  std::puts("== Wildcard matcher (ClsPatternMatchStr.MatchString, start 1)");
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"456678343", u"45*43*"}, {u"MySheet1", u"Sheet*"}, {u"学生成绩表", u"*成绩*"},
      {u"abxc", u"a?c"},         {u"Sheet1", u"Sheet??"},  {u"FILE1.XLS", u"file?.xls"},
      {u"Data", u"sheet"}};
  vexmar::ClsPatternMatchStr matcher;
  for (const auto& [source, pattern] : cases) {
    std::int32_t length = 0;
    const std::int32_t pos = matcher.MatchString(source, pattern, 1, length);
    std::printf("  %-12s in %-14s -> position %2d, length %d%s\n",
                ("'" + U8(pattern) + "'").c_str(), ("'" + U8(source) + "'").c_str(), pos, length,
                pos > 0 ? "  (fits)" : "");
  }
}

void ShowRuleText() {
  std::puts("\n== Rule text: lines, fields and items");
  const std::u16string rule = u"K|Sheet1#成绩*#sheet1|2.5|工作表名称错误\r\n检查公式";
  vexmar::StringList lines, fields, items;
  vexmar::SplitString(rule, vexmar::kLineBreak, lines, -1, vexmar::kCompareText);
  vexmar::SplitString(lines.At(0), u"|", fields, -1, vexmar::kCompareText);
  vexmar::SplitString(fields.At(1), u"#", items, -1, vexmar::kCompareText);
  std::printf("  item line : %s\n", U8(lines.At(0)).c_str());
  std::printf("  fields    : %d\n", fields.UpperBound() + 1);
  for (const auto& item : items.Items()) {
    std::printf("  sheet item: %-10s %s\n", U8(item).c_str(),
                vexmar::HasWildcard(item) ? "(pattern)" : "(plain name)");
  }
  std::printf("  weight    : '%s' numeric=%s value=%g\n", U8(fields.At(2)).c_str(),
              vexmar::IsNumeric(fields.At(2)) ? "yes" : "no",
              static_cast<double>(vexmar::ConvertWholeToFloat32(fields.At(2))));
  vexmar::StringList required{u"", u"Sheet1"};
  std::printf("  'SHEET1' already required (case-insensitive): %s\n",
              vexmar::ContainsItem(u"SHEET1", required) ? "yes" : "no");
}

void ShowScoreState() {
  std::puts("\n== Score state (ClsScoreState)");
  vexmar::ClsScoreState score;
  score.SetTotalScore(5.0f);
  score.SetCurScore(7.5f);
  score.SetErrMsg(u"工作表[Sheet2]缺失");
  std::printf("  CurScore=%g TotalScore=%g ErrMsg=%s (values are kept exactly as written)\n",
              static_cast<double>(score.CurScore()), static_cast<double>(score.TotalScore()),
              U8(score.ErrMsg()).c_str());
}

}  // namespace

int RunTour() {
  try {
    ShowMatcher();
    ShowRuleText();
    ShowScoreState();
  } catch (const vexmar::Error& e) {
    std::fprintf(stderr, "error %d: %s\n", e.Number(), e.what());
    return 1;
  }
  return 0;
}

}  // namespace vexmar::example
