// The weight readers against the C library's own decimal conversions: for every text the
// numeric test admits, the whole-field conversion must give strtof's float32 (rounded once)
// and overflow exactly where strtof does; the leading-number reader must give strtod's
// double on the same text. Any other text must simply not crash.
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vexmar/component/error.hpp"
#include "vexmar/text/rule_numbers.hpp"

namespace {

// Overflow error or the value; the C library reports overflow as ERANGE with infinity.
struct Outcome {
  bool overflow;
  double value;
};

template <typename Convert>
Outcome Ours(Convert&& convert) {
  try {
    return {false, static_cast<double>(convert())};
  } catch (const vexmar::Error& e) {
    if (e.Number() != 6) std::abort();  // only the overflow error is allowed here
    return {true, 0};
  }
}

bool SameValue(double a, double b) {
  return a == b && std::signbit(a) == std::signbit(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::u16string text(data, data + size);
  const bool numeric = vexmar::IsNumeric(text);
  try {
    (void)vexmar::ReadLeadingNumber(text);
  } catch (const vexmar::Error& e) {
    if (e.Number() != 6) std::abort();
  }
  if (!numeric) return 0;

  const std::string ascii(data, data + size);  // the numeric test admits ASCII only
  errno = 0;
  const float expected_float = std::strtof(ascii.c_str(), nullptr);
  const bool float_overflow = errno == ERANGE && std::isinf(expected_float);
  const Outcome whole = Ours([&] { return vexmar::ConvertWholeToFloat32(text); });
  if (whole.overflow != float_overflow) std::abort();
  if (!whole.overflow && !SameValue(whole.value, static_cast<double>(expected_float))) std::abort();

  errno = 0;
  const double expected_double = std::strtod(ascii.c_str(), nullptr);
  const bool double_overflow = errno == ERANGE && std::isinf(expected_double);
  const Outcome leading = Ours([&] { return vexmar::ReadLeadingNumber(text); });
  if (leading.overflow != double_overflow) std::abort();
  if (!leading.overflow && !SameValue(leading.value, expected_double)) std::abort();
  return 0;
}
