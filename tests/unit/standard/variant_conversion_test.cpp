#include "standard/variant_conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "extended/exception.h"
#include "standard/variant.h"
#include "support/thrown.h"

namespace {

using test_support::expectError;

using osk::CVariant;
using osk::CVariantSubType;
using osk::CVariantType;
using T = CVariantType;
using ST = CVariantSubType;

// Same type, same subtype and same value read from the slot of that type
// (the accessors do not convert when the type matches).
void expectSameValue(const CVariant& expected, const CVariant& actual, const std::string& label)
{
    ASSERT_EQ(expected.type().type(), actual.type().type()) << label;
    EXPECT_EQ(expected.subtype().subtype(), actual.subtype().subtype()) << label;
    switch (expected.type().type()) {
    case T::t_unknown: break;
    case T::t_ipaddress: EXPECT_EQ(expected.ipaddress(), actual.ipaddress()) << label; break;
    case T::t_boolean: EXPECT_EQ(expected.boolean(), actual.boolean()) << label; break;
    case T::t_time: EXPECT_EQ(expected.time().seconds(), actual.time().seconds()) << label; break;
    case T::t_string: EXPECT_EQ(expected.string(), actual.string()) << label; break;
    case T::t_hexstore: EXPECT_EQ(expected.hexstore().string(), actual.hexstore().string()) << label; break;
    case T::t_integer: EXPECT_EQ(expected.integer(), actual.integer()) << label; break;
    case T::t_endpoint: EXPECT_EQ(expected.endpoint(), actual.endpoint()) << label; break;
    case T::t_uinteger: EXPECT_EQ(expected.uinteger(), actual.uinteger()) << label; break;
    }
}

CVariant ip(const char* text) { return CVariant(osk::CIPAddress(text)); }
CVariant endpoint(const char* text) { return CVariant(osk::CEndpoint(std::string(text))); }
CVariant bytes(const char* text) { return CVariant(osk::CHexStore(text)); }
CVariant seconds(int64_t value) { return CVariant(osk::CTimeT(value)); }

const int64_t kYear1971 = 31536000;  // Fri Jan  1 00:00:00 1971
const uint64_t kMaxU = std::numeric_limits<uint64_t>::max();

struct CCell {
    CVariant source;
    T::data_type target;
    ST::data_subtype subtype;
    bool forbidden;
    CVariant expected;
};

CCell ok(CVariant source, T::data_type target, CVariant expected, ST::data_subtype subtype = ST::st_general)
{
    return CCell{std::move(source), target, subtype, false, std::move(expected)};
}
CCell no(CVariant source, T::data_type target)
{
    return CCell{std::move(source), target, ST::st_general, true, CVariant()};
}

// One entry per cell of the 9 x 9 table, rows in type order.
std::vector<CCell> table()
{
    const CVariant unknown;
    const CVariant address = ip("10.0.0.1");
    const CVariant yes(true);
    const CVariant time = seconds(kYear1971);
    const CVariant peer = endpoint("10.0.0.1:69");
    return {
        // unknown
        ok(unknown, T::t_unknown, unknown), no(unknown, T::t_ipaddress), ok(unknown, T::t_boolean, CVariant(false)),
        no(unknown, T::t_time), ok(unknown, T::t_string, CVariant("")), no(unknown, T::t_hexstore),
        no(unknown, T::t_integer), no(unknown, T::t_endpoint), no(unknown, T::t_uinteger),
        // ip address
        no(address, T::t_unknown), ok(address, T::t_ipaddress, ip("::ffff:10.0.0.1"), ST::st_ipv6),
        ok(address, T::t_boolean, CVariant(true)), no(address, T::t_time),
        ok(address, T::t_string, CVariant("10.0.0.1")), ok(address, T::t_hexstore, bytes("0A-00-00-01")),
        ok(address, T::t_integer, CVariant(int64_t{0x0A000001})), ok(address, T::t_endpoint, endpoint("10.0.0.1:0")),
        ok(address, T::t_uinteger, CVariant(uint64_t{0x0A000001})),
        // boolean
        no(yes, T::t_unknown), no(yes, T::t_ipaddress), ok(yes, T::t_boolean, yes), no(yes, T::t_time),
        ok(yes, T::t_string, CVariant("true")), ok(yes, T::t_hexstore, bytes("01")),
        ok(yes, T::t_integer, CVariant(int64_t{1})), no(yes, T::t_endpoint), ok(yes, T::t_uinteger, CVariant(uint64_t{1})),
        // time
        no(time, T::t_unknown), no(time, T::t_ipaddress), ok(time, T::t_boolean, CVariant(true)),
        ok(time, T::t_time, time), ok(time, T::t_string, CVariant("Fri Jan  1 00:00:00 1971")),
        ok(time, T::t_hexstore, bytes("00-00-00-00-01-E1-33-80")), ok(time, T::t_integer, CVariant(kYear1971)),
        no(time, T::t_endpoint), ok(time, T::t_uinteger, CVariant(static_cast<uint64_t>(kYear1971))),
        // string
        no(CVariant("x"), T::t_unknown), ok(CVariant("10.0.0.1"), T::t_ipaddress, address),
        ok(CVariant("0"), T::t_boolean, CVariant(true)),
        ok(CVariant("Fri Jan  1 00:00:00 1971"), T::t_time, time), ok(CVariant("text"), T::t_string, CVariant("text")),
        ok(CVariant("AB"), T::t_hexstore, bytes("41-42")), ok(CVariant("0x1F"), T::t_integer, CVariant(int64_t{31})),
        ok(CVariant("10.0.0.1:69"), T::t_endpoint, peer), ok(CVariant("017"), T::t_uinteger, CVariant(uint64_t{15})),
        // byte sequence
        no(bytes("0A"), T::t_unknown), ok(bytes("0A-00-00-01"), T::t_ipaddress, address),
        ok(bytes("00"), T::t_boolean, CVariant(true)), ok(bytes("00-00-00-00-01-E1-33-80"), T::t_time, time),
        ok(bytes("0A-FF"), T::t_string, CVariant("0A-FF")), ok(bytes("0A-FF"), T::t_hexstore, bytes("0A-FF")),
        ok(bytes("01-2C"), T::t_integer, CVariant(int64_t{300})), no(bytes("0A"), T::t_endpoint),
        ok(bytes("FF-FF-FF-FF-FF-FF-FF-FF"), T::t_uinteger, CVariant(kMaxU)),
        // integer
        no(CVariant(int64_t{1}), T::t_unknown), ok(CVariant(int64_t{0x0A000001}), T::t_ipaddress, address),
        ok(CVariant(int64_t{-1}), T::t_boolean, CVariant(false)), ok(CVariant(int64_t{60}), T::t_time, seconds(60)),
        ok(CVariant(int64_t{-42}), T::t_string, CVariant("-42")), ok(CVariant(int64_t{300}), T::t_hexstore, bytes("01-2C")),
        ok(CVariant(int64_t{-7}), T::t_integer, CVariant(int64_t{-7})), no(CVariant(int64_t{1}), T::t_endpoint),
        ok(CVariant(int64_t{-1}), T::t_uinteger, CVariant(kMaxU)),
        // endpoint
        no(peer, T::t_unknown), ok(peer, T::t_ipaddress, address), no(peer, T::t_boolean), no(peer, T::t_time),
        ok(peer, T::t_string, CVariant("10.0.0.1:69")), no(peer, T::t_hexstore), no(peer, T::t_integer),
        ok(peer, T::t_endpoint, peer), no(peer, T::t_uinteger),
        // uinteger
        no(CVariant(uint64_t{1}), T::t_unknown), ok(CVariant(uint64_t{0x0A000001}), T::t_ipaddress, address),
        ok(CVariant(uint64_t{0}), T::t_boolean, CVariant(false)), ok(CVariant(uint64_t{60}), T::t_time, seconds(60)),
        ok(CVariant(kMaxU), T::t_string, CVariant("18446744073709551615")),
        ok(CVariant(uint64_t{300}), T::t_hexstore, bytes("01-2C")), ok(CVariant(kMaxU), T::t_integer, CVariant(int64_t{-1})),
        no(CVariant(uint64_t{1}), T::t_endpoint), ok(CVariant(uint64_t{9}), T::t_uinteger, CVariant(uint64_t{9})),
    };
}

TEST(VariantConversionTest, EveryCellOfTheTable)
{
    const std::vector<CCell> cells = table();
    std::set<std::pair<int, int>> covered;
    for (const CCell& cell : cells) {
        const T::data_type from = cell.source.type().type();
        covered.insert({from, cell.target});
        const std::string label = std::string(T::name(from)) + " -> " + T::name(cell.target);
        CVariant value = cell.source;
        if (cell.forbidden) {
            expectError([&] { osk::CVariantConversion::convert(value, cell.target); },
                        "Cannot convert from type '" + std::string(T::name(from)) + "' to '" + T::name(cell.target) + "'.",
                        "Invalid conversion.");
            // A refused conversion leaves the value alone.
            expectSameValue(cell.source, value, label + " (unchanged)");
        } else {
            osk::CVariantConversion::convert(value, cell.target, cell.subtype);
            expectSameValue(cell.expected, value, label);
        }
    }
    EXPECT_EQ(81u, cells.size());
    EXPECT_EQ(81u, covered.size());
}

TEST(VariantConversionTest, TextToBooleanAndIntegerToBoolean)
{
    EXPECT_TRUE(CVariant("0").boolean());
    EXPECT_TRUE(CVariant("no").boolean());
    EXPECT_FALSE(CVariant("FALSE").boolean());
    EXPECT_FALSE(CVariant("fAlSe").boolean());
    EXPECT_TRUE(CVariant("false ").boolean());
    EXPECT_FALSE(CVariant("").boolean());
    EXPECT_FALSE(CVariant(int64_t{-1}).boolean());
    EXPECT_FALSE(CVariant(int64_t{0}).boolean());
    EXPECT_TRUE(CVariant(int64_t{1}).boolean());
    EXPECT_FALSE(CVariant().boolean());
}

TEST(VariantConversionTest, TextToNumbersReadsLikeScanf)
{
    EXPECT_EQ(-8, CVariant("-010").integer());
    EXPECT_EQ(255, CVariant("  0xff").integer());
    EXPECT_EQ(12, CVariant("12abc").integer());
    EXPECT_EQ(kMaxU, CVariant("-1").uinteger());
    // The scanf rule takes a sign even for unsigned targets, unlike the
    // checked readers of CNumberConversion.
    EXPECT_EQ(5u, CVariant("+5").uinteger());
    // Out of range values clamp as the scanf family does.
    EXPECT_EQ(std::numeric_limits<int64_t>::max(), CVariant("99999999999999999999").integer());
    expectError([] { (void)CVariant("abc").integer(); }, "Cannot convert variant value 'abc' to type 'integer'.",
                "Value is not an integer.");
    expectError([] { (void)CVariant("").uinteger(); }, "Cannot convert variant value '' to type 'uinteger'.",
                "Value is not an integer.");
}

TEST(VariantConversionTest, IntegersToShortestBigEndianBytes)
{
    EXPECT_EQ("01-2C", CVariant(int64_t{300}).hexstore().string());
    EXPECT_EQ("00", CVariant(int64_t{0}).hexstore().string());
    EXPECT_EQ("FF", CVariant(int64_t{255}).hexstore().string());
    EXPECT_EQ("01-00-00-00-00-00", CVariant(int64_t{1} << 40).hexstore().string());
    // A value that needs 7 bytes takes 8.
    EXPECT_EQ("00-01-00-00-00-00-00-00", CVariant(int64_t{1} << 48).hexstore().string());
    EXPECT_EQ("00-FF-FF-FF-FF-FF-FF-FF", CVariant(uint64_t{(uint64_t{1} << 56) - 1}).hexstore().string());
    // Negative values keep their eight two's complement bytes and read back.
    const CVariant minusTwo(int64_t{-2});
    EXPECT_EQ("FF-FF-FF-FF-FF-FF-FF-FE", minusTwo.hexstore().string());
    EXPECT_EQ(-2, CVariant(minusTwo.hexstore()).integer());
}

TEST(VariantConversionTest, ByteSequenceLimits)
{
    EXPECT_EQ(0, bytes("").integer());
    EXPECT_EQ(0x0102030405060708, bytes("01-02-03-04-05-06-07-08").integer());
    expectError([] { (void)bytes("01-02-03-04-05-06-07-08-09").integer(); },
                "Cannot convert byte sequence '01-02-03-04-05-06-07-08-09' to an integer.", "Integer overflow.");
    expectError([] { (void)bytes("01-02-03-04-05-06-07-08-09").uinteger(); },
                "Cannot convert byte sequence '01-02-03-04-05-06-07-08-09' to an unsigned integer.",
                "Integer overflow.");
    expectError([] { (void)bytes("01-02-03-04-05-06-07").time(); },
                "Cannot convert byte sequence '01-02-03-04-05-06-07' to a time value.", "Invalid size.");
    expectError([] { (void)bytes("01-02-03").ipaddress(); }, "Cannot create an ip address.",
                "Raw address length 3 is neither 4 nor 16 bytes.");
    EXPECT_FALSE(bytes("").boolean());
}

TEST(VariantConversionTest, HintReplacesTheByteSeparator)
{
    const CVariant value = bytes("0A-FF-10");
    EXPECT_EQ("0A-FF-10", value.string());
    EXPECT_EQ("0A:FF:10", value.string(":"));
    EXPECT_EQ("0AFF10", value.string(""));
    // The hint only concerns byte sequences.
    EXPECT_EQ("12", CVariant(int64_t{12}).string(":"));
}

TEST(VariantConversionTest, AddressesAndNumbers)
{
    EXPECT_EQ(osk::CIPAddress("::1"), CVariant(int64_t{1}).convertTo(T::t_ipaddress, ST::st_ipv6).ipaddress());
    EXPECT_EQ(ST::st_ipv6, CVariant(int64_t{1}).convertTo(T::t_ipaddress, ST::st_ipv6).subtype().subtype());
    // Negative numbers are sign-extended: -1 is the all-ones address.
    EXPECT_EQ(osk::CIPAddress("255.255.255.255"), CVariant(int64_t{-1}).ipaddress());
    EXPECT_EQ(osk::CIPAddress("ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"),
              CVariant(int64_t{-1}).ipaddress(ST::st_ipv6));
    // An IPv6 address as a number: its low 64 bits.
    EXPECT_EQ(0x0000000100000002u, ip("2001:db8::1:0:2").uinteger());
    // Re-mapping: back from a mapped address, refused from any other.
    EXPECT_EQ(osk::CIPAddress("10.0.0.1"), ip("::ffff:10.0.0.1").ipaddress(ST::st_ipv4));
    EXPECT_EQ(osk::CIPAddress("::ffff:10.0.0.1"), ip("::ffff:10.0.0.1").ipaddress(ST::st_ipv4, false));
    EXPECT_THROW((void)ip("2001:db8::1").ipaddress(ST::st_ipv4), osk::CException);
    EXPECT_EQ(osk::CIPAddress("::1"), CVariant(" [::1] ").ipaddress());
    EXPECT_THROW((void)CVariant("10.0.0.256").ipaddress(), osk::CException);
    EXPECT_THROW((void)CVariant("10.0.0.1:99999").endpoint(), osk::CException);
    // The raw bytes of an address.
    const CVariant address = ip("10.0.0.1");
    ASSERT_EQ(4u, address.raw_len());
    EXPECT_EQ(0x0A, address.raw_data()[0]);
    EXPECT_EQ(0x01, address.raw_data()[3]);
}

TEST(VariantConversionTest, FailedConversionLeavesTheVariantUnchanged)
{
    CVariant text("not a date");
    EXPECT_THROW(text.convertTo(T::t_time), osk::CException);
    EXPECT_EQ(T::t_string, text.type().type());
    EXPECT_EQ("not a date", text.string());
    CVariant nine = bytes("01-02-03-04-05-06-07-08-09");
    EXPECT_THROW(nine.convertTo(T::t_integer), osk::CException);
    EXPECT_EQ(T::t_hexstore, nine.type().type());
    EXPECT_EQ(9u, nine.raw_len());
}

TEST(VariantConversionTest, TypedTextConstructor)
{
    EXPECT_EQ(255, CVariant(T::t_integer, "0xff").integer());
    EXPECT_EQ(osk::CIPAddress("::ffff:10.0.0.1"), CVariant(T::t_ipaddress, "10.0.0.1", ST::st_ipv6).ipaddress());
    EXPECT_EQ(ST::st_function_name, CVariant(T::t_string, "$f", ST::st_function_name).subtype().subtype());
    expectError([] { CVariant(T::t_unknown, "x"); }, "Cannot convert from type 'string' to 'unknown'.",
                "Invalid conversion.");
}

TEST(VariantConversionTest, TypeAndSubtypeNames)
{
    const char* const names[] = {"unknown", "ip address", "boolean", "time", "string", "byte sequence",
                                 "integer", "ip endpoint", "uinteger"};
    for (unsigned i = 0; i < T::count; ++i)
        EXPECT_EQ(names[i], CVariantType(static_cast<T::data_type>(i)).string());
    EXPECT_EQ("function name", CVariantSubType(ST::st_function_name).string());
    EXPECT_EQ("ipv6", CVariantSubType(ST::st_ipv6).string());
    EXPECT_EQ(ST::st_ipv4, CVariantSubType::type(osk::CIPAddress::ipv4));
    EXPECT_EQ(osk::CIPAddress::ipv6, CVariantSubType::addressType(ST::st_ipv6));
    expectError([] { CVariantSubType::type(osk::CIPAddress::unknown); },
                "Cannot determine variant subtype from ip address type.", "Unknown ip address type.");
    expectError([] { CVariantSubType::addressType(ST::st_general); },
                "Cannot determine ip address type from variant subtype.",
                "Variant subtype does not map to an ip address type.");
}

TEST(TimeTextTest, AsctimeFormInUtc)
{
    EXPECT_EQ("Thu Jan  1 00:00:00 1970", osk::CTimeT(0).string());
    EXPECT_EQ("Tue Nov 14 22:13:20 2023", osk::CTimeT(1700000000).string());
    EXPECT_EQ("Wed Dec 31 23:59:59 1969", osk::CTimeT(-1).string());
    EXPECT_EQ(1700000000, osk::CTimeT("Tue Nov 14 22:13:20 2023").seconds());
    EXPECT_EQ(951782400, osk::CTimeT("Tue Feb 29 00:00:00 2000").seconds());
    EXPECT_EQ(0, osk::CTimeT("Thu Jan  1 00:00:00 1970\n").seconds());
    EXPECT_EQ(0, osk::CTimeT("Thu Jan 01 00:00:00 1970").seconds());
    for (int64_t value : {int64_t{-86400 * 365}, int64_t{4102444799}, int64_t{253402300799}})
        EXPECT_EQ(value, osk::CTimeT(osk::CTimeT(value).string()).seconds());
}

TEST(TimeTextTest, RejectsWhatIsNotADate)
{
    osk::CTimeT time(5);
    for (const char* text : {"", "Thu Jan  1 00:00:00", "Fri Jan  1 00:00:00 1970", "Thu Jan 32 00:00:00 1970",
                             "Tue Feb 29 00:00:00 2001", "Thu Jan  1 24:00:00 1970", "Thu Jan  1 0:00:00 1970",
                             "Thu Foo  1 00:00:00 1970", "Thu Jan  1 00:00:00 1970 x", "thu jan  1 00:00:00 1970"}) {
        EXPECT_FALSE(osk::CTimeT::parse(text, time)) << text;
    }
    EXPECT_EQ(5, time.seconds());
    expectError([&] { time.string("Fri Jan  1 00:00:00 1970"); },
                "Cannot convert text 'Fri Jan  1 00:00:00 1970' to a time value.",
                "Text is not a date of the form 'Thu Jan  1 00:00:00 1970'.");
    expectError([] { (void)osk::CTimeT(std::numeric_limits<int64_t>::max()).string(); },
                "Cannot write time value 9223372036854775807 as text.", "Year is out of range.");
}

} // namespace
