#include "vexmar/dispatch/number_text.hpp"

#include <charconv>
#include <cmath>
#include <string_view>

#include "vexmar/component/error.hpp"

namespace vexmar::dispatch {
namespace {

std::u16string Widen(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

}  // namespace

std::u16string FormatInt32(std::int32_t value) {
  char buffer[16];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return Widen({buffer, static_cast<std::size_t>(end - buffer)});
}

std::u16string FormatFloat32(float value) {
  if (std::isnan(value)) return u"NaN";
  if (std::isinf(value)) return value < 0 ? u"-Infinity" : u"Infinity";
  if (value == 0.0f) return u"0";

  // Seven significant digits in scientific form ("d.dddddde+XX"): the digits and the
  // decimal exponent of the rounded value, whatever the locale.
  char buffer[32];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6).ptr;
  const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
  const std::size_t e_pos = text.find('e');
  const bool negative = text.front() == '-';
  std::string digits;
  for (char c : text.substr(0, e_pos)) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  int exponent = 0;
  const std::string_view exponent_text = text.substr(e_pos + 1);
  const char* exponent_begin = exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0);
  std::from_chars(exponent_begin, exponent_text.data() + exponent_text.size(), exponent);

  std::string out = negative ? "-" : "";
  const int digit_count = static_cast<int>(digits.size());
  if (exponent < -4 || exponent >= 7) {
    out += digits.front();
    if (digit_count > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += exponent < 0 ? "E-" : "E+";
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += '0';
    out += std::to_string(magnitude);
  } else if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else if (digit_count <= exponent + 1) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent + 1 - digit_count), '0');
  } else {
    const auto integer_digits = static_cast<std::size_t>(exponent + 1);
    out.append(digits, 0, integer_digits);
    out += '.';
    out.append(digits, integer_digits);
  }
  return Widen(out);
}

std::int32_t RoundToInt32(double value) {
  if (std::isnan(value)) Raise(ErrorNumber::kOverflow);
  const double floor = std::floor(value);
  const double fraction = value - floor;
  double rounded = floor;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1.0;
  if (rounded < -2147483648.0 || rounded > 2147483647.0) Raise(ErrorNumber::kOverflow);
  return static_cast<std::int32_t>(rounded);
}

}  // namespace vexmar::dispatch
