#include "oodb/db_field_type.h"

#include <gtest/gtest.h>

#include "oodb/db_type_string_map.h"
#include "unit/oodb/oodb_expect.h"

namespace {

using T = CDBFieldType;

struct Named {
    T::type_t type;
    const char* text;
    const char* formal;
};

const Named kNamed[] = {
    {T::DB_TYPE_ACCESS_ID, "[__DB_TYPE_ACCESS_ID__]", "access_id"},
    {T::DB_TYPE_ACCESS_RIGHTS, "[__DB_TYPE_ACCESS_RIGHTS__]", "access_rights"},
    {T::DB_TYPE_EXPR, "[__DB_TYPE_EXPR__]", "expression"},
    {T::DB_TYPE_BOOT_PROTO, "[__DB_TYPE_BOOT_PROTO__]", "boot_proto"},
    {T::DB_TYPE_IP_ADDRESS, "[__DB_TYPE_IP_ADDRESS__]", "ip"},
    {T::DB_TYPE_DOMAIN_GROUP_ID, "[__DB_TYPE_DOMAIN_GROUP_ID__]", "domain_group_id"},
    {T::DB_TYPE_DOMAIN_ID, "[__DB_TYPE_DOMAIN_ID__]", "domain_id"},
    {T::DB_TYPE_HEX_STORE, "[__DB_TYPE_HEX_STORE__]", "hex_store"},
    {T::DB_TYPE_COBJECT, "[__DB_TYPE_COBJECT__]", "object"},
    {T::DB_TYPE_USHORT, "[__DB_TYPE_USHORT__]", "unsigned_short"},
    {T::DB_TYPE_ULONG, "[__DB_TYPE_ULONG__]", "unsigned_long"},
    {T::DB_TYPE_BOOL, "[__DB_TYPE_BOOL__]", "bool"},
    {T::DB_TYPE_TIME_STAMP, "[__DB_TYPE_TIME_STAMP__]", "time_stamp"},
    {T::DB_TYPE_DATE, "[__DB_TYPE_DATE__]", "date"},
    {T::DB_TYPE_TIME, "[__DB_TYPE_TIME__]", "time"},
    {T::DB_TYPE_SHORT, "[__DB_TYPE_SHORT__]", "short"},
    {T::DB_TYPE_INT32, "[__DB_TYPE_INT32__]", "integer"},
    {T::DB_TYPE_LONG, "[__DB_TYPE_LONG__]", "long"},
    {T::DB_TYPE_DOUBLE, "[__DB_TYPE_DOUBLE__]", "double"},
    {T::DB_TYPE_FLOAT, "[__DB_TYPE_FLOAT__]", "float"},
    {T::DB_TYPE_TEXT_BLOB, "[__DB_TYPE_TEXT_BLOB__]", "text_blob"},
    {T::DB_TYPE_STRING, "[__DB_TYPE_STRING__]", "string"},
    {T::DB_TYPE_NUMERIC, "[__DB_TYPE_NUMERIC__]", "numeric"},
};

const Named kUnnamed[] = {
    {T::DB_TYPE_FIXED_OFFSET, "[__DB_TYPE_FIXED_OFFSET__]", nullptr},
    {T::DB_TYPE_INT64, "[__DB_TYPE_INT64__]", nullptr},
    {T::DB_TYPE_UINT64, "[__DB_TYPE_UINT64__]", nullptr},
    {T::DB_TYPE_UINT32, "[__DB_TYPE_UINT32__]", nullptr},
    {T::DB_TYPE_BINARY_BLOB, "[__DB_TYPE_BINARY_BLOB__]", nullptr},
    {T::DB_TYPE_VARYING, "[__DB_TYPE_VARYING__]", nullptr},
    {T::DB_TYPE_BINARY, "[__DB_TYPE_BINARY__]", nullptr},
    {T::DB_TYPE_ANY_NUMERIC, "[__DB_TYPE_ANY_NUMERIC__]", nullptr},
    {T::DB_TYPE_ANY, "[__DB_TYPE_ANY__]", nullptr},
    {T::DB_TYPE_UNKNOWN, "[__DB_TYPE_UNKNOWN__]", nullptr},
};

TEST(DBFieldTypeTest, EveryNamedTypeConvertsBothWays)
{
    for (const Named& named : kNamed) {
        SCOPED_TRACE(named.formal);
        EXPECT_EQ(named.text, T::text(named.type));
        EXPECT_EQ(named.type, T::fromText(named.text));
        EXPECT_EQ(named.formal, T::formalName(named.type));
        EXPECT_EQ(named.type, T::fromFormalName(named.formal));
        EXPECT_TRUE(T::isReserved(named.text));
    }
}

TEST(DBFieldTypeTest, TypesWithoutFormalNameHaveTextButCannotBeSerialized)
{
    for (const Named& unnamed : kUnnamed) {
        SCOPED_TRACE(unnamed.text);
        EXPECT_EQ(unnamed.text, T::text(unnamed.type));
        EXPECT_EQ(unnamed.type, T::fromText(unnamed.text));
        EXPECT_TRUE(raisesOodb([&] { T::formalName(unnamed.type); },
                               "Cannot serialize field type '" + std::to_string(int(unnamed.type)) + "'.",
                               "No such field type."));
    }
    EXPECT_EQ(int(sizeof(kNamed) / sizeof(kNamed[0]) + sizeof(kUnnamed) / sizeof(kUnnamed[0])), T::typeCount);
}

TEST(DBFieldTypeTest, UnknownFormalNamesAndTextsAreRefused)
{
    for (const char* bad : {"", "Long", "LONG", " long", "long ", "[__DB_TYPE_LONG__]", "int64", "binary_blob"}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(raisesOodb([&] { T::fromFormalName(bad); },
                               std::string("Cannot deserialize field type '") + bad + "'.", "No such field type."));
    }
    EXPECT_EQ(T::DB_TYPE_UNKNOWN, T::fromText("long"));
    EXPECT_EQ(T::DB_TYPE_UNKNOWN, T::fromText("[__DB_TYPE_LONG__] "));
    EXPECT_EQ(T::DB_TYPE_UNKNOWN, T::fromText("[__DB_TYPE_NOPE__]"));
    // A value outside the enumeration reads as the unknown type.
    EXPECT_EQ("[__DB_TYPE_UNKNOWN__]", T::text(static_cast<T::type_t>(999)));
    EXPECT_EQ("UNKNOWN SQL TYPE", T::sqlType(static_cast<T::type_t>(-1)));
}

TEST(DBFieldTypeTest, ReservedTextsNeedPrefixAndSuffixWithoutOverlap)
{
    EXPECT_TRUE(T::isReserved("[____]"));
    EXPECT_TRUE(T::isReserved("[__anything at all__]"));
    EXPECT_FALSE(T::isReserved("[__]"));
    EXPECT_FALSE(T::isReserved("[___]"));
    EXPECT_FALSE(T::isReserved("[__x__"));
    EXPECT_FALSE(T::isReserved("__x__]"));
    EXPECT_FALSE(T::isReserved(" [__x__]"));
    EXPECT_FALSE(T::isReserved(""));
    EXPECT_FALSE(T::isReserved("plain value"));
}

TEST(DBFieldTypeTest, SqlColumnTypes)
{
    EXPECT_EQ("BLOB sub_type 0 segment size 10", T::sqlType(T::DB_TYPE_BINARY_BLOB));
    EXPECT_EQ("BLOB sub_type 1 segment size 1", T::sqlType(T::DB_TYPE_TEXT_BLOB));
    EXPECT_EQ("TIMESTAMP", T::sqlType(T::DB_TYPE_TIME_STAMP));
    EXPECT_EQ("DATE", T::sqlType(T::DB_TYPE_DATE));
    EXPECT_EQ("TIME", T::sqlType(T::DB_TYPE_TIME));
    EXPECT_EQ("SMALLINT", T::sqlType(T::DB_TYPE_SHORT));
    EXPECT_EQ("INTEGER", T::sqlType(T::DB_TYPE_LONG));
    EXPECT_EQ("VARCHAR(80)", T::sqlType(T::DB_TYPE_VARYING));
    EXPECT_EQ("VARCHAR(80)", T::sqlType(T::DB_TYPE_STRING));
    EXPECT_EQ("CHAR(256)", T::sqlType(T::DB_TYPE_BINARY));
    EXPECT_EQ("DOUBLE PRECISION", T::sqlType(T::DB_TYPE_DOUBLE));
    EXPECT_EQ("FLOAT", T::sqlType(T::DB_TYPE_FLOAT));
    EXPECT_EQ("NUMERIC", T::sqlType(T::DB_TYPE_NUMERIC));
    for (T::type_t other : {T::DB_TYPE_BOOL, T::DB_TYPE_INT32, T::DB_TYPE_INT64, T::DB_TYPE_ACCESS_ID, T::DB_TYPE_ANY,
                            T::DB_TYPE_UNKNOWN}) {
        EXPECT_EQ("UNKNOWN SQL TYPE", T::sqlType(other));
    }
}

TEST(DBTypeStringMapTest, DefinitionsReadAndWriteTypeTexts)
{
    CDBTypeStringMap defs("NAME=[__DB_TYPE_STRING__]\nPK=[__DB_TYPE_LONG__]\nBAD=long\nHOLE=");
    EXPECT_EQ(T::DB_TYPE_STRING, defs.type("NAME"));
    EXPECT_EQ(T::DB_TYPE_LONG, defs.type("PK"));
    // A value that is not a reserved type text is not a type.
    EXPECT_EQ(T::DB_TYPE_UNKNOWN, defs.type("BAD"));
    EXPECT_EQ(T::DB_TYPE_UNKNOWN, defs.type("HOLE"));
    EXPECT_EQ(T::DB_TYPE_UNKNOWN, defs.type("MISSING"));

    defs.setType("PK", T::DB_TYPE_INT64);
    EXPECT_EQ(T::DB_TYPE_INT64, defs.type("PK"));
    EXPECT_EQ("[__DB_TYPE_INT64__]", defs.get_string("PK", ""));
    defs.string_insert("NAME", "[__DB_TYPE_SHORT__]");
    EXPECT_EQ((std::vector<std::string>{"BAD", "HOLE", "NAME", "PK"}), defs.columnNames());
}

} // namespace
