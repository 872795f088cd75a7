// A host program of the simplest kind: uses the installed library through its umbrella header.
#include <cstdio>
#include <vexmar/vexmar.hpp>

int main() {
  vexmar::ClsPatternMatchStr matcher;
  std::int32_t length = 0;
  const std::int32_t pos = matcher.MatchString(u"MySheet1", u"sheet*", 1, length);
  vexmar::ClsScoreState score;
  score.SetCurScore(7.5f);
  if (pos != 3 || length != 6 || score.CurScore() != 7.5f) {
    std::puts("unexpected result");
    return 1;
  }
  std::puts("consumer ok");
  return 0;
}
