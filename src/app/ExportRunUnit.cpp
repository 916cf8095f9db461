// The data source of an auditor-export run and one report's export (see ExportRunUnit.h).
#include "app/ExportRunUnit.h"

#include "app/FilterNumberCheckUnit.h"
#include "app/ServerWaitUnit.h"
#include "db/ChooseDBUnit.h"
#include "db/DbEngineUnit.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "reports/RunWordsUnit.h"

#include <QStringList>
#include <algorithm>
#include <mutex>

namespace {
// Standard error is shared by the progress line and the lines said aside from other threads.
std::mutex gErrMutex;
bool gLineOpen = false; // a progress line waits for its end
} // namespace

// The driver a data source is registered with; nullopt when no user or system data source
// has that name.
std::optional<QString> RegisteredDriverOf(const QString& dsn)
{
    for (const TOdbcDataSource& ds : ListOdbcDataSources(OdbcEnvironment()))
        if (ds.Name == dsn)
            return ds.Driver;
    return std::nullopt;
}

// The descriptor of the request's data source; false when no data source has its name.
bool ModelOf(const TRequest& r, TSqlDBModel& model)
{
    const std::optional<QString> driver = RegisteredDriverOf(r.Dsn);
    if (!driver)
        return false;
    model.DSN = r.Dsn;
    model.UserName = r.User;
    model.Password = r.Password;
    model.SetProviderDescr(DriverDescrOfDataSource(*driver));
    return true;
}

// A manager connected to the data source of `model`; null, with the reason in `error`,
// when it cannot connect.
std::unique_ptr<TSqlDataManager> Connected(const TSqlDBModel& model, int timeoutSeconds, QString& error)
{
    std::unique_ptr<TSqlDataManager> manager = TSqlDataModule::CreateManager(&model);
    LimitServerWaits(*manager, timeoutSeconds);
    TServerWaitWatch::Expect();
    try {
        manager->OpenConnection();
    } catch (const Exception& e) {
        error = QStringLiteral("cannot connect to \"%1\": %2").arg(model.DSN, e.Message());
        return nullptr;
    }
    return manager;
}

TExportOutcome ExportReportToFile(TSqlDataManager& manager, const TRepository& repository,
                                  const TReportListItem& report, const TReportFilters& filters, TExportKind kind,
                                  const QString& file, const QString& shownFile,
                                  const std::function<void(qint64 done, qint64 expected, bool last)>& onProgress,
                                  QIODevice* device)
{
    TExportJob job;
    job.Title = QString::fromUtf16(report.Title);
    repository.FillReportQuery(report.Kind, job.Sql, job.CountSql, filters);
    job.Filters = filters;
    // The workbook's properties name the lookups' entries.
    if (kind == ekExcel)
        job.SubjectWords = [&report, &filters](const TLookupName& nameOf) {
            return RunFilterWords(report.Kind, filters, nameOf);
        };
    return ExportJobToFile(manager, job, kind, file, shownFile, onProgress, device);
}

static TLookupName LookupNamesOf(TSqlDataManager& manager)
{
    return [&manager](TLookupKind k, int n) { return LookupName(manager, k, n).value_or(QString()); };
}

TExportOutcome ExportJobToFile(TSqlDataManager& manager, const TExportJob& job, TExportKind kind, const QString& file,
                               const QString& shownFile,
                               const std::function<void(qint64 done, qint64 expected, bool last)>& onProgress,
                               QIODevice* device)
{
    const QString& reportSql = job.Sql;
    const QString& recCountSql = job.CountSql;
    const TReportFilters& filters = job.Filters;
    struct TIdleAfter {
        ~TIdleAfter() { TServerWaitWatch::Idle(); }
    } idleAfter;
    TServerWaitWatch::Expect();
    const int recCount = manager.FastSql(recCountSql).toInt();
    int expected = recCount;
    if (filters.RecordsPerPage > 0) {
        const qint64 skipped = qint64(filters.PageNumber) * filters.RecordsPerPage;
        expected = int(std::clamp<qint64>(recCount - skipped, 0, filters.RecordsPerPage));
    }

    // The names of the lookups' entries are read before the rows.
    QString subject;
    if (job.SubjectWords)
        subject = RunSubject(manager.DbModel().DSN, job.SubjectWords(LookupNamesOf(manager)));
    const QStringList conditions = job.Conditions ? job.Conditions(LookupNamesOf(manager)) : QStringList();

    TQuery query(nullptr, ckForwardOnly);
    query.SetConnection(&manager.Connection());
    query.SetSQL(reportSql);
    TServerWaitWatch::Expect();
    query.Open();
    query.First();

    RExportOptions opts = TExportForm::GetReportOpts(kind, job.Title);
    opts.Subject = subject;
    if (!conditions.isEmpty()) { // under the title, which then heads the file
        opts.Header = true;
        opts.Conditions = &conditions;
    }
    opts.FileName = file;
    opts.ShownFileName = shownFile;
    opts.Device = device;

    auto strategy = TExportStrategyAbs::GetInstance(opts, TExportSource{&query, nullptr}, &query);
    int done = 0;
    QStringList problems;
    strategy->OnReportProgress = [&done](int current, const QString&) { done = current; };
    strategy->OnPumpMessages = [&] {
        // Rows still to come are awaited from the database; after the last one nothing is.
        if (query.Eof())
            TServerWaitWatch::Idle();
        else
            TServerWaitWatch::Expect();
        onProgress(done, expected, false);
    };
    strategy->OnShowError = [&problems](const QString& message) { problems << message; };
    if (!strategy->Init(expected) || !strategy->MakeExport())
        throw Exception(problems.isEmpty() ? QStringLiteral("nothing was exported") : problems.join(QLatin1Char('\n')));
    TExportOutcome outcome;
    outcome.Written = query.RecordCount();
    outcome.Expected = expected;
    onProgress(outcome.Written, expected, true);
    outcome.Notice = strategy->Notice();
    strategy.reset();
    query.Close();
    return outcome;
}

void TProgressLine::Show(qint64 done, qint64 total, bool force)
{
    if (!FEnabled || (!force && FShown && FClock.elapsed() < 100))
        return;
    FClock.restart();
    std::lock_guard lock(gErrMutex);
    std::fprintf(stderr, "\r%s%lld / %lld", FPrefix.constData(), static_cast<long long>(done),
                 static_cast<long long>(total));
    std::fflush(stderr);
    FShown = true;
    gLineOpen = true;
}

void TProgressLine::End()
{
    std::lock_guard lock(gErrMutex);
    if (FShown && gLineOpen)
        std::fputc('\n', stderr);
    FShown = false;
    gLineOpen = false;
}

void TProgressLine::SayAside(const QString& text)
{
    std::lock_guard lock(gErrMutex);
    if (gLineOpen)
        std::fputc('\n', stderr);
    gLineOpen = false;
    std::fputs(("auditor-export: " + text + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}
