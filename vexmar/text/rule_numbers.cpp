#include "vexmar/text/rule_numbers.hpp"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#include "vexmar/component/error.hpp"

namespace vexmar {
namespace {

bool IsDigit(char16_t u) { return u >= u'0' && u <= u'9'; }

std::u16string_view TrimSpaces(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

// Parses ASCII text of the plain decimal form (no sign) as a double; out-of-range
// magnitudes are the overflow error, underflow gives zero.
double ParseUnsignedDecimal(const std::string& ascii) {
  double value = 0.0;
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // from_chars reports both overflow and underflow; tell them apart by the exponent.
    const auto e = ascii.find_first_of("eEdD");
    const bool negative_exponent = e != std::string::npos && e + 1 < ascii.size() && ascii[e + 1] == '-';
    if (negative_exponent) return 0.0;
    Raise(ErrorNumber::kOverflow);
  }
  if (ec != std::errc{} || end != ascii.data() + ascii.size()) {
    Raise(ErrorNumber::kTypeMismatch);
  }
  return value;
}

}  // namespace

bool IsNumeric(std::u16string_view text) noexcept {
  text = TrimSpaces(text);
  std::size_t i = 0;
  const std::size_t n = text.size();
  if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
  std::size_t digits = 0;
  while (i < n && IsDigit(text[i])) ++i, ++digits;
  if (i < n && text[i] == u'.') {
    ++i;
    while (i < n && IsDigit(text[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == u'E' || text[i] == u'e')) {
    ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < n && IsDigit(text[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == n;
}

float ConvertWholeToFloat32(std::u16string_view text) {
  if (!IsNumeric(text)) Raise(ErrorNumber::kTypeMismatch);
  text = TrimSpaces(text);
  bool negative = false;
  if (text.front() == u'+' || text.front() == u'-') {
    negative = text.front() == u'-';
    text.remove_prefix(1);
  }
  std::string ascii(text.begin(), text.end());  // IsNumeric admitted ASCII only
  const double magnitude = ParseUnsignedDecimal(ascii);
  return ToFloat32Checked(negative ? -magnitude : magnitude);
}

double ReadLeadingNumber(std::u16string_view text) {
  std::string ascii;
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip_blanks = [&] {
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n')) ++i;
  };
  skip_blanks();
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  std::size_t digits = 0;
  auto take_digits = [&](std::size_t& count) {
    for (skip_blanks(); i < n && IsDigit(text[i]); skip_blanks()) {
      ascii.push_back(static_cast<char>(text[i++]));
      ++count;
    }
  };
  take_digits(digits);
  if (i < n && text[i] == u'.') {
    ascii.push_back('.');
    ++i;
    take_digits(digits);
  }
  if (digits == 0) return 0.0;
  if (i < n && (text[i] == u'E' || text[i] == u'e' || text[i] == u'D' || text[i] == u'd')) {
    const std::size_t mark = i, ascii_mark = ascii.size();
    ascii.push_back('e');
    ++i;
    skip_blanks();
    if (i < n && (text[i] == u'+' || text[i] == u'-')) ascii.push_back(static_cast<char>(text[i++]));
    std::size_t exponent_digits = 0;
    take_digits(exponent_digits);
    if (exponent_digits == 0) {  // "1E" reads as 1
      i = mark;
      ascii.resize(ascii_mark);
    }
  }
  if (ascii.front() == '.') ascii.insert(ascii.begin(), '0');
  const double magnitude = ParseUnsignedDecimal(ascii);
  return negative ? -magnitude : magnitude;
}

float ToFloat32Checked(double value) {
  constexpr double kMax = static_cast<double>(std::numeric_limits<float>::max());
  // Values up to half a unit in the last place above the largest float32 round down to it.
  const double kRoundLimit = kMax + std::ldexp(1.0, 103);
  if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
  if (std::fabs(value) >= kRoundLimit) Raise(ErrorNumber::kOverflow);
  if (std::fabs(value) > kMax) return value < 0 ? -std::numeric_limits<float>::max()
                                                : std::numeric_limits<float>::max();
  return static_cast<float>(value);
}

}  // namespace vexmar
