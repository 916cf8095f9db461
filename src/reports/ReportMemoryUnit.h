#pragma once
// What each report window ran last, kept per data source across runs of the program: the
// period, the store, fiscal device and operator, the page size, the column order and the
// find text. One JSON file of the user's own ("report-runs.json" in the program's data
// folder, beside its workbooks; readable by the user alone).

#include "RepositoryUnit.h"

#include <QJsonObject>
#include <QString>
#include <optional>

class TReportMemory {
public:
    // The filters of the last run of `kind` on `dataSource`; none when there was none, or the
    // file cannot be read (a damaged file is as good as none). Its page number is 0.
    static std::optional<TReportFilters> Recall(const QString& dataSource, TReportKind kind);
    // Keeps `filters` (all but the page number) as the last run of `kind` on `dataSource`.
    // The file is replaced whole; a failure to write it is not the user's concern and is
    // dropped.
    static void Remember(const QString& dataSource, TReportKind kind, const TReportFilters& filters);
    // The same for any grid laid out as `def` (kept under its Name), with the values of the
    // run beyond the filters (a check's parameters) in `extra`.
    static std::optional<TReportFilters> Recall(const QString& dataSource, const TReportDef& def);
    static QJsonObject RecallExtra(const QString& dataSource, const TReportDef& def);
    static void Remember(const QString& dataSource, const TReportDef& def, const TReportFilters& filters,
                         const QJsonObject& extra = {});
    static QString FileName();
};
