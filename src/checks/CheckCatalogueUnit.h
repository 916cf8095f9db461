#pragma once
// The catalogue of audit checks, as data: for every check its key on the command line, its
// group on the ribbon, its title and the one sentence of what it looks for, the filters and
// parameters it takes, the columns of its findings (laid out as a report's) and the builder
// of the statement that finds them. The windows, the overview and the exporter read it.

#include "CheckParamsUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QString>
#include <QStringView>
#include <cstdint>
#include <span>

class TCheckSql;

// The groups of the ribbon tab, in their order there.
enum class TCheckGroup : std::uint8_t { Numbering, Sums, Reversals, Times, People };
// "Номерация", "Суми", …
QString CheckGroupCaption(TCheckGroup group);

// What the rows behind a finding are found by (the finding's columns that hold it are
// named in TCheckDef::EvidenceColumns).
enum class TEvidenceKind : std::uint8_t {
    Sales,    // UNPs: the sales' summary, lines, payments, reversal, revocation and log entries
    Item,     // an item code: the item and its sold lines
    Partner,  // a partner's Bulstat: the partner
    Operator, // an operator's number: the operator and his log entries
};

// The findings statement of a check: a SELECT whose columns carry the aliases of the
// check's Grid columns, in any order, with no ORDER BY and no paging (TCheckQuery wraps it).
using TCheckBuilder = QString (*)(const TCheckSql& sql);

struct TCheckDef {
    const char* Key; // on the command line, e.g. "unp-gaps"
    TCheckGroup Group;
    const char16_t* Title;   // of its window, its ribbon command and its overview line
    const char16_t* Purpose; // what it looks for, in one sentence
    TReportUIFilters Filters;
    TCheckParamSet Params;
    // The findings' columns, own ordering (a total order: ORDER BY over the findings' column
    // aliases) and memory name (u"check:unp-gaps"); View is unused (nullptr), Kind too.
    TReportDef Grid;
    // The leading columns that tell one finding from another (for expected findings).
    int KeyColumnCount;
    // The column whose sum is the amount the findings involve; -1 for none.
    int AmountColumn;
    TEvidenceKind Evidence;
    // Comma-separated aliases of the columns the rows behind a finding are found by (for
    // Sales: the UNPs, e.g. u"PrevUNP,NextUNP").
    const char16_t* EvidenceColumns;
    TCheckBuilder Build;
};

// Every check, in ribbon order (group by group).
std::span<const TCheckDef> CheckList();
// The check a command-line key names (exact, case-sensitive); nullptr for none.
const TCheckDef* FindCheckByKey(QStringView key);
// "unp-gaps, unp-doubles, …".
QString CheckKeys();
