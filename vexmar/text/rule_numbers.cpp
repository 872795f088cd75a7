#include "vexmar/text/rule_numbers.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "vexmar/component/error.hpp"

namespace vexmar {
namespace {

bool IsDigit(char16_t u) { return u >= u'0' && u <= u'9'; }

std::u16string_view TrimSpaces(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

// The decimal order of magnitude of ASCII text of the plain decimal form (digits, an
// optional "." and fraction, an optional exponent "e" with sign): n when the value lies
// in [10^(n-1), 10^n), so a value of 1 or more has an order above 0. Whether a number
// out of range overflows or underflows is told by this, not by the exponent's sign:
// "0.000…01" with hundreds of zeros is tiny, "1000…0E-10" is huge. Empty when every
// digit is 0.
std::optional<std::int64_t> DecimalOrder(std::string_view ascii) {
  const std::size_t e = ascii.find('e');
  const std::string_view mantissa = ascii.substr(0, e);
  const std::size_t point = mantissa.find('.');
  const std::string_view integer = mantissa.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : mantissa.substr(point + 1);

  std::int64_t order = 0;
  const std::size_t integer_lead = integer.find_first_not_of('0');
  if (integer_lead != std::string_view::npos) {
    order = static_cast<std::int64_t>(integer.size() - integer_lead);
  } else {
    const std::size_t fraction_lead = fraction.find_first_not_of('0');
    if (fraction_lead == std::string_view::npos) return std::nullopt;
    order = -static_cast<std::int64_t>(fraction_lead);
  }

  if (e != std::string_view::npos) {
    std::string_view exponent = ascii.substr(e + 1);
    const bool negative = !exponent.empty() && exponent.front() == '-';
    if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) {
      exponent.remove_prefix(1);
    }
    // Saturates far beyond any range, so an exponent of any length stays exact in sign.
    constexpr std::int64_t kFar = std::int64_t{1} << 40;
    std::int64_t value = 0;
    for (const char digit : exponent) value = std::min(kFar, value * 10 + (digit - '0'));
    order += negative ? -value : value;
  }
  return order;
}

// Parses ASCII text of the plain decimal form (no sign) straight into T, rounding once to
// nearest. A value beyond T's range is the overflow error; one too small for T gives 0.
template <typename T>
T ParseUnsignedDecimal(const std::string& ascii) {
  T value{};
  const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  if (ec == std::errc::result_out_of_range) {
    const std::optional<std::int64_t> order = DecimalOrder(ascii);
    if (order && *order > 0) Raise(ErrorNumber::kOverflow);
    return T{0};
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
  std::string ascii;  // IsNumeric admitted ASCII only
  ascii.reserve(text.size() + 1);
  for (const char16_t unit : text) ascii.push_back(unit == u'E' ? 'e' : static_cast<char>(unit));
  if (ascii.front() == '.') ascii.insert(ascii.begin(), '0');
  // Straight from the decimal text to float32: rounding through double first could
  // round twice and miss the nearest float32.
  const float magnitude = ParseUnsignedDecimal<float>(ascii);
  return negative ? -magnitude : magnitude;
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
  const double magnitude = ParseUnsignedDecimal<double>(ascii);
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
