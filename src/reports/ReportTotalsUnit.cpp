// The totals of a report window's amount columns (see ReportTotalsUnit.h).
#include "ReportTotalsUnit.h"

#include "DecimalSumUnit.h"
#include "db/Exception.h"
#include "db/SqlDataManagerUnit.h"

#include <QLocale>

namespace {

const QString kCaption = QStringLiteral("Общо");
const QString kRunning = QStringLiteral("…");

QString Count(qint64 n) { return QLocale(QLocale::Bulgarian).toString(n); }

// What was left out of one column's sum, in words; empty when nothing was.
QString LeftOutText(qint64 notNumbers, qint64 inexact)
{
    QStringList parts;
    if (notNumbers > 0)
        parts << (notNumbers == 1 ? QStringLiteral("1 стойност, която не е число")
                                  : QStringLiteral("%1 стойности, които не са числа").arg(Count(notNumbers)));
    if (inexact > 0)
        parts << (inexact == 1 ? QStringLiteral("1 число, което не е с точност до стотинка")
                               : QStringLiteral("%1 числа, които не са с точност до стотинка").arg(Count(inexact)));
    return parts.isEmpty() ? QString() : QStringLiteral("Не са събрани: ") + parts.join(QStringLiteral(" и ")) + u'.';
}

} // namespace

TReportTotals::TReportTotals(TSqlDataManager& manager, const TReportDef& def, TTotalsSql sqlOf, bool inHundredths,
                             TTotalsRow& row)
    : FManager(manager), FDef(def), FSqlOf(std::move(sqlOf)), FInHundredths(inHundredths), FRow(row)
{
    for (int i = 0; i < def.ColumnCount; ++i)
        if (def.Columns[i].Role == TColumnRole::Amount)
            FColumns.push_back(i);
    FQuery.SetConnection(&manager.Connection());
    FQuery.SetRunMode(manager.QuickSelectSwitch());
    FQuery.AfterOpen = [this] { Arrived(); };
    FQuery.OnOpenError = [this](const QString& message) { Failed(message); };
    Show();
}

TReportTotals::~TReportTotals()
{
    FQuery.AfterOpen = nullptr;
    FQuery.OnOpenError = nullptr;
    FQuery.Close();
}

std::vector<TReportTotals::TColumnTotal> TReportTotals::ReadRow(const TQuery& query, bool inHundredths)
{
    if (!query.Active() || query.IsEmpty() || query.FieldCount() % 3 != 0)
        throw Exception(QStringLiteral("Заявката за сумите не върна очаквания ред."));
    std::vector<TColumnTotal> totals;
    for (int i = 0; i < query.FieldCount(); i += 3) {
        TColumnTotal t;
        const TField& sum = query.Fields(i);
        const QString text = sum.AsString();
        const bool read = sum.IsNull() || (inHundredths ? TDecimal::FromHundredths(text, t.Sum)
                                                        : TDecimal::Parse(text, t.Sum));
        if (!read)
            throw Exception(QStringLiteral("Сумата \"%1\" не е число.").arg(text));
        t.NotNumbers = query.Fields(i + 1).AsString().toLongLong();
        t.Inexact = query.Fields(i + 2).AsString().toLongLong();
        totals.push_back(std::move(t));
    }
    return totals;
}

bool TReportTotals::HasAmounts(const TReportDef& def)
{
    for (int i = 0; i < def.ColumnCount; ++i)
        if (def.Columns[i].Role == TColumnRole::Amount)
            return true;
    return false;
}

void TReportTotals::BeforeRun(const TReportFilters& filters)
{
    const QString sql = FSqlOf(filters);
    if (sql == FSql && FState == TState::Done)
        return; // the same filters: the sums shown stay
    FBefore = FState == TState::Done || FState == TState::Failed
                  ? TShown{FState, FSql, FSums, FTotals, FLeftOut, FFailure}
                  : TShown{};
    // Sums under way (for these filters or others) give the connection to the new page.
    FQuery.TryClose(std::chrono::milliseconds(500));
    ReleaseTransaction();
    FState = TState::Blank;
    FSql = sql;
    FFailure.clear();
    Show();
    FManager.HoldReadTransaction();
    FHolding = true;
    FState = TState::Waiting;
    Show();
}

void TReportTotals::PageArrived()
{
    if (FState != TState::Waiting)
        return;
    FState = TState::Running;
    FQuery.SetSQL(FSql);
    try {
        FQuery.OpenAsync();
    } catch (const Exception& e) {
        Failed(e.Message());
    }
}

void TReportTotals::PageFailed()
{
    if (FState != TState::Waiting)
        return;
    ReleaseTransaction();
    FState = TState::Blank;
    FSql.clear();
    Show();
}

void TReportTotals::PageGivenUp()
{
    if (FState != TState::Waiting)
        return;
    ReleaseTransaction();
    FState = FBefore.State;
    FSql = FBefore.Sql;
    FSums = FBefore.Sums;
    FTotals = FBefore.Totals;
    FLeftOut = FBefore.LeftOut;
    FFailure = FBefore.Failure;
    Show();
}

bool TReportTotals::Interrupt(std::chrono::milliseconds patience)
{
    if (FState != TState::Running)
        return true;
    if (!FQuery.TryClose(patience))
        return false;
    FState = TState::Waiting;
    return true;
}

bool TReportTotals::TryStop(std::chrono::milliseconds patience)
{
    const bool stopped = FQuery.TryClose(patience);
    if (stopped)
        ReleaseTransaction();
    if (FState == TState::Running || FState == TState::Waiting) {
        FState = TState::Blank;
        FSql.clear();
    }
    return stopped;
}

void TReportTotals::ReleaseTransaction()
{
    if (!std::exchange(FHolding, false))
        return;
    FManager.EndReadTransaction();
}

void TReportTotals::Arrived()
{
    ReleaseTransaction();
    std::vector<TColumnTotal> totals;
    try {
        totals = ReadRow(FQuery, FInHundredths);
        if (totals.size() != FColumns.size())
            throw Exception(QStringLiteral("Заявката за сумите не върна очаквания ред."));
    } catch (const Exception& e) {
        FQuery.Close();
        Failed(e.Message());
        return;
    }
    FQuery.Close();
    FTotals = std::move(totals);
    FSums.clear();
    FLeftOut.clear();
    for (const TColumnTotal& t : FTotals) {
        FSums << t.Sum.Text(2);
        FLeftOut.push_back(t.NotNumbers + t.Inexact);
    }
    FState = TState::Done;
    Show();
}

void TReportTotals::Failed(const QString& message)
{
    ReleaseTransaction();
    FFailure = message;
    FState = TState::Failed;
    Show();
}

void TReportTotals::Show()
{
    std::vector<TTotalsRow::TCell> cells;
    const TReportDef& def = FDef;
    QStringList leftOutWords;
    for (int i = 0; i < int(FColumns.size()); ++i) {
        const int column = FColumns[size_t(i)];
        if (int(cells.size()) <= column)
            cells.resize(size_t(column) + 1);
        TTotalsRow::TCell& cell = cells[size_t(column)];
        const QString caption = QString::fromUtf16(def.Columns[column].Caption);
        switch (FState) {
        case TState::Waiting:
        case TState::Running:
            cell.Text = kRunning;
            cell.ToolTip = QStringLiteral("Сумата се изчислява…");
            break;
        case TState::Done: {
            const QString leftOut = LeftOutText(FTotals[size_t(i)].NotNumbers, FTotals[size_t(i)].Inexact);
            cell.Text = FSums[i] + (leftOut.isEmpty() ? QString() : QStringLiteral(" *"));
            cell.Marked = !leftOut.isEmpty();
            cell.ToolTip = QStringLiteral("„%1“ общо: %2").arg(caption, FSums[i]);
            if (!leftOut.isEmpty()) {
                cell.ToolTip += u'\n' + leftOut;
                leftOutWords << QStringLiteral("„%1“: %2").arg(caption, leftOut);
            }
            break;
        }
        case TState::Blank:
        case TState::Failed: break;
        }
    }
    FRow.SetCells(std::move(cells));
    if (FState == TState::Failed) {
        const QString firstLine = FFailure.section(u'\n', 0, 0);
        FRow.SetCaption(QStringLiteral("%1: сумите не са изчислени – %2").arg(kCaption, firstLine),
                        QStringLiteral("Сумите не са изчислени:\n") + FFailure, true);
    } else if (!leftOutWords.isEmpty()) {
        FRow.SetCaption(kCaption + QStringLiteral(" * без стойности, които не могат да се съберат"),
                        leftOutWords.join(u'\n'), true);
    } else {
        FRow.SetCaption(kCaption, QStringLiteral("Суми на колоните за целия резултат (всички страници)"));
    }
}
