// auditor-export: runs one report without windows and writes its whole result (or one
// page of it) as CSV or as a spreadsheet, byte for byte what the report window's export
// writes for the same filters: the same report catalogue and query builder, the same
// forward-only query and the same export strategy with the window's options.
//
// The file is written under a temporary name in the target's folder and renamed onto the
// target only when the export has succeeded, so a failed or interrupted run leaves no
// partial file and an existing target as it was. The target must be a regular file or a new
// name, and never the data source's own database (OutputTargetUnit.h); "-" is standard
// output. With --all it writes every report into a new folder, with a manifest and
// checksums, from one state of the database (see ExportBundleUnit.h). --timeout limits
// every wait for the database (ServerWaitUnit.h).
//
// Exit status: 0 done, 1 the export failed (reason on standard error), 2 wrong usage.

#include "app/ExportBundleUnit.h"
#include "app/ExportCheckUnit.h"
#include "app/ExportCommandLineUnit.h"
#include "app/ExportRunUnit.h"
#include "app/FilterNumberCheckUnit.h"
#include "app/ServerWaitUnit.h"
#include "app/TempOutputUnit.h"
#include "checks/CheckQueryUnit.h"
#include "db/ChooseDBUnit.h"
#include "db/DbEngineUnit.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "export/ExportUnit.h"
#include "export/OutputTargetUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <exception>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void PrintErr(const QString& text)
{
    // Messages of the export writer separate their sentences with a bare CR.
    QString s = text;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    std::fputs(s.toUtf8().constData(), stderr);
}

int Fail(const QString& message)
{
    PrintErr(QStringLiteral("auditor-export: ") + message + QLatin1Char('\n'));
    return kExitFailure;
}

int UsageError(const QString& message)
{
    PrintErr(QStringLiteral("auditor-export: ") + message + QLatin1Char('\n'));
    std::fputs("Try 'auditor-export --help'.\n", stderr);
    return kExitUsage;
}

// Why --output cannot take the export, in one line.
QString RefusalText(const TOutputCheck& check, const TRequest& r)
{
    const QString head = QStringLiteral("--output \"%1\" ").arg(r.Output);
    const QString link = check.ThroughLink ? QStringLiteral("a symbolic link to ") : QString();
    const QString tail = QStringLiteral("; the export goes into a regular file or a new name");
    switch (check.Refusal) {
    case TOutputRefusal::None: break;
    case TOutputRefusal::Folder: return head + QStringLiteral("is ") + link + QStringLiteral("a folder") + tail;
    case TOutputRefusal::Fifo: return head + QStringLiteral("is ") + link + QStringLiteral("a FIFO") + tail;
    case TOutputRefusal::Device: return head + QStringLiteral("is ") + link + QStringLiteral("a device") + tail;
    case TOutputRefusal::Socket: return head + QStringLiteral("is ") + link + QStringLiteral("a socket") + tail;
    case TOutputRefusal::OtherKind: return head + QStringLiteral("is ") + link + QStringLiteral("no regular file") + tail;
    case TOutputRefusal::DatabaseFile:
        return head + QStringLiteral("is a file of the database of data source \"%1\", which is never written").arg(r.Dsn);
    case TOutputRefusal::Unreadable: return head + QStringLiteral("cannot be looked at: ") + check.Reason;
    }
    return {};
}

int PrintSql(const TRequest& r)
{
    TDbType dialect;
    if (r.Engine) {
        dialect = *r.Engine;
    } else {
        const std::optional<QString> driver = RegisteredDriverOf(r.Dsn);
        if (!driver)
            return Fail(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));
        TSqlDBModel model;
        model.SetProviderDescr(DriverDescrOfDataSource(*driver));
        dialect = model.DbType();
    }
    QString reportSql, recCountSql;
    const TRepository repository(dialect);
    if (r.Check)
        TCheckQuery(repository, QDate::currentDate()).FillQuery(*r.Check, r.Filters, r.CheckParams, reportSql, recCountSql);
    else
        repository.FillReportQuery(r.Report->Kind, reportSql, recCountSql, r.Filters);
    const QByteArray out = (recCountSql + QLatin1Char('\n') + reportSql + QLatin1Char('\n')).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

// --list checks: the key and the title of every check, TAB-separated, one a line.
int ListChecks()
{
    QByteArray out;
    for (const TCheckDef& def : CheckList())
        out += (QLatin1String(def.Key) + QLatin1Char('\t') + QString::fromUtf16(def.Title) + QLatin1Char('\n')).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

// The export of the request's report or check into `file` (see ExportJobToFile).
TExportOutcome ExportRequested(const TRequest& r, TSqlDataManager& manager, const TRepository& repository,
                               const QString& file, const QString& shownFile, TProgressLine& progress,
                               QIODevice* device = nullptr)
{
    if (r.Check)
        return ExportJobToFile(manager,
                               CheckExportJob(repository, *r.Check, r.Filters, r.CheckParams, QDate::currentDate()),
                               r.Kind, file, shownFile, progress.Follower(), device);
    return ExportReportToFile(manager, repository, *r.Report, r.Filters, r.Kind, file, shownFile, progress.Follower(),
                              device);
}

// --list: the number and the name of every entry of a filter's lookup, TAB-separated, one a
// line, as the report windows offer them.
int ListLookup(const TRequest& r)
{
    TSqlDBModel model;
    if (!ModelOf(r, model))
        return Fail(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));
    TSqlDataModule dataModule;
    QString error;
    const std::unique_ptr<TSqlDataManager> manager = Connected(model, r.Timeout, error);
    if (!manager)
        return Fail(error);
    TQuery query(&manager->Connection(), ckForwardOnly);
    query.SetSQL(QString::fromUtf16(r.List->Sql));
    TServerWaitWatch::Expect();
    query.Open();
    QByteArray out;
    for (; !query.Eof(); query.Next())
        out += (query.Fields(0).AsString() + QLatin1Char('\t') + query.Fields(1).AsString() + QLatin1Char('\n')).toUtf8();
    TServerWaitWatch::Idle();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

// The count line of a done export, unless --quiet.
void SayWritten(const TRequest& r, qint64 written, const QString& where)
{
    if (!r.Quiet)
        PrintErr(QStringLiteral("auditor-export: %1 %2 written to %3\n")
                     .arg(written)
                     .arg(written == 1 ? QStringLiteral("record") : QStringLiteral("records"), where));
}

// The connection of one report's export; null, with the reason in `error`, when it cannot
// be made. A store, fiscal device or operator number that is in no lookup finds no records:
// that is said before the export goes on.
std::unique_ptr<TSqlDataManager> ConnectedForExport(const TSqlDBModel& model, const TRequest& r, QString& error)
{
    std::unique_ptr<TSqlDataManager> manager = Connected(model, r.Timeout, error);
    if (manager)
        for (const QString& line : UnknownFilterNumbers(*manager, r.Filters))
            PrintErr(QStringLiteral("auditor-export: %1\n").arg(line));
    return manager;
}

// --output -: the CSV onto standard output as it is written, with no temporary file.
int ExportToStandardOutput(const TRequest& r, const TSqlDBModel& model)
{
    QFile out;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle))
        return Fail(QStringLiteral("cannot write to standard output: %1").arg(out.errorString()));
    TSqlDataModule dataModule;
    QString error;
    const std::unique_ptr<TSqlDataManager> manager = ConnectedForExport(model, r, error);
    if (!manager)
        return Fail(error);
    const std::unique_ptr<TRepository> repository = TRepository::CreateRepository(*manager);
    TProgressLine progress;
    const TExportOutcome outcome = ExportRequested(r, *manager, *repository, QStringLiteral("standard output"),
                                                   QStringLiteral("standard output"), progress, &out);
    progress.End();
    if (!outcome.Notice.isEmpty())
        PrintErr(QStringLiteral("auditor-export: %1\n").arg(outcome.Notice));
    SayWritten(r, outcome.Written, QStringLiteral("standard output"));
    return kExitOk;
}

int Export(const TRequest& r, mode_t umaskValue)
{
    TSqlDBModel model;
    const bool registered = ModelOf(r, model);
    if (r.Output == kStandardOutput) {
        if (!registered)
            return Fail(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));
        return ExportToStandardOutput(r, model);
    }
    // Only a regular file or a new name, and never the database itself: refused before
    // anything is read.
    const QStringList keepOut = registered ? DataSourceFiles(model) : QStringList();
    if (const TOutputCheck check = CheckOutputTarget(r.Output, keepOut); check.Refused())
        return UsageError(RefusalText(check, r));
    if (!registered)
        return Fail(QStringLiteral("no ODBC data source is named \"%1\"").arg(r.Dsn));

    // The target: where a symbolic link points, so that the link stays.
    QString target = QFileInfo(r.Output).absoluteFilePath();
    const QFileInfo targetInfo(target);
    if (targetInfo.isSymLink())
        target = targetInfo.symLinkTarget();

    RemoveStaleTempOutput(target, false);
    TTempTarget temp;
    QString error;
    if (!temp.Create(target, error))
        return Fail(QStringLiteral("cannot write into the folder of \"%1\": %2").arg(r.Output, error));

    TSqlDataModule dataModule;
    const std::unique_ptr<TSqlDataManager> manager = ConnectedForExport(model, r, error);
    if (!manager)
        return Fail(error);
    const std::unique_ptr<TRepository> repository = TRepository::CreateRepository(*manager);

    TProgressLine progress;
    const TExportOutcome outcome = ExportRequested(r, *manager, *repository, temp.Path(), r.Output, progress);
    progress.End();

    // What stands at the target may have changed while the export ran.
    if (const TOutputCheck check = CheckOutputTarget(r.Output, keepOut); check.Refused())
        return Fail(RefusalText(check, r));
    if (!temp.Commit(target, umaskValue, error))
        return Fail(QStringLiteral("cannot put the export in place as \"%1\": %2").arg(r.Output, error));
    if (!outcome.Notice.isEmpty()) // done, with something the user should know: characters written as "?"
        PrintErr(QStringLiteral("auditor-export: %1\n").arg(outcome.Notice));
    SayWritten(r, outcome.Written, r.Output);
    return kExitOk;
}

// --all: every report into a new folder, with its manifest and checksums.
int Bundle(const TRequest& r, mode_t umaskValue)
{
    if (QFileInfo(r.OutputDir).exists() || QFileInfo(r.OutputDir).isSymLink())
        return UsageError(QStringLiteral("\"%1\" exists already; the bundle goes into a new folder").arg(r.OutputDir));
    const TBundleOutcome outcome = WriteBundle(r, umaskValue);
    for (const QString& notice : outcome.Notices) // done, with characters written as "?"
        PrintErr(QStringLiteral("auditor-export: %1\n").arg(notice));
    if (!r.Quiet)
        PrintErr(QStringLiteral("auditor-export: %1 reports and %2 checks, %3 records, written to %4\n")
                     .arg(outcome.Reports)
                     .arg(outcome.Checks)
                     .arg(outcome.Records)
                     .arg(r.OutputDir));
    return kExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    const mode_t umaskValue = ::umask(0);
    ::umask(umaskValue);

    // Qt sets the locale from the environment, with UTF-8 text.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("auditor-export"));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const char* const valued[] = {"dsn",    "user",          "password",  "password-file", "report",
                                  "format", "from",          "to",        "store",         "operator",
                                  "page",   "fiscal-device", "page-size", "output",        "engine",
                                  "list",   "output-dir",    "timeout",   "find",          "sort",
                                  "check",  "tolerance",     "open-minutes", "opening-hours", "reversal-activity"};
    for (const char* name : valued)
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value")));
    parser.addOption(QCommandLineOption(QStringLiteral("print-sql")));
    parser.addOption(QCommandLineOption(QStringLiteral("all")));
    parser.addOption(QCommandLineOption(QStringLiteral("quiet")));
    parser.addOption(QCommandLineOption(QStringLiteral("descending")));
    parser.addOption(QCommandLineOption(QStringLiteral("version")));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    if (!parser.parse(QCoreApplication::arguments()))
        return UsageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::fputs("auditor-export " AUDITOR_VERSION "\n", stdout);
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageError(QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    TRequest request;
    try {
        request = ReadRequest(TArgs(parser));
    } catch (const TUsageError& e) {
        return UsageError(e.Message);
    }

    RemoveTempOutputOnSignals();
    // Every wait for the database is watched: said on a terminal, ended past --timeout.
    const TServerWaitWatch watch(request.PrintSql ? 0 : request.Timeout, !request.PrintSql && ::isatty(2) == 1,
                                 &TProgressLine::SayAside);
    try {
        if (request.ListChecks)
            return ListChecks();
        if (request.List)
            return ListLookup(request);
        if (request.All)
            return Bundle(request, umaskValue);
        return request.PrintSql ? PrintSql(request) : Export(request, umaskValue);
    } catch (const EDatabaseError& e) {
        if (request.Timeout > 0 && TServerWaitWatch::IsOverLimit(e.SqlState()))
            return Fail(TServerWaitWatch::GiveUpText(request.Timeout, e.Message().section(u'\n', 0, 0)));
        return Fail(e.Message());
    } catch (const Exception& e) {
        return Fail(e.Message());
    } catch (const std::exception& e) {
        return Fail(QString::fromLocal8Bit(e.what()));
    }
}
