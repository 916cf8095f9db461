#pragma once
// TReportTotals: the sums of a report window's amount columns over the whole filtered
// result, shown in the totals row under its grid. One aggregate statement runs on a worker
// after the page has come, in the read transaction of the count and the page; a run that
// changes no filter (a page move) keeps the sums it has.

#include "DecimalSumUnit.h"
#include "RepositoryUnit.h"
#include "TotalsRowUnit.h"
#include "db/QueryUnit.h"

#include <chrono>
#include <functional>
#include <vector>

class TSqlDataManager;

class TReportTotals {
public:
    enum class TState { Blank, Waiting, Running, Done, Failed };

    // Statements go to `manager`'s connection; the figures to `row`. All three outlive it.
    // The statement of the sums of the grid's amount columns for a run's filters.
    using TTotalsSql = std::function<QString(const TReportFilters& filters)>;
    // Sums of the amount columns of `def`, by the statements `sqlOf` makes (TRepository::
    // FillTotalsQuery's form; in hundredths when `inHundredths`).
    TReportTotals(TSqlDataManager& manager, const TReportDef& def, TTotalsSql sqlOf, bool inHundredths,
                  TTotalsRow& row);
    ~TReportTotals();
    TReportTotals(const TReportTotals&) = delete;
    TReportTotals& operator=(const TReportTotals&) = delete;

    static bool HasAmounts(const TReportDef& def);

    // One amount column's figures as the totals statement gives them.
    struct TColumnTotal {
        TDecimal Sum;
        qint64 NotNumbers = 0; // values that are no number, left out
        qint64 Inexact = 0;    // numbers that cannot be added exactly to the cent, left out
    };
    // The row of an open totals statement (TRepository::FillTotalsQuery). Throws Exception
    // when it is not such a row.
    static std::vector<TColumnTotal> ReadRow(const TQuery& query, bool inHundredths);

    // Before the count and page of `filters` start on the connection. When the sums of these
    // filters are not there yet, the sums under way are given up, the row shows "…" and the
    // manager holds one read transaction for the count, the page and the sums. Throws
    // EDatabaseError when the transaction cannot be held.
    void BeforeRun(const TReportFilters& filters);
    // The next run computes the sums again, also for the same filters (the Report button
    // reads the database anew).
    void Refresh() { FSql.clear(); }
    // The page has come: the sums waiting for it start.
    void PageArrived();
    // The page did not come: the sums waiting for it are not computed.
    void PageFailed();
    // The page was given up by the user: the sums waiting for it are not computed, and the
    // row shows again what it showed before the run. Called once the page's statement has
    // let go of the connection.
    void PageGivenUp();
    // Sums under way give the connection to another statement of the window (an export):
    // their statement is given up, they wait in their transaction for PageArrived to start
    // them again. False when the statement did not give way within `patience`.
    bool Interrupt(std::chrono::milliseconds patience);
    // Gives up a running statement, waiting at most `patience` for it (see TQuery::TryClose).
    bool TryStop(std::chrono::milliseconds patience);
    bool Executing() const { return FQuery.Executing(); }

    TState State() const { return FState; }
    // The latest sums in the grid's form ("1234.50"), one for each amount column in the
    // catalogue's order; the values left out of each; the failure's message.
    const QStringList& Sums() const { return FSums; }
    const std::vector<qint64>& LeftOut() const { return FLeftOut; }
    const QString& Failure() const { return FFailure; }
    const QString& SQL() const { return FSql; }

private:
    void Arrived();
    void Failed(const QString& message);
    void ReleaseTransaction();
    void Show();

    TSqlDataManager& FManager;
    const TReportDef& FDef; // outlives the sums (a catalogue's entry)
    TTotalsSql FSqlOf;
    bool FInHundredths;
    TTotalsRow& FRow;
    // What the row showed before the run under way.
    struct TShown {
        TState State = TState::Blank;
        QString Sql;
        QStringList Sums;
        std::vector<TColumnTotal> Totals;
        std::vector<qint64> LeftOut;
        QString Failure;
    } FBefore;
    std::vector<int> FColumns; // the amount columns' indices in the report's columns
    TState FState = TState::Blank;
    bool FHolding = false;      // the manager holds the read transaction for these sums
    QString FSql;               // of the sums shown, or under way
    QStringList FSums;
    std::vector<TColumnTotal> FTotals;
    std::vector<qint64> FLeftOut;
    QString FFailure;
    TQuery FQuery{nullptr, ckStatic};
};
