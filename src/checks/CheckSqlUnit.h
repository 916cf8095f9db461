#pragma once
// TCheckSql: what a check's statement builder is given (the dialect, the filters, the
// parameters, the day of the check) and the pieces of SQL the checks share, each written
// in the form of the dialect: the filter terms of a view, day literals, texts as SQL that no
// setting of the database changes.

#include "CheckParamsUnit.h"
#include "reports/RepositoryUnit.h"

#include <QDate>
#include <QString>
#include <QStringView>

struct TDbEngine;

// The names of a view's columns that the filters apply to; an empty name: the view has no
// such column and the filter does not apply to it.
struct TFilterColumns {
    const char16_t* Date = u"EndDocDate";
    const char16_t* Store = u"StoreN";
    const char16_t* Device = u"FiscalDeviceN";
    const char16_t* User = u"UserN";
};

class TCheckSql {
public:
    TCheckSql(const TRepository& repository, const TReportFilters& filters, const TCheckParams& params, QDate today);

    TDbType Dialect() const { return FRepository.Dialect(); }
    const TDbEngine& Engine() const { return FRepository.Engine(); }
    const TReportFilters& Filters() const { return FFilters; }
    const TCheckParams& Params() const { return FParams; }
    // The day the check is made on (dates after it are in the future).
    QDate Today() const { return FToday; }

    // The filters' terms on the columns `columns` of a view or table alias `alias` (empty:
    // unqualified), joined with " AND "; empty when no filter is set.
    QString FilterTerms(const TFilterColumns& columns = {}, QStringView alias = {}) const;
    // FilterTerms as "WHERE …" (empty for none) and as " AND …" (empty for none).
    QString WhereFilters(const TFilterColumns& columns = {}, QStringView alias = {}) const;
    QString AndFilters(const TFilterColumns& columns = {}, QStringView alias = {}) const;

    // A day as the dialect writes it.
    QString DateLiteral(QDate date) const;
    // A text as an SQL expression of that text that holds no quote of it (character codes,
    // hex decoded on the server, CHAR() for quotes): safe for any text from the user or the
    // database.
    QString TextLiteral(const QString& text) const;

    // ---- numbering and times
    // Whether the statement may use window functions: not on SQL Anywhere (its versions 9 to
    // 11 have none to rely on), nor when the windowless form is asked for on another engine
    // (tests compare the two forms there).
    bool WindowFunctions() const { return !FWindowless && Dialect() != dbSybase; }
    void SetWindowless(bool windowless) { FWindowless = windowless; }
    // A day and a time of day as whole seconds since 1970-01-01; NULL when either is NULL or
    // (SQLite) is no date or time.
    QString MomentSeconds(const QString& date, const QString& time) const;
    // A time of day as seconds since midnight; NULL as above.
    QString TimeSeconds(const QString& time) const;
    // The whole days from the day `from` to the day `to` (negative when `to` is earlier).
    QString DaysBetween(const QString& from, const QString& to) const;
    // A whole number of 0 or more divided by `by`, rounded down, as a whole number.
    QString WholeDivision(const QString& value, int by) const;
    // ---- sums, reversals, people: amounts in stotinki and day counts
    // An amount as whole stotinki, rounded per value (a value with more than 2 decimals
    // counts as the receipt prints it); NULL when `expr` is not a number (see IsAmount).
    QString Cents(const QString& expr) const;
    // A condition: `expr` holds a number (not NULL; on SQLite also not a text or a blob).
    QString IsAmount(const QString& expr) const;
    // Stotinki `centsExpr` as an amount in лв. with 2 decimals.
    QString Lev(const QString& centsExpr) const;

private:
    const TRepository& FRepository;
    TReportFilters FFilters;
    TCheckParams FParams;
    QDate FToday;
    bool FWindowless = false;
};
