#pragma once
// What a run of auditor-export needs around its command line: the data source it names (its
// registered driver, its descriptor, a connection to it), one report exported into a file (or
// onto standard output) as the report window exports it, and the progress line on a terminal.

#include "app/ExportCommandLineUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "export/ExportUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"
#include "reports/RunWordsUnit.h"

#include <QElapsedTimer>
#include <QIODevice>
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

// A manager connected to the data source of `model`, its waits for the database limited to
// `timeoutSeconds` (0: no limit; see LimitServerWaits); null, with the reason in `error`,
// when it cannot connect.
std::unique_ptr<TSqlDataManager> Connected(const TSqlDBModel& model, int timeoutSeconds, QString& error);

// What the export of one report wrote.
struct TExportOutcome {
    qint64 Written = 0; // records
    int Expected = 0;   // records the count gave for the result (or the page)
    QString Notice;     // what the user should know of a done export (characters written as "?")
};

// Writes `report` for `filters` into `file` as the report window's export does: the count
// first, then the report on a forward-only query with the window's export options. `file`
// stands in for `shownFile`, which the messages name. With `device` (CSV only) the text goes
// there instead, and `file` only names it.
// `onProgress(done, expected, last)` follows the writing (last: the final call). The waits
// for the database are shown to TServerWaitWatch. Throws Exception with the reason when the
// export fails.
TExportOutcome ExportReportToFile(TSqlDataManager& manager, const TRepository& repository,
                                  const TReportListItem& report, const TReportFilters& filters, TExportKind kind,
                                  const QString& file, const QString& shownFile,
                                  const std::function<void(qint64 done, qint64 expected, bool last)>& onProgress,
                                  QIODevice* device = nullptr);

// What an export writes, whatever its rows are of: the title, the statements of the rows
// and of their count, the filters (for the page asked for), and the words of the run for a
// workbook's properties and the lines under the title, both made with the names the
// lookups give (null: none).
struct TExportJob {
    QString Title;
    QString Sql;
    QString CountSql;
    TReportFilters Filters;
    std::function<QStringList(const TLookupName& nameOf)> SubjectWords;
    std::function<QStringList(const TLookupName& nameOf)> Conditions;
};

// ExportReportToFile for any job.
TExportOutcome ExportJobToFile(TSqlDataManager& manager, const TExportJob& job, TExportKind kind, const QString& file,
                               const QString& shownFile,
                               const std::function<void(qint64 done, qint64 expected, bool last)>& onProgress,
                               QIODevice* device = nullptr);

// Progress on standard error as one line that is written over, when that is a terminal.
// Other lines (SayAside) end it first, from any thread.
class TProgressLine {
public:
    TProgressLine() : FEnabled(::isatty(2) == 1) { FClock.start(); }
    ~TProgressLine() { End(); }

    // Written before the figures, e.g. the name of the report.
    void SetPrefix(const QString& prefix) { FPrefix = prefix.toUtf8(); }

    void Show(qint64 done, qint64 total, bool force = false);
    // Show as the export's progress callback (see ExportReportToFile).
    std::function<void(qint64, qint64, bool)> Follower()
    {
        return [this](qint64 done, qint64 expected, bool last) { Show(done, expected, last); };
    }
    // Ends the line, so that what follows starts on a line of its own.
    void End();

    // "auditor-export: " and `text` on a line of its own on standard error.
    static void SayAside(const QString& text);

private:
    bool FEnabled;
    bool FShown = false;
    QByteArray FPrefix;
    QElapsedTimer FClock;
};
