#pragma once
// The evidence bundle of auditor-export --all: every report written from one consistent state
// of the database into a new folder, with a manifest that says what was read from where, and
// the SHA-256 of every file in the form sha256sum checks.

#include "app/ExportCommandLineUnit.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <sys/types.h>

// The name of a report's file in the bundle: its command-line key and the format's extension.
QString BundleFileName(const TReportListItem& report, TExportKind kind);

// The filters `report` takes from those asked for: the ones its window offers.
TReportFilters BundleFilters(const TReportListItem& report, const TReportFilters& asked);
// The same for a window that offers `offered`.
TReportFilters OfferedFilters(TReportUIFilters offered, const TReportFilters& asked);

// Writes the bundle that `r` asks for (r.All) into r.OutputDir, which must not exist: first
// into a temporary folder beside it, renamed to r.OutputDir when every file is written.
// Throws Exception with the reason on failure, the temporary folder removed.
// `say` gets the lines meant for the user (the report being written, on a terminal).
struct TBundleOutcome {
    int Reports = 0;
    int Checks = 0;
    qint64 Records = 0;
    QStringList Notices; // what the user should know of a done bundle (characters written as "?")
};
TBundleOutcome WriteBundle(const TRequest& r, mode_t umaskValue);

// For tests: called after each report's or check's file is written, with its key.
inline std::function<void(const QString& key)>& BundleReportWritten()
{
    static std::function<void(const QString&)> hook;
    return hook;
}
