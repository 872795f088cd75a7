// Hash flooding: GetFileNames over 200,000 file names crafted so that an unkeyed hash of
// the kind the file name list once used gives them all one value, against 200,000
// ordinary names of the same length and alphabet. With the keyed index both cost the
// same; the goal is crafted <= 2x ordinary.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unordered_set>

#include "vexmar/component/utf.hpp"
#include "vexmar/names/repeat_name.hpp"
#include "vexmar/text/indexed_name_list.hpp"
#include "vexmar/text/letter_case.hpp"

namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;

// The unkeyed hash: the length, then blocks of four upper-cased units, each xored in,
// multiplied and folded. Every step is invertible, so a last block can be solved for.
std::uint64_t Step(std::uint64_t state, std::uint64_t block) {
  state = (state ^ block) * kMultiplier;
  return state ^ (state >> 29);
}

std::uint64_t UnkeyedState(const std::u16string& name) {
  std::uint64_t state = name.size();
  for (std::size_t i = 0; i < name.size(); i += 4) {
    std::uint64_t packed = 0;
    for (std::size_t k = i; k < i + 4 && k < name.size(); ++k) {
      packed = (packed << 16) | vexmar::ToUpperUnit(name[k]);
    }
    state = Step(state, packed);
  }
  return state;
}

std::uint64_t InverseOfMultiplier() {
  std::uint64_t inverse = kMultiplier;  // Newton's iteration for the inverse mod 2^64
  for (int i = 0; i < 5; ++i) inverse *= 2 - kMultiplier * inverse;
  return inverse;
}

std::uint64_t UndoFold(std::uint64_t y) {
  std::uint64_t x = y;
  for (int i = 0; i < 3; ++i) x = y ^ (x >> 29);
  return x;
}

// A unit a file name may hold that upper-casing leaves alone (so the block solved for is
// the block hashed), and that is no separator, NUL or surrogate.
bool UsableUnit(std::uint64_t unit) {
  const auto u = static_cast<char16_t>(unit);
  if (u < 0x4E00 || u > 0x9FFF) return false;  // CJK ideographs: no case, valid UTF-8
  return vexmar::ToUpperUnit(u) == u;
}

std::u16string BlockUnits(std::uint64_t block) {
  std::u16string units;
  for (int shift = 48; shift >= 0; shift -= 16) {
    units.push_back(static_cast<char16_t>((block >> shift) & 0xFFFF));
  }
  return units;
}

std::mt19937_64& Random() {
  static std::mt19937_64 random(20261208);
  return random;
}

char16_t RandomIdeograph() {
  return static_cast<char16_t>(0x4E00 + Random()() % (0x9FFF - 0x4E00 + 1));
}

// Eight ideographs and ".xls": the first block random, the second solved so that the
// state after it is the same for every name.
std::u16string CraftedName(std::uint64_t target) {
  static const std::uint64_t inverse = InverseOfMultiplier();
  for (;;) {
    std::u16string head;
    for (int i = 0; i < 4; ++i) head.push_back(RandomIdeograph());
    std::uint64_t packed = 0;
    for (const char16_t unit : head) packed = (packed << 16) | unit;
    const std::uint64_t state = Step(12, packed);  // twelve units in all
    // Step(state, block) == target exactly when (state ^ block) * K == UndoFold(target).
    const std::uint64_t block = state ^ (UndoFold(target) * inverse);
    bool usable = true;
    for (int shift = 0; shift < 64; shift += 16) usable = usable && UsableUnit(block >> shift);
    if (!usable) continue;
    return head + BlockUnits(block) + u".xls";
  }
}

std::u16string OrdinaryName() {
  std::u16string name;
  for (int i = 0; i < 8; ++i) name.push_back(RandomIdeograph());
  return name + u".xls";
}

class Directory {
 public:
  explicit Directory(bool crafted, int files) {
    std::string pattern = "/tmp/vexmar-flood-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
    std::unordered_set<std::u16string> made;
    std::uint64_t target = 0;
    while (static_cast<int>(made.size()) < files) {
      std::u16string name = crafted ? CraftedName(0x5EED) : OrdinaryName();
      // The crafting must hold: every name ends in one and the same state.
      if (crafted && made.empty()) target = UnkeyedState(name);
      if (crafted && UnkeyedState(name) != target) std::abort();
      if (!made.insert(name).second) continue;
      const std::string full = path_ + "/" + vexmar::Utf16ToUtf8(name);
      const int fd = open(full.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
      if (fd < 0) std::abort();
      close(fd);
    }
  }
  ~Directory() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::u16string HostPath() const { return vexmar::Utf8ToUtf16(path_); }

 private:
  std::string path_;
};

void BM_GetFileNames(benchmark::State& state, bool crafted) {
  const Directory directory(crafted, static_cast<int>(state.range(0)));
  const vexmar::ClsRepeatName names;
  // The second pattern finds every name again: one successful look-up per name.
  const std::u16string rule = u"K|*.xls#*|5|m";
  std::int32_t found = 0;
  std::uint64_t steps = 0;
  for (auto _ : state) {
    vexmar::StringList list;
    const std::uint64_t before = vexmar::NameLookupStepsOnThisThread();
    found = names.GetFileNames(rule, list, directory.HostPath());
    steps = vexmar::NameLookupStepsOnThisThread() - before;
    benchmark::DoNotOptimize(list);
  }
  state.counters["names"] = found;
  state.counters["steps_per_name"] = static_cast<double>(steps) / found;
}

BENCHMARK_CAPTURE(BM_GetFileNames, ordinary, false)
    ->Arg(200'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_GetFileNames, crafted_to_collide, true)
    ->Arg(200'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
