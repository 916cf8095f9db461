// The engine records and their lookups.
#include "DbEngineUnit.h"

#include "PostgresDataManagerUnit.h"
#include "SqliteDataManagerUnit.h"
#include "SybaseDataManagerUnit.h"

#include <stdexcept>

namespace {

template <class TManager>
std::unique_ptr<TSqlDataManager> MakeManager(const TSqlDBModel& dbModel)
{
    return std::make_unique<TManager>(dbModel);
}

// The SQL Anywhere drivers in their historical order. The two engines that make the program
// runnable without SQL Anywhere are reached through the OLE DB provider for ODBC, which is
// what a provider name means for them.
constexpr TDbDriver kSybaseDrivers[] = {
    {u"Adaptive Server Anywhere 9.0", u"ASAProv.90"},
    {u"SQL Anywhere 10", u"SAOLEDB.10"},
    {u"SQL Anywhere 11", u"SAOLEDB.11"},
};
constexpr TDbDriver kSqliteDrivers[] = {{u"SQLite3", u"MSDASQL"}};
constexpr TDbDriver kPostgresDrivers[] = {{u"PostgreSQL Unicode", u"MSDASQL"}};

constexpr TDbEngine kEngines[] = {
    {dbSybase, "sqlanywhere", kSybaseDrivers, u"SQL Anywhere 11", &MakeManager<TSybaseDataManager>,
     TPagingForm::TopStartAt, TDateLiteralForm::Digits,
     {u"select table_name from sys.systable where  table_name=", u"",
      u"select column_name from sys.systable, sys.syscolumn where  "
      u"systable.table_id=syscolumn.table_id  and systable.table_name=",
      u" and syscolumn.column_name=", u""},
     TFindForm::SqlAnywhereLike},
    // Identifiers are case-insensitive in SQLite, as the report queries use them.
    {dbSqlite, "sqlite", kSqliteDrivers, nullptr, &MakeManager<TSqliteDataManager>, TPagingForm::LimitOffset,
     TDateLiteralForm::QuotedIso,
     {u"select name from sqlite_master where type in ('table','view') and name=", u" collate nocase",
      u"select name from pragma_table_info(", u") where name=", u" collate nocase"},
     TFindForm::SqliteGlob},
    // Unquoted names fold to lower case in PostgreSQL; the report queries use them unquoted,
    // so an object exists for them when its folded name is in the search path.
    {dbPostgres, "postgres", kPostgresDrivers, nullptr, &MakeManager<TPostgresDataManager>,
     TPagingForm::LimitOffset, TDateLiteralForm::QuotedIso,
     {u"select table_name from information_schema.tables where table_name=lower(",
      u") and table_schema = any (current_schemas(false))",
      u"select column_name from information_schema.columns where table_name=lower(", u") and column_name=lower(",
      u") and table_schema = any (current_schemas(false))"},
     TFindForm::PostgresRegex},
};

} // namespace

std::span<const TDbEngine> DbEngines()
{
    return kEngines;
}

const TDbEngine* FindDbEngine(TDbType type)
{
    for (const TDbEngine& e : kEngines)
        if (e.DbType == type)
            return &e;
    return nullptr;
}

const TDbEngine& DbEngine(TDbType type)
{
    if (const TDbEngine* e = FindDbEngine(type))
        return *e;
    throw std::invalid_argument("no database engine of this type");
}

const TDbEngine* FindDbEngineByCommandLineName(QStringView name)
{
    for (const TDbEngine& e : kEngines)
        if (name == QLatin1String(e.CommandLineName))
            return &e;
    return nullptr;
}

TDbDriverMatch FindDbDriver(QStringView description)
{
    for (const TDbEngine& e : kEngines)
        for (const TDbDriver& d : e.Drivers)
            if (description == QStringView(d.Description))
                return {&e, &d};
    return {};
}

QString DriverDescrOfDataSource(const QString& registeredDriver)
{
    const TDbEngine* engine = FindDbDriver(registeredDriver).Engine;
    if (engine && !engine->DataSourceDriver)
        return registeredDriver;
    for (const TDbEngine& e : kEngines)
        if (e.DataSourceDriver)
            return QString::fromUtf16(e.DataSourceDriver);
    return registeredDriver;
}
