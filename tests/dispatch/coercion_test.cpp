#include "vexmar/dispatch/coercion.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "dispatch/dispatch_test_util.hpp"
#include "support/coercion_table.hpp"
#include "vexmar/component/error.hpp"
#include "vexmar/component/utf.hpp"
#include "vexmar/dispatch/number_text.hpp"

namespace vexmar::dispatch {
namespace {

using contract::ValueType;
using testing::ErrorNumberOf;

TEST(NumberTextTest, FormatsFloat32LikeAnAutomationHost) {
  const struct {
    float value;
    std::u16string text;
  } cases[] = {
      {7.5f, u"7.5"},
      {100.0f, u"100"},
      {-2.25f, u"-2.25"},
      {0.1f, u"0.1"},
      {1.0f / 3.0f, u"0.3333333"},
      {1234567.0f, u"1234567"},
      {12345678.0f, u"1.234568E+07"},
      {1e20f, u"1E+20"},
      {0.0001f, u"0.0001"},
      {0.00001f, u"1E-05"},
      {1.5e-30f, u"1.5E-30"},
      {-0.0f, u"0"},
      {9999999.0f, u"9999999"},
      {std::nextafter(4.0f, 0.0f), u"4"},  // 3.9999998 at seven digits carries over
      {std::numeric_limits<float>::max(), u"3.402823E+38"},
      {std::numeric_limits<float>::infinity(), u"Infinity"},
      {-std::numeric_limits<float>::infinity(), u"-Infinity"},
      {std::numeric_limits<float>::quiet_NaN(), u"NaN"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16ToUtf8(FormatFloat32(c.value)), Utf16ToUtf8(c.text)) << c.value;
  }
  EXPECT_EQ(FormatInt32(std::numeric_limits<std::int32_t>::min()), u"-2147483648");
  EXPECT_EQ(FormatInt32(0), u"0");
}

TEST(NumberTextTest, RoundsHalfToEvenAndChecksTheRange) {
  const struct {
    double value;
    std::int32_t rounded;
  } cases[] = {{2.5, 2},
               {3.5, 4},
               {-2.5, -2},
               {-3.5, -4},
               {2.4999, 2},
               {2.5001, 3},
               {-0.5, 0},
               {0.5, 0},
               {1.5, 2},
               {2147483647.4, 2147483647},
               {-2147483648.5, -2147483648}};
  for (const auto& c : cases) EXPECT_EQ(RoundToInt32(c.value), c.rounded) << c.value;
  for (double bad :
       {2147483647.5, -2147483648.6, 1e10, std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(ErrorNumberOf([&] { RoundToInt32(bad); }), 6) << bad;
  }
}

TEST(CoercionTest, ConvertsAmongTheValueTypes) {
  EXPECT_EQ(CoerceToInt32(Variant(7.5f)), 8);
  EXPECT_EQ(CoerceToInt32(Variant(6.5f)), 6);
  EXPECT_EQ(CoerceToInt32(Variant(std::u16string(u" 42 "))), 42);
  EXPECT_EQ(CoerceToInt32(Variant(std::u16string(u"-1E3"))), -1000);
  EXPECT_EQ(CoerceToInt32(Variant(std::u16string(u"2.5"))), 2);
  EXPECT_EQ(CoerceToInt32(Variant(kTrue16)), -1);
  EXPECT_EQ(CoerceToInt32(Variant(Empty{})), 0);

  EXPECT_EQ(CoerceToFloat32(Variant(3)), 3.0f);
  EXPECT_EQ(CoerceToFloat32(Variant(16777217)), 16777216.0f);  // nearest float32
  EXPECT_EQ(CoerceToFloat32(Variant(std::u16string(u"2.5"))), 2.5f);
  EXPECT_EQ(CoerceToFloat32(Variant(std::u16string(u"1E2"))), 100.0f);
  EXPECT_EQ(CoerceToFloat32(Variant(kTrue16)), -1.0f);

  EXPECT_EQ(CoerceToString(Variant(7.5f)), u"7.5");
  EXPECT_EQ(CoerceToString(Variant(100)), u"100");
  EXPECT_EQ(CoerceToString(Variant(kTrue16)), u"-1");
  EXPECT_EQ(CoerceToString(Variant(kFalse16)), u"0");
  EXPECT_EQ(CoerceToString(Variant(Empty{})), u"");

  EXPECT_EQ(CoerceToBool16(Variant(2)), kTrue16);
  EXPECT_EQ(CoerceToBool16(Variant(0.0f)), kFalse16);
  EXPECT_EQ(CoerceToBool16(Variant(std::u16string(u"tRUE"))), kTrue16);
  EXPECT_EQ(CoerceToBool16(Variant(std::u16string(u"false"))), kFalse16);
  EXPECT_EQ(CoerceToBool16(Variant(std::u16string(u"0.5"))), kTrue16);
  EXPECT_EQ(CoerceToBool16(Variant(Bool16{1})).value, -1);  // any non-zero is all bits set

  EXPECT_FALSE(CoerceToStringList(Variant(Empty{})).HasBounds());
  const StringList list{u"", u"a"};
  EXPECT_EQ(CoerceToStringList(Variant(list)), list);

  auto collection = std::make_shared<Collection>();
  EXPECT_EQ(CoerceToCollection(Variant(ObjectRef(collection))), collection);
  EXPECT_EQ(CoerceToCollection(Variant(ObjectRef())), nullptr);
  EXPECT_EQ(CoerceToCollection(Variant(Empty{})), nullptr);
}

TEST(CoercionTest, KeepsTheExactValueWhenTheTypeAlreadyFits) {
  const auto nan_bits = 0x7FC00123u;
  const Variant converted = CoerceTo(Variant(std::bit_cast<float>(nan_bits)), ValueType::kFloat32);
  EXPECT_EQ(std::bit_cast<std::uint32_t>(std::get<float>(converted)), nan_bits);
  const Variant negative_zero = CoerceTo(Variant(-0.0f), ValueType::kFloat32);
  EXPECT_TRUE(std::signbit(std::get<float>(negative_zero)));
}

TEST(CoercionTest, RefusesWhatDoesNotConvert) {
  struct Case {
    Variant value;
    ValueType type;
    std::int32_t error;
  };
  const Case cases[] = {
      {std::u16string(u"ten"), ValueType::kInt32, 13},
      {std::u16string(u""), ValueType::kInt32, 13},
      {std::u16string(u"1,5"), ValueType::kFloat32, 13},
      {std::u16string(u"&H10"), ValueType::kInt32, 13},
      {std::u16string(u"yes"), ValueType::kBool16, 13},
      {std::u16string(u"3000000000"), ValueType::kInt32, 6},
      {std::u16string(u"1E39"), ValueType::kFloat32, 6},
      {3e9f, ValueType::kInt32, 6},
      {std::numeric_limits<float>::quiet_NaN(), ValueType::kInt32, 6},
      {StringList{u"a"}, ValueType::kString, 13},
      {StringList{u"a"}, ValueType::kInt32, 13},
      {std::u16string(u"a"), ValueType::kStringList, 13},
      {7, ValueType::kCollection, 13},
      {ObjectRef(std::make_shared<Collection>()), ValueType::kString, 13},
      {ObjectRef(std::make_shared<Object>()), ValueType::kCollection, 13},
      {7, ValueType::kNone, 13},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorNumberOf([&] { CoerceTo(c.value, c.type); }), c.error)
        << "alternative " << c.value.index() << " to type " << static_cast<int>(c.type);
  }
}

// A scalar value of the shared table as the Variant alternative of its type.
Variant TableValue(const std::string& type, const std::string& text) {
  if (type == "empty") return Empty{};
  if (type == "int32") return static_cast<std::int32_t>(std::stol(text));
  if (type == "float32") {
    return text == "nan" ? std::numeric_limits<float>::quiet_NaN() : std::stof(text);
  }
  if (type == "bool16") return ToBool16(text == "True");
  if (type == "string") return Utf8ToUtf16(text);
  throw std::invalid_argument("unknown type " + type);
}

ValueType TableType(const std::string& type) {
  if (type == "int32") return ValueType::kInt32;
  if (type == "float32") return ValueType::kFloat32;
  if (type == "bool16") return ValueType::kBool16;
  if (type == "string") return ValueType::kString;
  throw std::invalid_argument("unknown type " + type);
}

// The Windows client runs the same table through the platform's conversion.
TEST(CoercionTest, AgreesWithTheSharedTable) {
  const char* source_dir = std::getenv("VEXMAR_SOURCE_DIR");
  if (source_dir == nullptr) source_dir = VEXMAR_SOURCE_DIR_DEFAULT;
  std::ifstream file(std::string(source_dir) + "/tests/support/coercion_cases.tsv",
                     std::ios::binary);
  ASSERT_TRUE(file) << "tests/support/coercion_cases.tsv is missing";
  std::stringstream text;
  text << file.rdbuf();
  const auto cases = vexmar::testing::ParseCoercionTable(text.str());
  ASSERT_GE(cases.size(), 40u);
  for (const auto& c : cases) {
    const Variant value = TableValue(c.from, c.value);
    const ValueType type = TableType(c.to);
    if (const int error = vexmar::testing::ExpectedErrorNumber(c.result); error != 0) {
      EXPECT_EQ(ErrorNumberOf([&] { CoerceTo(value, type); }), error) << c.Label();
      continue;
    }
    Variant converted;
    ASSERT_EQ(ErrorNumberOf([&] { converted = CoerceTo(value, type); }), 0) << c.Label();
    EXPECT_TRUE(converted == TableValue(c.to, c.result))
        << c.Label() << " gave \"" << Utf16ToUtf8(CoerceToString(converted)) << "\"";
  }
}

}  // namespace
}  // namespace vexmar::dispatch
