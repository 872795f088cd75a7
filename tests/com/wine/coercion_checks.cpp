#include "coercion_checks.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <string>

#include "support/coercion_table.hpp"

namespace vexmar::wine_tests {
namespace {

// Built in: the client runs under Wine, away from the source tree.
constexpr std::string_view kTable =
#include "coercion_cases_tsv.inc"
    ;

VARTYPE TableType(const std::string& type) {
  if (type == "empty") return VT_EMPTY;
  if (type == "int32") return VT_I4;
  if (type == "float32") return VT_R4;
  if (type == "bool16") return VT_BOOL;
  if (type == "string") return VT_BSTR;
  throw std::invalid_argument("unknown type " + type);
}

// A scalar value of the table as a Variant of its type; the caller clears it.
VARIANT TableValue(const std::string& type, const std::string& text) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = TableType(type);
  switch (V_VT(&v)) {
    case VT_I4:
      V_I4(&v) = std::stol(text);
      break;
    case VT_R4:
      V_R4(&v) = text == "nan" ? std::numeric_limits<float>::quiet_NaN() : std::stof(text);
      break;
    case VT_BOOL:
      V_BOOL(&v) = text == "True" ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case VT_BSTR:
      V_BSTR(&v) = SysAllocString(Wide(text).c_str());
      break;
    default:
      break;
  }
  return v;
}

// What a conversion gave, in the table's words.
std::string Outcome(HRESULT hr, const VARIANT& v) {
  if (hr == DISP_E_TYPEMISMATCH) return "error 13";
  if (hr == DISP_E_OVERFLOW) return "error 6";
  if (FAILED(hr)) return "status " + Checks::Hex(hr);
  switch (V_VT(&v)) {
    case VT_I4:
      return std::to_string(V_I4(&v));
    case VT_R4: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(V_R4(&v)));
      return buffer;
    }
    case VT_BOOL:
      return V_BOOL(&v) == VARIANT_TRUE ? "True" : V_BOOL(&v) == 0 ? "False" : "bool16 other";
    case VT_BSTR:
      return Shown(std::wstring_view(V_BSTR(&v), SysStringLen(V_BSTR(&v))));
    default:
      return "type " + std::to_string(V_VT(&v));
  }
}

// The expected result in the same words, so that numbers compare by value.
std::string ExpectedOutcome(const std::string& type, const std::string& result) {
  if (testing::ExpectedErrorNumber(result) != 0) return result;
  VARIANT expected = TableValue(type, result);
  std::string text = Outcome(S_OK, expected);
  VariantClear(&expected);
  return text;
}

}  // namespace

void CheckCoercionTable(Checks& checks) {
  for (const auto& c : testing::ParseCoercionTable(kTable)) {
    VARIANT source = TableValue(c.from, c.value);
    VARIANT converted;
    VariantInit(&converted);
    // As the server converts an argument: no flags, the thread's locale.
    const HRESULT hr = VariantChangeType(&converted, &source, 0, TableType(c.to));
    const std::string got = Outcome(hr, converted);
    const std::string expected = ExpectedOutcome(c.to, c.PlatformResult());
    checks.Expect(got == expected, "conversion, " + c.Label(),
                  "got " + got + ", expected " + expected);
    VariantClear(&converted);
    VariantClear(&source);
  }
}

}  // namespace vexmar::wine_tests
