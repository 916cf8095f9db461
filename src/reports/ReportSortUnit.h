#pragma once
// The order a click on a column title chooses: the ORDER BY it makes of the report's own
// ordering, the column a name or number on the command line stands for, and the order in
// words for the summary bar.

#include "RepositoryUnit.h"

#include <QString>
#include <QStringView>

class TReportSort {
public:
    // The report's own ORDER BY when `filters` chooses no column (the text is then exactly
    // the catalogue's); else the chosen column first, descending when asked, and the
    // report's own ordering after it: " ORDER BY TotalSumWithVAT DESC, EndDocDate,UNP".
    // The column's name is the catalogue's, never a text from outside.
    static QString OrderBy(const TReportDef& def, const TReportFilters& filters);

    // The index of the report's column named `nameOrNumber`: its view column (compared
    // without regard to case, as the engines take them) or its 1-based number in the
    // report's columns; -1 when there is no such column.
    static int FindColumn(const TReportDef& def, QStringView nameOrNumber);

    // "Подредба: „Дължима сума“, низходящо": the order by the column titled `caption`.
    static QString Words(const QString& caption, bool descending);

    // The state after one more click on column `column`: ascending on a new column, then
    // descending, then the report's own order again.
    static void Click(TReportFilters& filters, int column);
};
