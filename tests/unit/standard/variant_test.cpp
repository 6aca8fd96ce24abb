#include "standard/variant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "standard/multi_variant.h"
#include "support/thrown.h"

namespace {

using test_support::expectError;

using osk::CVariant;
using T = osk::CVariantType;
using ST = osk::CVariantSubType;

CVariant ip(const char* text) { return CVariant(osk::CIPAddress(text)); }
CVariant bytes(const char* text) { return CVariant(osk::CHexStore(text)); }
CVariant seconds(int64_t value) { return CVariant(osk::CTimeT(value)); }
CVariant endpoint(const char* text) { return CVariant(osk::CEndpoint(std::string(text))); }

const int64_t kMin = std::numeric_limits<int64_t>::min();
const int64_t kMax = std::numeric_limits<int64_t>::max();

TEST(VariantGuessTest, MixedTexts)
{
    struct CCase {
        const char* text;
        T::data_type type;
        ST::data_subtype subtype;
        const char* string;
    };
    const CCase cases[] = {
        {"\"10.0.0.1\"", T::t_string, ST::st_general, "10.0.0.1"},
        {"\"\"", T::t_string, ST::st_general, ""},
        {"TRUE", T::t_boolean, ST::st_general, "true"},
        {"fAlse", T::t_boolean, ST::st_general, "false"},
        {"10.0.0.1", T::t_ipaddress, ST::st_ipv4, "10.0.0.1"},
        {" [2001:db8::1]\t", T::t_ipaddress, ST::st_ipv6, "2001:db8::1"},
        {"::1", T::t_ipaddress, ST::st_ipv6, "::1"},
        {"10.0.0.1:69", T::t_endpoint, ST::st_general, "10.0.0.1:69"},
        {"10.0.0.1:0", T::t_endpoint, ST::st_general, "10.0.0.1:0"},
        {"10.0.0.1:000", T::t_endpoint, ST::st_general, "10.0.0.1:0"},
        {"10.0.0.1:65535", T::t_endpoint, ST::st_general, "10.0.0.1:65535"},
        {"[::1]:69", T::t_endpoint, ST::st_general, "[::1]:69"},
        {"10.0.0.1:x", T::t_string, ST::st_general, "10.0.0.1:x"},
        {"10.0.0.1:70000", T::t_string, ST::st_general, "10.0.0.1:70000"},
        {"10.0.0.1:", T::t_string, ST::st_general, "10.0.0.1:"},
        {"host:69", T::t_string, ST::st_general, "host:69"},
        {"5", T::t_uinteger, ST::st_general, "5"},
        {"+5", T::t_integer, ST::st_general, "5"},
        {"-5", T::t_integer, ST::st_general, "-5"},
        {"18446744073709551615", T::t_uinteger, ST::st_general, "18446744073709551615"},
        // Too large for 64 bits: not a number, so a string.
        {"18446744073709551616", T::t_string, ST::st_general, "18446744073709551616"},
        {"0x10", T::t_string, ST::st_general, "0x10"},
        {"Thu Jan  1 00:01:00 1970", T::t_time, ST::st_general, "Thu Jan  1 00:01:00 1970"},
        {"0a-ff", T::t_hexstore, ST::st_general, "0A-FF"},
        {"00-11-22-33", T::t_hexstore, ST::st_general, "00-11-22-33"},
        {"0a-fg", T::t_string, ST::st_general, "0a-fg"},
        {"0a-ff-", T::t_string, ST::st_general, "0a-ff-"},
        {"-1-2", T::t_string, ST::st_general, "-1-2"},
        {"$upper", T::t_string, ST::st_function_name, "$upper"},
        {"$", T::t_string, ST::st_general, "$"},
        {"hello world", T::t_string, ST::st_general, "hello world"},
    };
    for (const CCase& c : cases) {
        const CVariant value = CVariant::guess(c.text);
        EXPECT_EQ(c.type, value.type().type()) << c.text;
        EXPECT_EQ(c.subtype, value.subtype().subtype()) << c.text;
        EXPECT_EQ(c.string, value.string()) << c.text;
    }
    EXPECT_EQ(60, CVariant::guess("Thu Jan  1 00:01:00 1970").time().seconds());
    expectError([] { CVariant::guess(""); }, "Cannot interpret variant.",
                "Type cannot be deduced from an empty value.");
}

TEST(VariantOperatorTest, MixedTypesTakeTheLeftType)
{
    const CVariant eight = CVariant::guess("5") + CVariant(int64_t{3});
    EXPECT_EQ(T::t_uinteger, eight.type().type());
    EXPECT_EQ(8u, eight.uinteger());
    const CVariant text = CVariant("a") + CVariant(int64_t{3});
    EXPECT_EQ(T::t_string, text.type().type());
    EXPECT_EQ("a3", text.string());
    EXPECT_EQ(-2, (CVariant(int64_t{3}) - CVariant("5")).integer());
    EXPECT_EQ(T::t_integer, (CVariant(int64_t{3}) - CVariant(uint64_t{5})).type().type());
    // The right operand is converted: "abc" is no integer.
    expectError([] { CVariant(int64_t{3}) + CVariant("abc"); },
                "Cannot convert variant value 'abc' to type 'integer'.", "Value is not an integer.");
    expectError([] { CVariant(int64_t{3}) + endpoint("10.0.0.1:69"); },
                "Cannot convert from type 'ip endpoint' to 'integer'.", "Invalid conversion.");
    // Byte sequences append, times add seconds.
    EXPECT_EQ("0A-01", (bytes("0A") + CVariant(true)).string());
    EXPECT_EQ("0A-0B-0C", (bytes("0A") + bytes("0B-0C")).string());
    // A text's bytes are appended, not its hexadecimal reading.
    EXPECT_EQ("0A-41", (bytes("0A") + CVariant("A")).string());
    EXPECT_EQ(90, (seconds(30) + CVariant(uint64_t{60})).time().seconds());
    EXPECT_EQ(-30, (seconds(30) - CVariant(int64_t{60})).time().seconds());
    EXPECT_EQ(600, (seconds(60) * CVariant(int64_t{10})).time().seconds());
    EXPECT_EQ(6, (seconds(60) / CVariant(int64_t{10})).time().seconds());
}

TEST(VariantOperatorTest, AddressArithmeticAndBits)
{
    EXPECT_EQ(osk::CIPAddress("10.0.0.6"), (ip("10.0.0.1") + CVariant(int64_t{5})).ipaddress());
    EXPECT_EQ(osk::CIPAddress("10.0.0.255"), (ip("10.0.1.0") - CVariant(uint64_t{1})).ipaddress());
    EXPECT_EQ(osk::CIPAddress("::2"), (ip("::1") + CVariant(int64_t{1})).ipaddress());
    EXPECT_EQ(osk::CIPAddress("192.168.1.0"), (ip("192.168.1.77") & CVariant("255.255.255.0")).ipaddress());
    EXPECT_EQ(osk::CIPAddress("192.168.1.255"), (ip("192.168.1.77") | CVariant("0.0.0.255")).ipaddress());
    EXPECT_EQ(osk::CIPAddress("0.0.0.255"), (~ip("255.255.255.0")).ipaddress());
    EXPECT_EQ(osk::CIPAddress("0.0.0.0"), (ip("255.255.255.255") ^ CVariant(int64_t{-1})).ipaddress());
    // A mapped IPv4 right operand is re-mapped to the left's family.
    EXPECT_TRUE((ip("10.0.0.1") == ip("::ffff:10.0.0.1")).boolean());
    EXPECT_TRUE((ip("10.0.0.1") < CVariant("10.0.0.2")).boolean());
    EXPECT_THROW(ip("10.0.0.1") + ip("2001:db8::1"), osk::CException);
}

TEST(VariantOperatorTest, ComparisonsAreDerivedFromLessAndEqual)
{
    const CVariant one(int64_t{1}), two(int64_t{2});
    EXPECT_TRUE((one < two).boolean());
    EXPECT_FALSE((two < one).boolean());
    EXPECT_TRUE((two > one).boolean());
    EXPECT_FALSE((one > one).boolean());
    EXPECT_TRUE((one <= one).boolean());
    EXPECT_TRUE((one >= one).boolean());
    EXPECT_FALSE((one >= two).boolean());
    EXPECT_EQ(T::t_boolean, (one < two).type().type());
    EXPECT_TRUE((CVariant(int64_t{-1}) < CVariant(int64_t{0})).boolean());
    // Unsigned comparison: the right -1 becomes the largest value.
    EXPECT_TRUE((CVariant(uint64_t{0}) < CVariant(int64_t{-1})).boolean());
    EXPECT_TRUE((CVariant("abc") < CVariant("abd")).boolean());
    EXPECT_TRUE((CVariant("10") < CVariant(int64_t{9})).boolean());  // text order
    EXPECT_TRUE((seconds(1) < seconds(2)).boolean());
    EXPECT_TRUE((CVariant(true) == CVariant("no")).boolean());
    EXPECT_TRUE((CVariant(false) == CVariant("FALSE")).boolean());
    EXPECT_TRUE((CVariant(int64_t{1}) == CVariant("1")).boolean());
    EXPECT_TRUE((CVariant(int64_t{1}) != CVariant("2")).boolean());
    EXPECT_TRUE((bytes("01-2C") == CVariant(int64_t{300})).boolean());
    EXPECT_TRUE((endpoint("10.0.0.1:69") == CVariant("10.0.0.1:69")).boolean());
    EXPECT_FALSE((endpoint("10.0.0.1:69") == CVariant("10.0.0.1:70")).boolean());
}

TEST(VariantOperatorTest, LogicalOperatorsConvertToBoolean)
{
    EXPECT_TRUE((CVariant("x") && CVariant(int64_t{1})).boolean());
    EXPECT_FALSE((CVariant("x") && CVariant(int64_t{-1})).boolean());
    EXPECT_TRUE((CVariant("") || ip("10.0.0.1")).boolean());
    EXPECT_FALSE((CVariant() || CVariant("false")).boolean());
    EXPECT_TRUE((!CVariant("FALSE")).boolean());
    EXPECT_FALSE((!bytes("00")).boolean());
    EXPECT_EQ(T::t_boolean, (!CVariant(int64_t{0})).type().type());
    expectError([] { CVariant(true) && endpoint("10.0.0.1:1"); },
                "Cannot convert from type 'ip endpoint' to 'boolean'.", "Invalid conversion.");
}

TEST(VariantOperatorTest, IllegalOperationTexts)
{
    using Op = std::function<CVariant(const CVariant&, const CVariant&)>;
    struct CCase {
        CVariant left;
        Op op;
        const char* why;
    };
    const Op plus = [](const CVariant& a, const CVariant& b) { return a + b; };
    const Op minus = [](const CVariant& a, const CVariant& b) { return a - b; };
    const Op times = [](const CVariant& a, const CVariant& b) { return a * b; };
    const Op divide = [](const CVariant& a, const CVariant& b) { return a / b; };
    const Op bitAnd = [](const CVariant& a, const CVariant& b) { return a & b; };
    const Op bitOr = [](const CVariant& a, const CVariant& b) { return a | b; };
    const Op bitXor = [](const CVariant& a, const CVariant& b) { return a ^ b; };
    const Op less = [](const CVariant& a, const CVariant& b) { return a < b; };
    const Op greater = [](const CVariant& a, const CVariant& b) { return a > b; };
    const CCase cases[] = {
        {ip("10.0.0.1"), times, "Cannot perform 'multiplication' (*) on ip address values."},
        {ip("10.0.0.1"), divide, "Cannot perform 'division' (/) on ip address values."},
        {CVariant(true), plus, "Cannot perform 'addition' (+) on boolean values."},
        {CVariant(true), minus, "Cannot perform 'subtraction' (-) on boolean values."},
        {CVariant(true), bitAnd, "Cannot perform 'bitwise-and' (&) on boolean values."},
        {CVariant(true), less, "Cannot perform 'less-than' (<) on boolean values."},
        {seconds(1), bitOr, "Cannot perform 'bitwise-or' (|) on time values."},
        {CVariant("a"), minus, "Cannot perform 'subtraction' (-) on string values."},
        {CVariant("a"), times, "Cannot perform 'multiplication' (*) on string values."},
        {CVariant("a"), divide, "Cannot perform 'division' (/) on string values."},
        {CVariant("a"), bitXor, "Cannot perform 'bitwise-xor' (^) on string values."},
        {bytes("01"), minus, "Cannot perform 'subtraction' (-) on byte sequence values."},
        {bytes("01"), less, "Cannot perform 'less-than' (<) on byte sequence values."},
        {bytes("01"), bitAnd, "Cannot perform 'bitwise-and' (&) on byte sequence values."},
        {endpoint("10.0.0.1:1"), plus, "Cannot perform 'addition' (+) on endpoint values."},
        {endpoint("10.0.0.1:1"), divide, "Cannot perform 'division' (/) on endpoint values."},
        {endpoint("10.0.0.1:1"), greater, "Cannot perform 'less-than' (<) on endpoint values."},
    };
    for (const CCase& c : cases) {
        // The right operand has the left's type, so only the operator fails.
        expectError([&] { c.op(c.left, c.left); }, "Illegal operation.", c.why);
    }
    expectError([] { -CVariant("a"); }, "Illegal operation.", "Cannot perform 'unary-negation' (-) on string values.");
    expectError([] { -ip("10.0.0.1"); }, "Illegal operation.",
                "Cannot perform 'unary-negation' (-) on ip address values.");
    expectError([] { ~CVariant(true); }, "Illegal operation.", "Cannot perform 'bitwise-inverse' (~) on boolean values.");
    expectError([] { ~seconds(1); }, "Illegal operation.", "Cannot perform 'bitwise-inverse' (~) on time values.");
}

TEST(VariantOperatorTest, UnknownLeftOperand)
{
    const CVariant unknown;
    expectError([&] { unknown + CVariant(int64_t{1}); }, "Cannot perform 'addition' (+) on variant values.",
                "Left variant operand has unknown type.");
    expectError([&] { unknown / CVariant(int64_t{1}); }, "Cannot perform 'division' (/) on variant values.",
                "Left variant operand has unknown type.");
    expectError([&] { unknown < CVariant(int64_t{1}); }, "Cannot perform 'less-than' (<) on variant values.",
                "Left variant operand has unknown type.");
    expectError([&] { unknown == unknown; }, "Cannot compare variant values.", "Left variant operand has unknown type.");
    expectError([&] { -unknown; }, "Illegal operation.", "Cannot perform 'unary-negation' (-) on variant values.");
    // An unknown right operand cannot be converted to the left's type.
    expectError([&] { CVariant(int64_t{1}) + unknown; }, "Cannot convert from type 'unknown' to 'integer'.",
                "Invalid conversion.");
}

TEST(VariantOperatorTest, IntegerArithmeticWrapsAndDivisionFailsCleanly)
{
    EXPECT_EQ(kMin, (CVariant(kMax) + CVariant(int64_t{1})).integer());
    EXPECT_EQ(kMax, (CVariant(kMin) - CVariant(int64_t{1})).integer());
    EXPECT_EQ(kMin, (CVariant(kMin) * CVariant(int64_t{-1})).integer());
    EXPECT_EQ(std::numeric_limits<uint64_t>::max(), (CVariant(uint64_t{0}) - CVariant(uint64_t{1})).uinteger());
    EXPECT_EQ(0u, (CVariant(std::numeric_limits<uint64_t>::max()) + CVariant(uint64_t{1})).uinteger());
    EXPECT_EQ(-3, (CVariant(int64_t{-7}) / CVariant(int64_t{2})).integer());
    EXPECT_EQ(3u, (CVariant(uint64_t{7}) / CVariant(uint64_t{2})).uinteger());
    EXPECT_EQ(kMin, (CVariant(kMin) / CVariant(int64_t{1})).integer());

    expectError([] { CVariant(int64_t{1}) / CVariant(int64_t{0}); },
                "Cannot perform 'division' (/) on integer values.", "Division by zero.");
    expectError([] { CVariant(int64_t{1}) / CVariant("0"); }, "Cannot perform 'division' (/) on integer values.",
                "Division by zero.");
    expectError([] { CVariant(uint64_t{1}) / CVariant(uint64_t{0}); },
                "Cannot perform 'division' (/) on uinteger values.", "Division by zero.");
    expectError([] { seconds(10) / CVariant(int64_t{0}); }, "Cannot perform 'division' (/) on time values.",
                "Division by zero.");
    expectError([] { CVariant(kMin) / CVariant(int64_t{-1}); }, "Cannot perform 'division' (/) on integer values.",
                "The quotient of the most negative integer and -1 does not fit 64 bits.");
    expectError([] { seconds(kMin) / CVariant(int64_t{-1}); }, "Cannot perform 'division' (/) on time values.",
                "The quotient of the most negative integer and -1 does not fit 64 bits.");
}

TEST(VariantOperatorTest, UnaryOperators)
{
    EXPECT_EQ(-5, (-CVariant(int64_t{5})).integer());
    EXPECT_EQ(kMin, (-CVariant(kMin)).integer());
    const CVariant negated = -CVariant(uint64_t{5});
    EXPECT_EQ(T::t_integer, negated.type().type());
    EXPECT_EQ(-5, negated.integer());
    EXPECT_EQ(-1, (~CVariant(int64_t{0})).integer());
    EXPECT_EQ(0xFFFFFFFFFFFFFFF0u, (~CVariant(uint64_t{15})).uinteger());
    EXPECT_EQ(0xF0, (CVariant(int64_t{0xFF}) ^ CVariant(int64_t{0x0F})).integer());
    EXPECT_EQ(0x0F, (CVariant(uint64_t{0xFF}) & CVariant("0x0F")).uinteger());
}

TEST(MultiVariantTest, StackAndTextForm)
{
    osk::CMultiVariant list;
    EXPECT_TRUE(list.empty());
    EXPECT_EQ("", list.string());
    expectError([&] { list.top(); }, "Cannot access the top of a variant list.", "The list is empty.");
    list.pop();  // harmless on an empty list

    list.push(CVariant(uint64_t{1}));
    list.push_back(CVariant(int64_t{-2}));
    list.push(CVariant("a b"));
    list.push(CVariant(true));
    list.push(bytes("0A-FF"));
    list.push(CVariant());
    EXPECT_EQ("1,-2,a b,true,0A-FF,", list.string());
    EXPECT_EQ(T::t_unknown, list.top().type().type());
    list.pop();
    EXPECT_EQ("0A-FF", list.top().string());
    EXPECT_EQ(5u, list.size());

    std::vector<std::string> reversed;
    for (auto item = list.rbegin(); item != list.rend(); ++item) reversed.push_back(item->string());
    EXPECT_EQ((std::vector<std::string>{"0A-FF", "true", "a b", "-2", "1"}), reversed);

    osk::CMultiVariant other;
    other.push(ip("10.0.0.1"));
    list += other;
    list += list;
    EXPECT_EQ(12u, list.size());
    EXPECT_EQ("1,-2,a b,true,0A-FF,10.0.0.1,1,-2,a b,true,0A-FF,10.0.0.1", list.string());
    list.clear();
    EXPECT_TRUE(list.empty());

    // An item without a text form makes the list's text fail.
    osk::CMultiVariant broken;
    broken.push(CVariant(osk::CVariantType::t_ipaddress));
    EXPECT_THROW(broken.string(), osk::CException);
}

} // namespace
