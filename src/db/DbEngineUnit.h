#pragma once
// The supported database engines, one record each: the driver descriptions that select it
// and their providers, how its data manager is made, the forms its SQL differs in (paging,
// date literals, catalogue lookups, the find's pattern) and its name on auditor-export's
// command line.
// Supporting another engine is one more record here and a data manager of its own.

#include "SqlDbModelUnit.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <span>

class TSqlDataManager;

// An ODBC driver as the driver manager describes it, and the provider that serves it.
struct TDbDriver {
    const char16_t* Description;
    const char16_t* OleProvider;
};

// Where a page of rows is asked for.
enum class TPagingForm : std::uint8_t {
    TopStartAt,  // right after SELECT: "TOP 300 START AT 601"
    LimitOffset, // after the ordering: " LIMIT 300 OFFSET 600"
};

// How a day is written into SQL.
enum class TDateLiteralForm : std::uint8_t {
    Digits,    // 20240131
    QuotedIso, // '2024-01-31'
};

// How a report's find term matches a text with Latin and Cyrillic letters in either case
// (reports/ReportFindUnit).
enum class TFindForm : std::uint8_t {
    SqlAnywhereLike, // LIKE '%[кК]…%'
    SqliteGlob,      // GLOB char(42,91,…)
    PostgresRegex,   // ~ a regular expression decoded from hex
};

// The catalogue lookups behind IsTableExists and IsFieldExist, as the texts around the
// quoted names: TableBefore 'table' TableAfter, and
// FieldBefore 'table' FieldBetween 'field' FieldAfter. Each selects one row for an object
// that exists and none otherwise.
struct TCatalogSql {
    const char16_t* TableBefore;
    const char16_t* TableAfter;
    const char16_t* FieldBefore;
    const char16_t* FieldBetween;
    const char16_t* FieldAfter;
};

struct TDbEngine {
    TDbType DbType;
    const char* CommandLineName; // auditor-export --engine
    std::span<const TDbDriver> Drivers; // in the order they are matched
    // The driver description every data source of this engine is opened with, whatever
    // driver it is registered with; nullptr when it is opened with the registered one.
    const char16_t* DataSourceDriver;
    std::unique_ptr<TSqlDataManager> (*MakeManager)(const TSqlDBModel& dbModel);
    TPagingForm Paging;
    TDateLiteralForm DateLiterals;
    TCatalogSql Catalog;
    TFindForm Find;
};

// Every engine, in the order their drivers are matched.
std::span<const TDbEngine> DbEngines();
// nullptr for dbNone and any other type without an engine.
const TDbEngine* FindDbEngine(TDbType type);
// The engine of a type that has one; throws std::invalid_argument otherwise.
const TDbEngine& DbEngine(TDbType type);
// Exact, case-sensitive; nullptr for an unknown name.
const TDbEngine* FindDbEngineByCommandLineName(QStringView name);

struct TDbDriverMatch {
    const TDbEngine* Engine = nullptr; // nullptr: no engine has this driver
    const TDbDriver* Driver = nullptr;
};
// The engine and driver of a driver description: exact, case-sensitive comparison, as the
// driver manager reports the texts.
TDbDriverMatch FindDbDriver(QStringView description);

// The driver description a data source registered with `registeredDriver` is opened with:
// the registered one when an engine opens its data sources with theirs, else that of the
// engine with a DataSourceDriver (SQL Anywhere, whose data sources go by many driver names).
QString DriverDescrOfDataSource(const QString& registeredDriver);
