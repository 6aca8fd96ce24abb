#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_connection_settings.h"
#include "firebird_provider/fb_connector.h"
#include "firebird_provider/fb_result_set.h"
#include "firebird_provider/fb_statement.h"
#include "firebird_provider/fb_transaction.h"
#include "support/temp_dir.h"

namespace fbtest {

// The embedded engine keeps its lock files in FIREBIRD_LOCK; every test
// process points it into one private directory, before the engine starts.
inline const std::string& lockDirectory()
{
    static test_support::TempDir directory;
    static const bool exported = ::setenv("FIREBIRD_LOCK", directory.path().c_str(), 1) == 0;
    (void)exported;
    return directory.path();
}

inline fbprov::CFbConnectionSettings settingsFor(const std::string& file)
{
    lockDirectory();
    fbprov::CFbConnectionSettings settings;
    settings.databaseFile(file);
    return settings;
}

// A fresh embedded database in a temporary directory, opened on first use.
class FbDatabaseTest : public ::testing::Test {
protected:
    std::string file() const { return _dir / "test.fdb"; }
    const test_support::TempDir& dir() const { return _dir; }

    fbprov::CFbAttachment& db()
    {
        if (!_attachment)
            _attachment = fbprov::CFbConnector::open(settingsFor(file()));
        return *_attachment;
    }
    void closeDb() { _attachment.reset(); }

    // Runs statements, each committed on its own (DDL needs the commit).
    void run(const std::string& sql, const fbprov::CFbValues& values = fbprov::CFbValues())
    {
        fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readWrite);
        fbprov::CFbStatement(transaction, sql).execute(transaction, values);
        transaction.commit();
    }

    // The single integer a query returns.
    int64_t scalar(const std::string& sql, const fbprov::CFbValues& values = fbprov::CFbValues())
    {
        fbprov::CFbTransaction transaction(db(), fbprov::CFbTransaction::readOnly);
        fbprov::CFbStatement query(transaction, sql);
        auto rows = query.select(transaction, values);
        EXPECT_TRUE(rows->fetch()) << sql;
        return rows->asInt64(0);
    }

    bool tableExists(const std::string& table)
    {
        return scalar("SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$RELATION_NAME = ?", {table}) == 1;
    }

private:
    test_support::TempDir _dir;
    std::unique_ptr<fbprov::CFbAttachment> _attachment;
};

} // namespace fbtest
