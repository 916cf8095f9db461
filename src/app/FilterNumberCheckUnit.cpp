// The filter numbers that their lookups do not hold (see FilterNumberCheckUnit.h).
#include "app/FilterNumberCheckUnit.h"

#include "app/ServerWaitUnit.h"
#include "db/QueryUnit.h"
#include "reports/ReportListUnit.h"

std::optional<QString> LookupName(TSqlDataManager& manager, TLookupKind kind, qint64 number)
{
    TQuery query(&manager.Connection(), ckForwardOnly);
    query.SetSQL(QString::fromUtf16(LookupListItem(kind).Sql));
    TServerWaitWatch::Expect();
    query.Open();
    std::optional<QString> name;
    for (; !name && !query.Eof(); query.Next())
        if (!query.Fields(0).IsNull() && query.Fields(0).AsLargeInt() == number)
            name = query.Fields(1).AsString();
    TServerWaitWatch::Idle();
    return name;
}

namespace {

bool LookupHolds(TSqlDataManager& manager, TLookupKind kind, qint64 number)
{
    return LookupName(manager, kind, number).has_value();
}

} // namespace

QStringList UnknownFilterNumbers(TSqlDataManager& manager, const TReportFilters& filters)
{
    const struct {
        int32_t TReportFilters::*Field;
        TLookupKind Kind;
        const char* Name;
        const char* Plural;
    } keyed[] = {
        {&TReportFilters::StoreN, TLookupKind::Stores, "store", "stores"},
        {&TReportFilters::FiscalDeviceN, TLookupKind::FiscalDevices, "fiscal device", "fiscal devices"},
        {&TReportFilters::UserN, TLookupKind::Operators, "operator", "operators"},
    };
    QStringList lines;
    for (const auto& k : keyed) {
        const int32_t number = filters.*k.Field;
        if (number == 0 || LookupHolds(manager, k.Kind, number))
            continue;
        lines << QStringLiteral("no %1 %2 in the data source's %3 (auditor-export --list %4); the export goes on")
                     .arg(QLatin1String(k.Name))
                     .arg(number)
                     .arg(QLatin1String(k.Plural), QLatin1String(LookupListItem(k.Kind).Key));
    }
    return lines;
}
