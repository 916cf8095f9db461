// The engine records: which driver a registered data source is opened with, and the
// engines' names on auditor-export's command line.
#include "db/DbEngineUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(DbEngine, DriverOfARegisteredDataSource)
{
    const struct {
        const char16_t* registered;
        const char16_t* opened;
    } cases[] = {
        {u"SQLite3", u"SQLite3"},
        {u"PostgreSQL Unicode", u"PostgreSQL Unicode"},
        // SQL Anywhere data sources, and any driver no engine knows, are opened as SQL Anywhere 11.
        {u"SQL Anywhere 10", u"SQL Anywhere 11"},
        {u"Adaptive Server Anywhere 9.0", u"SQL Anywhere 11"},
        {u"SQL Anywhere 17", u"SQL Anywhere 11"},
        {u"sqlite3", u"SQL Anywhere 11"},
        {u"PostgreSQL ANSI", u"SQL Anywhere 11"},
        {u"", u"SQL Anywhere 11"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.registered).toStdString());
        EXPECT_EQ(DriverDescrOfDataSource(QString::fromUtf16(c.registered)), QString::fromUtf16(c.opened));
    }
}

TEST(DbEngine, CommandLineNames)
{
    const struct {
        const char16_t* name;
        TDbType type; // dbNone: no engine
    } cases[] = {
        {u"sqlanywhere", dbSybase}, {u"sqlite", dbSqlite}, {u"postgres", dbPostgres},
        {u"SQLite", dbNone},        {u"sqlite ", dbNone},  {u"", dbNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.name).toStdString());
        const TDbEngine* engine = FindDbEngineByCommandLineName(QString::fromUtf16(c.name));
        EXPECT_EQ(engine ? engine->DbType : dbNone, c.type);
    }
    EXPECT_EQ(FindDbEngine(dbNone), nullptr);
}

} // namespace
