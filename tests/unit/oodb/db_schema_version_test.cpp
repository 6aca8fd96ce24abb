#include "oodb/db_schema_version.h"

#include <gtest/gtest.h>

#include <vector>

#include "unit/oodb/oodb_expect.h"

namespace {

TEST(DBSchemaVersionTest, ConfiguredVersionOverridesTheDefaultWithAWarning)
{
    std::vector<std::string> warnings;
    const auto warn = [&](const osk::CMessage& message) { warnings.push_back(message.formatted()); };
    EXPECT_EQ(31u, CDBSchemaVersion::required(osk::CStringMap("system.db.schema.version=31"), 30u, warn));
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("Statically configured schema version number is overriding the application default schema version "
              "number.",
              warnings[0]);
    EXPECT_EQ(7u, CDBSchemaVersion::required(osk::CStringMap("system.db.schema.version=7"), std::nullopt));

    warnings.clear();
    EXPECT_EQ(30u, CDBSchemaVersion::required(osk::CStringMap("system.db.name=prov"), 30u, warn));
    EXPECT_EQ(30u, CDBSchemaVersion::required(osk::CStringMap("system.db.schema.version="), 30u, warn));
    EXPECT_TRUE(warnings.empty());
}

TEST(DBSchemaVersionTest, WithoutDefaultOrConfigurationThereIsNoDatabase)
{
    EXPECT_TRUE(raisesOodb([] { CDBSchemaVersion::required(osk::CStringMap(), std::nullopt); },
                           "Cannot provide a default database schema number.",
                           "This product does not have a database."));
    EXPECT_THROW(CDBSchemaVersion::required(osk::CStringMap("system.db.schema.version=-3"), 30u), osk::CException);
    EXPECT_THROW(CDBSchemaVersion::required(osk::CStringMap("system.db.schema.version=thirty"), 30u),
                 osk::CException);
}

} // namespace
