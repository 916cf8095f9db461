// The words that describe a run of a report (see RunWordsUnit.h).
#include "RunWordsUnit.h"

#include "ReportFindUnit.h"
#include "ReportSortUnit.h"

QStringList RunFilterWords(TReportKind kind, const TReportFilters& f, const TLookupName& nameOf)
{
    return RunFilterWords(ReportDef(kind), f, nameOf);
}

QStringList RunFilterWords(const TReportDef& def, const TReportFilters& f, const TLookupName& nameOf)
{
    QStringList words;
    if (f.FromDate != 0 || f.ToDate != 0)
        words << QStringLiteral("Период: %1 – %2")
                     .arg(DaysToDate(f.FromDate).toString(QStringLiteral("dd.MM.yyyy")),
                          DaysToDate(f.ToDate).toString(QStringLiteral("dd.MM.yyyy")));
    const struct {
        int Key;
        TLookupKind Kind;
        const char16_t* Label;
    } keyed[] = {
        {f.StoreN, TLookupKind::Stores, u"Обект"},
        {f.FiscalDeviceN, TLookupKind::FiscalDevices, u"Фискално устройство"},
        {f.UserN, TLookupKind::Operators, u"Оператор"},
    };
    for (const auto& k : keyed) {
        if (k.Key == 0)
            continue;
        const QString name = nameOf ? nameOf(k.Kind, k.Key) : QString();
        words << QStringLiteral("%1: %2").arg(QString::fromUtf16(k.Label), name.isEmpty() ? QString::number(k.Key) : name);
    }
    if (f.SortColumn >= 0 && f.SortColumn < def.ColumnCount)
        words << TReportSort::Words(QString::fromUtf16(def.Columns[f.SortColumn].Caption), f.SortDescending);
    if (const QString find = TReportFind::Words(f); !find.isEmpty())
        words << find;
    return words;
}

QString RunSubject(const QString& dataSource, const QStringList& filterWords)
{
    QStringList parts;
    if (!dataSource.isEmpty())
        parts << QStringLiteral("Източник: %1").arg(dataSource);
    parts << filterWords;
    return parts.join(QStringLiteral(" · "));
}
