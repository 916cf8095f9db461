// Connection descriptor, connection definition and ODBC connection-string quoting.
#include "TestSupport.h"
#include "db/OdbcConnectionUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"

#include <gtest/gtest.h>

namespace {

struct ProviderCase {
    const char16_t* descr;
    bool supported;
    TDbType type;
    const char16_t* provider;
};

TEST(SqlDbModel, ProviderTable)
{
    const ProviderCase cases[] = {
        {u"Adaptive Server Anywhere 9.0", true, dbSybase, u"ASAProv.90"},
        {u"SQL Anywhere 10", true, dbSybase, u"SAOLEDB.10"},
        {u"SQL Anywhere 11", true, dbSybase, u"SAOLEDB.11"},
        {u"SQLite3", true, dbSqlite, u"MSDASQL"},
        {u"PostgreSQL Unicode", true, dbPostgres, u"MSDASQL"},
        // Exact and case-sensitive: no trimming, no folding.
        {u"sql anywhere 11", false, dbNone, u"ASAProv.90"},
        {u"SQL Anywhere 11 ", false, dbNone, u"ASAProv.90"},
        {u"PostgreSQL ANSI", false, dbNone, u"ASAProv.90"},
        {u"", false, dbNone, u"ASAProv.90"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.descr).toStdString());
        TSqlDBModel m;
        ASSERT_TRUE(m.SetProviderDescr(QStringLiteral("Adaptive Server Anywhere 9.0")));
        EXPECT_EQ(m.SetProviderDescr(QString::fromUtf16(c.descr)), c.supported);
        EXPECT_EQ(m.DbType(), c.type);
        EXPECT_EQ(m.ProviderDescr(), QString::fromUtf16(c.descr));
        // An unknown description leaves the previous provider name in place.
        EXPECT_EQ(m.OleProvider(), QString::fromUtf16(c.provider));
    }
}

TEST(SqlDbModel, CreateAndCopy)
{
    TSqlDBModel empty;
    EXPECT_EQ(empty.DbType(), dbNone);
    EXPECT_TRUE(empty.ProviderDescr().isEmpty() && empty.OleProvider().isEmpty() && empty.DSN.isEmpty() &&
                empty.UserName.isEmpty() && empty.Password.isEmpty());

    TSqlDBModel target(QStringLiteral("Old"), QStringLiteral("SQL Anywhere 10"));
    target.UserName = QStringLiteral("dba");
    target.Password = QStringLiteral("sql");

    // A chooser entry has no credentials: copying it clears them.
    const TSqlDBModel entry(QStringLiteral("Shop"), QStringLiteral("SQL Anywhere 11"));
    target.CopyFrom(entry);
    EXPECT_EQ(target.DSN, QStringLiteral("Shop"));
    EXPECT_TRUE(target.UserName.isEmpty());
    EXPECT_TRUE(target.Password.isEmpty());
    EXPECT_EQ(target.DbType(), dbSybase);
    EXPECT_EQ(target.OleProvider(), QStringLiteral("SAOLEDB.11"));

    // Type and provider are recomputed from the description, not copied.
    const TSqlDBModel unknown(QStringLiteral("X"), QStringLiteral("Some Driver"));
    target.CopyFrom(unknown);
    EXPECT_EQ(target.DbType(), dbNone);
    EXPECT_EQ(target.OleProvider(), QStringLiteral("SAOLEDB.11"));
    EXPECT_EQ(target.ProviderDescr(), QStringLiteral("Some Driver"));
}

struct DefinitionCase {
    const char* name;
    const char16_t* descr;
    const char16_t* user;
    const char16_t* password;
    const char16_t* definition;
};

TEST(SqlDataManager, ConnectionDefinition)
{
    const DefinitionCase cases[] = {
        {"user and empty password", u"SQL Anywhere 11", u"dba", u"",
         u"DriverID=ODBC;Provider=SAOLEDB.11;Datasource=Shop;UID=dba;Password="},
        {"user and password", u"Adaptive Server Anywhere 9.0", u"dba", u"sql",
         u"DriverID=ODBC;Provider=ASAProv.90;Datasource=Shop;UID=dba;Password=sql"},
        {"password without user", u"SQL Anywhere 10", u"", u"sql",
         u"DriverID=ODBC;Provider=SAOLEDB.10;Datasource=Shop"},
        // The definition keeps values as they are ...
        {"odd characters", u"SQL Anywhere 11", u"a;b", u"p}{=;x",
         u"DriverID=ODBC;Provider=SAOLEDB.11;Datasource=Shop;UID=a;b;Password=p}{=;x"},
        {"sqlite", u"SQLite3", u"", u"", u"DriverID=ODBC;Provider=MSDASQL;Datasource=Shop"},
        {"postgres", u"PostgreSQL Unicode", u"dba", u"sql",
         u"DriverID=ODBC;Provider=MSDASQL;Datasource=Shop;UID=dba;Password=sql"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSqlDBModel m(QStringLiteral("Shop"), QString::fromUtf16(c.descr));
        m.UserName = QString::fromUtf16(c.user);
        m.Password = QString::fromUtf16(c.password);
        auto mgr = TSqlDataModule::CreateManager(&m);
        ASSERT_TRUE(mgr);
        EXPECT_EQ(mgr->ConnectionDefinition(), QString::fromUtf16(c.definition));
    }
}

TEST(SqlDataManager, ConnectStringCannotBeInjected)
{
    // ... but what reaches the driver quotes every value, so no value adds a keyword.
    TSqlDBModel m(QStringLiteral("Shop"), QStringLiteral("SQL Anywhere 11"));
    m.UserName = QStringLiteral("a;DSN=Other");
    m.Password = QStringLiteral("p}{=;x");
    auto mgr = TSqlDataModule::CreateManager(&m);
    EXPECT_EQ(OdbcConnectionString(mgr->ConnectParams()),
              QStringLiteral("DSN=Shop;UID={a;DSN=Other};PWD={p}}{=;x}"));

    const std::pair<const char16_t*, const char16_t*> quoting[] = {
        {u"plain", u"plain"},
        {u"", u""},
        {u"a;b", u"{a;b}"},
        {u"a=b", u"{a=b}"},
        {u"{x}", u"{{x}}}"},
        {u"}", u"{}}}"},
        {u" lead", u"{ lead}"},
        {u"пароля", u"пароля"},
    };
    for (const auto& [in, out] : quoting)
        EXPECT_EQ(OdbcQuoteValue(QString::fromUtf16(in)), QString::fromUtf16(out));
}

TEST(SqlDataManager, FactoryAndUnusableDescriptors)
{
    EXPECT_EQ(TSqlDataModule::CreateManager(nullptr), nullptr);

    TSqlDBModel none(QStringLiteral("Shop"), QStringLiteral("Unknown driver"));
    try {
        TSqlDataModule::CreateManager(&none);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Not Implemented DbType in SqlDataManager.CreateManager!"));
    }

    // No data source name: no definition, and opening fails with the driver manager's error.
    TSqlDBModel noDsn(QString(), QStringLiteral("SQL Anywhere 11"));
    auto mgr = TSqlDataModule::CreateManager(&noDsn);
    EXPECT_TRUE(mgr->ConnectionDefinition().isEmpty());
    EXPECT_THROW(mgr->OpenConnection(), EDatabaseError);

    // A manager whose connection was never opened is freed without trouble.
    TSqlDBModel fine(QStringLiteral("Shop"), QStringLiteral("SQL Anywhere 11"));
    EXPECT_NO_THROW(TSqlDataModule::CreateManager(&fine).reset());
}

} // namespace
