// The list of reports: key, kind, caption and filters of each.
#include "ReportListUnit.h"

#include <QStringList>
#include <iterator>

namespace {

// Indexed by TReportKind.
constexpr TReportListItem kReportList[] = {
    {"sales-summary", rkSalesSummary, u"Продажби Обобщени", kAllReportUIFilters},
    {"sales-detail", rkSalesDetail, u"Продажби детайлни", kAllReportUIFilters},
    {"payments", rkPayments, u"Плащания", kAllReportUIFilters},
    {"reversed-sales", rkReversedSales, u"Сторнирани продажби", kAllReportUIFilters},
    {"revoked-sales", rkRevokedSales, u"Анулирани продажби", kAllReportUIFilters},
    {"items", rkItems, u"Стоки", 0},
    {"partners", rkPartners, u"Клиенти / Доставчици", 0},
    {"operation-types", rkActivityTypes, u"Видове Операции", 0},
    {"payment-types", rkPayTypes, u"Видове плащания", 0},
    {"stores", rkStores, u"Търговски обекти", 0},
    {"users", rkUsers, u"Потребители", 0},
    {"users-log", rkUsersLog, u"Лог на действията", rfPeriod},
};
static_assert(std::size(kReportList) == ReportKindCount);

constexpr bool ListIndexedByKind()
{
    for (int i = 0; i < ReportKindCount; ++i)
        if (kReportList[i].Kind != i)
            return false;
    return true;
}
static_assert(ListIndexedByKind());

} // namespace

std::span<const TReportListItem> ReportList()
{
    return kReportList;
}

const TReportListItem& ReportListItem(TReportKind kind)
{
    return kReportList[kind];
}

const TReportListItem* FindReportByKey(QStringView key)
{
    for (const TReportListItem& r : kReportList)
        if (key == QLatin1String(r.Key))
            return &r;
    return nullptr;
}

QString ReportTitle(TReportKind kind)
{
    return QString::fromUtf16(ReportListItem(kind).Title);
}

namespace {

constexpr TLookupListItem kLookupList[] = {
    {"stores", TLookupKind::Stores, u"select StoreN, StoreName from StoreFilterAudit\norder by StoreName"},
    {"fiscal-devices", TLookupKind::FiscalDevices,
     u"select FiscalDeviceN, FiscalDeviceName\nfrom FiscalDeviceFilterAudit\norder by FiscalDeviceName"},
    {"operators", TLookupKind::Operators, u"select UserKod, UserName\nfrom UserFilterAudit\norder by UserName"},
};

} // namespace

const TLookupListItem& LookupListItem(TLookupKind kind) { return kLookupList[int(kind)]; }

const TLookupListItem* FindLookupByKey(QStringView key)
{
    for (const TLookupListItem& l : kLookupList)
        if (key == QLatin1String(l.Key))
            return &l;
    return nullptr;
}

QString LookupKeys()
{
    QStringList keys;
    for (const TLookupListItem& l : kLookupList)
        keys << QLatin1String(l.Key);
    return keys.join(QStringLiteral(", "));
}
