// The chosen column order of a report (see ReportSortUnit.h).
#include "ReportSortUnit.h"

#include <QRegularExpression>

namespace {

bool ChosenColumn(const TReportDef& def, const TReportFilters& filters)
{
    return filters.SortColumn >= 0 && filters.SortColumn < def.ColumnCount;
}

} // namespace

QString TReportSort::OrderBy(const TReportDef& def, const TReportFilters& filters)
{
    const QString own = QString::fromUtf16(def.OrderBy);
    if (!ChosenColumn(def, filters))
        return own;
    static const QString kOrderBy = QStringLiteral(" ORDER BY ");
    QString order = kOrderBy + QString::fromUtf16(def.Columns[filters.SortColumn].Column);
    if (filters.SortDescending)
        order += QStringLiteral(" DESC");
    // The report's own ordering breaks the ties, so that the pages of one order never
    // overlap nor leave out a row.
    if (own.startsWith(kOrderBy))
        order += QStringLiteral(", ") + own.mid(kOrderBy.size());
    return order;
}

int TReportSort::FindColumn(const TReportDef& def, QStringView nameOrNumber)
{
    static const QRegularExpression kDigits(QStringLiteral("^[0-9]{1,9}$"));
    if (kDigits.match(nameOrNumber).hasMatch()) {
        const int n = nameOrNumber.toInt();
        return n >= 1 && n <= def.ColumnCount ? n - 1 : -1;
    }
    for (int i = 0; i < def.ColumnCount; ++i)
        if (nameOrNumber.compare(QStringView(def.Columns[i].Column), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString TReportSort::Words(const QString& caption, bool descending)
{
    return QStringLiteral("Подредба: „%1“, %2")
        .arg(caption, descending ? QStringLiteral("низходящо") : QStringLiteral("възходящо"));
}

void TReportSort::Click(TReportFilters& filters, int column)
{
    if (filters.SortColumn != column) {
        filters.SortColumn = column;
        filters.SortDescending = false;
    } else if (!filters.SortDescending) {
        filters.SortDescending = true;
    } else {
        filters.SortColumn = -1;
        filters.SortDescending = false;
    }
}
