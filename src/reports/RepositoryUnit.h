#pragma once
// The report query builder: checks that a connected database is an audit database and
// turns a filter record into the count query and the page query of each report, and into
// the statement of the sums of its amount columns. The report catalogue (view, captioned
// columns and ordering of every report) lives here too.

#include "db/SqlDbModelUnit.h"

#include <QDate>
#include <QString>
#include <cstdint>
#include <memory>

struct TDbEngine;
class TSqlDataManager;

// Day counts from 30 December 1899, the time of day as the fraction.
double DateToDays(QDate date);
// The date part of a day count (the fraction is dropped, also for negative counts).
QDate DaysToDate(double days);

struct TReportFilters {
    double FromDate = 0;        // first day of the period; 0 = not set
    double ToDate = 0;          // last day of the period, inclusive; 0 = not set
    int32_t StoreN = 0;         // 0 = every store
    int32_t FiscalDeviceN = 0;  // 0 = every fiscal device
    int32_t UserN = 0;          // 0 = every user
    int32_t PageNumber = 0;     // zero-based page index
    int32_t RecordsPerPage = 0; // 0 or less = no paging
    // The order chosen by a click on a column title: the column's index in the report's
    // columns (-1 = the report's own order), ascending unless SortDescending.
    int32_t SortColumn = -1;
    bool SortDescending = false;
    // A text searched in the report's text columns (empty = none).
    QString FindText{};

    bool operator==(const TReportFilters&) const = default;
};

enum TReportKind : std::uint8_t {
    rkSalesSummary,
    rkSalesDetail,
    rkPayments,
    rkReversedSales,
    rkRevokedSales,
    rkItems,
    rkPartners,
    rkActivityTypes,
    rkPayTypes,
    rkStores,
    rkUsers,
    rkUsersLog,
};
inline constexpr int ReportKindCount = 12;

// What a shown column holds, for the work done on columns of a kind: the text columns are
// searched, the amounts (money) are summed.
enum class TColumnRole : std::uint8_t { Other, Text, Amount };

// One shown column: the view's column, the caption it is selected under and its role.
struct TReportColumn {
    const char16_t* Column;
    const char16_t* Caption;
    TColumnRole Role = TColumnRole::Other;
};

// One report of the catalogue.
struct TReportDef {
    TReportKind Kind;
    const char16_t* Name; // the report's name in its fill operation, e.g. u"SalesSummary"
    const char16_t* View;
    const TReportColumn* Columns; // in select-list order
    int ColumnCount;
    const char16_t* OrderBy; // appended after the FROM part as it is, e.g. u" ORDER BY ItemCode"
};

// The catalogue entry of one report; every kind has one.
const TReportDef& ReportDef(TReportKind kind);

class TRepository {
public:
    // The SQL dialect follows the database type: the paging and date literal forms of its
    // engine (DbEngineUnit); a type without an engine (dbNone) gets those of SQL Anywhere.
    explicit TRepository(TDbType dialect);

    // Checks that the database of `aDbModel` has the view "SalesSummaryAudit" and returns a
    // repository for its dialect. Throws Exception with a ready-to-show message otherwise.
    static std::unique_ptr<TRepository> CreateRepository(const TSqlDBModel& aDbModel);
    // The same check on the connection of `manager` (opened when it is not), with the
    // settings it was given.
    static std::unique_ptr<TRepository> CreateRepository(TSqlDataManager& manager);

    TDbType Dialect() const { return FDialect; }

    // Both outputs are overwritten; nothing touches the database.
    void FillReportQuery(TReportKind kind, QString& reportSql, QString& recCountSql,
                         TReportFilters reportFilters) const;

    void FillSalesSummaryQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillSalesDetailQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillPaymentsQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillReversedSalesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillRevokedSalesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillItemsQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillPartnersQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillActivityTypesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillPayTypesQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillStoresQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillUsersQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;
    void FillUsersLogQuery(QString& reportSql, QString& recCountSql, TReportFilters reportFilters) const;

    // The sums of a report's amount columns over its whole filtered result (the WHERE
    // clause of its count, no paging, no order), as one statement returning one row with
    // three values for each amount column, in the catalogue's order: the exact sum (NULL
    // for no value), the number of values that are no number and the number of numbers that
    // cannot be added exactly to the cent; the last two are left out of the sum. On SQLite,
    // where an amount may be a double or a stored text, the sum is a whole number of
    // hundredths (TotalsInHundredths); elsewhere it is the engine's exact decimal as text.
    // Empty when the report has no amount column. Nothing touches the database.
    QString FillTotalsQuery(TReportKind kind, TReportFilters reportFilters) const;
    bool TotalsInHundredths() const;

    // The same three statements over any row source laid out as `def` says: `source` is what
    // follows FROM (a view, or a parenthesized select with its alias) and `where` the whole
    // WHERE clause of the count (empty for none). The report's own ones are these over its
    // view with its filters' clause.
    void FillQueryFrom(const TReportDef& def, const QString& source, const QString& where, QString& reportSql,
                       QString& recCountSql, const TReportFilters& reportFilters) const;
    QString TotalsQueryFrom(const TReportDef& def, const QString& source, const QString& where) const;
    // The select list of that statement: three values for each amount column of `def`
    // (empty for none).
    QString TotalsSelectList(const TReportDef& def) const;
    // The find's term over the text columns of `def` (empty without a find text).
    QString FindTerm(const TReportDef& def, const QString& text) const;
    // A day as this dialect writes it into SQL.
    QString SqlDate(double date) const { return FormatSqlDate(date); }
    const TDbEngine& Engine() const { return *FEngine; }

private:
    QString FormatSqlDate(double date) const;
    // The filters' terms, the find over the text columns of report `kind` last.
    QString BuildWhereClause(TReportKind kind, TReportFilters reportFilters) const;
    // The TOP/START AT form goes right after "SELECT ", the LIMIT/OFFSET form after the
    // ordering.
    QString BuildPagingClause(TReportFilters reportFilters) const;

    TDbType FDialect;
    const TDbEngine* FEngine; // never null
};
