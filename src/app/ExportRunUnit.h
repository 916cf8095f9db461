#pragma once
// What a run of auditor-export needs around its command line: the data source it names (its
// registered driver, its descriptor, a connection to it), one report exported into a file as
// the report window exports it, and the progress line on a terminal.

#include "app/ExportCommandLineUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "export/ExportUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

// The driver a data source is registered with; nullopt when no user or system data source
// has that name.
std::optional<QString> RegisteredDriverOf(const QString& dsn);

// The descriptor of the request's data source; false when no data source has its name.
bool ModelOf(const TRequest& r, TSqlDBModel& model);

// A manager connected to the data source of `model`; null, with the reason in `error`,
// when it cannot connect.
std::unique_ptr<TSqlDataManager> Connected(const TSqlDBModel& model, QString& error);

// What the export of one report wrote.
struct TExportOutcome {
    qint64 Written = 0; // records
    int Expected = 0;   // records the count gave for the result (or the page)
    QString Notice;     // what the user should know of a done export (characters written as "?")
};

// Writes `report` for `filters` into `file` as the report window's export does: the count
// first, then the report on a forward-only query with the window's export options. `file`
// stands in for `shownFile`, which the messages name.
// `onProgress(done, expected, last)` follows the writing (last: the final call). Throws
// Exception with the reason when the export fails.
TExportOutcome ExportReportToFile(TSqlDataManager& manager, const TRepository& repository,
                                  const TReportListItem& report, const TReportFilters& filters, TExportKind kind,
                                  const QString& file, const QString& shownFile,
                                  const std::function<void(qint64 done, qint64 expected, bool last)>& onProgress);

// Progress on standard error as one line that is written over, when that is a terminal.
class TProgressLine {
public:
    TProgressLine() : FEnabled(::isatty(2) == 1) { FClock.start(); }
    ~TProgressLine() { End(); }

    // Written before the figures, e.g. the name of the report.
    void SetPrefix(const QString& prefix) { FPrefix = prefix.toUtf8(); }

    void Show(qint64 done, qint64 total, bool force = false)
    {
        if (!FEnabled || (!force && FShown && FClock.elapsed() < 100))
            return;
        FClock.restart();
        std::fprintf(stderr, "\r%s%lld / %lld", FPrefix.constData(), static_cast<long long>(done),
                     static_cast<long long>(total));
        std::fflush(stderr);
        FShown = true;
    }
    // Ends the line, so that what follows starts on a line of its own.
    void End()
    {
        if (FShown)
            std::fputc('\n', stderr);
        FShown = false;
    }

private:
    bool FEnabled;
    bool FShown = false;
    QByteArray FPrefix;
    QElapsedTimer FClock;
};
