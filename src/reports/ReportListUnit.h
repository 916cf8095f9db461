#pragma once
// The reports auditor-export runs: the name a report goes by on the command line, its kind
// in the report catalogue, the caption of its report window (the export's title) and the
// filters its window offers. Kept in step with the report windows (src/reports/*Unit.cpp);
// the exporter's tests compare the two.

#include "RepositoryUnit.h"

#include <iterator>

enum TReportUIFilter : unsigned { rfPeriod = 1, rfStore = 2, rfFP = 4, rfUser = 8 };
using TReportUIFilters = unsigned; // a set of TReportUIFilter bits
inline constexpr TReportUIFilters kAllReportUIFilters = rfPeriod | rfStore | rfFP | rfUser;

struct TExportToolReport {
    const char* Key;
    TReportKind Kind;
    const char16_t* Title;
    TReportUIFilters Filters;
};

inline constexpr TExportToolReport kExportToolReports[] = {
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
static_assert(std::size(kExportToolReports) == ReportKindCount);
