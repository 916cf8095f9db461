#pragma once
// The list of reports: for every report kind the name it goes by on auditor-export's
// command line, the caption of its report window (also the title of its export) and the
// filters its window offers; and the three lookups of the filters (number and name of each
// store, fiscal device and operator). The report windows and the exporter both read it.

#include "RepositoryUnit.h"

#include <QStringView>
#include <span>

enum TReportUIFilter : unsigned { rfPeriod = 1, rfStore = 2, rfFP = 4, rfUser = 8 };
using TReportUIFilters = unsigned; // a set of TReportUIFilter bits
inline constexpr TReportUIFilters kAllReportUIFilters = rfPeriod | rfStore | rfFP | rfUser;

struct TReportListItem {
    const char* Key; // on the command line, e.g. "sales-summary"
    TReportKind Kind;
    const char16_t* Title; // the caption of the report window
    TReportUIFilters Filters;
};

// Every report, in TReportKind order.
std::span<const TReportListItem> ReportList();
// The entry of one report kind; every kind has one.
const TReportListItem& ReportListItem(TReportKind kind);
// The report a command-line key names (exact, case-sensitive); nullptr for none.
const TReportListItem* FindReportByKey(QStringView key);
// The caption of the report window of `kind`.
QString ReportTitle(TReportKind kind);

// The lookups behind the store, fiscal device and operator filters.
enum class TLookupKind { Stores, FiscalDevices, Operators };
struct TLookupListItem {
    const char* Key; // on the command line: auditor-export --list KEY
    TLookupKind Kind;
    const char16_t* Sql; // number, then name, in the order shown
};
const TLookupListItem& LookupListItem(TLookupKind kind);
// The lookup a command-line key names; nullptr for none.
const TLookupListItem* FindLookupByKey(QStringView key);
// "stores, fiscal-devices, operators".
QString LookupKeys();
