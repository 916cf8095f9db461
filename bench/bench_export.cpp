// bench_export: exports the whole sales detail report (no paging, no filter) through the
// program's own export strategies, the way a report window hands its export over: a
// forward-only query on the report's statement, opened and standing on its first row, the
// window's export options (no header block, TAB between columns, the column names in the
// first line) and the record count of the count query.
//
// Usage: bench_export --dsn DSN --driver DESCRIPTION --kind csv|xlsx --out FILE [options]
//   --user U --password P   login (PostgreSQL)
//   --count N               record count the window would pass on (from its count query);
//                           without it the count query is run first, before the clock starts
//   --pump events|none      what the strategy runs at its fixed points (every 100 records):
//                           events = QCoreApplication::processEvents, as the progress dialog
//                           leaves it (default); none = nothing
//   --dialog                run the export in the modal progress dialog (TExportForm::DoExport)
//                           instead of driving the strategy: gauge, status line and all; the
//                           dialog is closed with its OK button when the run is over
//   --print-sql             print the report statement and the count statement (one line
//                           each) and stop, without connecting
// The window's platform is Qt's offscreen one unless QT_QPA_PLATFORM says otherwise.
// Prints one line:
//   RESULT prog=bench_export kind=csv|xlsx rows=R count=N open_s=... export_s=... seconds=... bytes=B
// rows = records the export walked (the query's record count at its end); seconds = open of
// the query + the export (connection excluded); bytes = size of the written file.
// Exit code 2: the export failed or wrote nothing.

#include "BenchSupport.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "export/ExportUnit.h"
#include "reports/RepositoryUnit.h"

#include <QPushButton>
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const QString& message) { FailRun("bench_export", message); }

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: bench_export --dsn DSN --driver DESCRIPTION --kind csv|xlsx --out FILE\n"
                         "                    [--user U --password P] [--count N] [--pump events|none]\n"
                         "                    [--dialog] [--print-sql]\n");
    std::exit(1);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dsn, driver, user, password, outPath;
    TExportKind kind = ekTextFile;
    bool kindGiven = false, pump = true, dialog = false, printSql = false;
    long long count = -1;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString { if (i + 1 >= args.size()) Usage(); return args[++i]; };
        if (a == QLatin1String("--dsn")) dsn = value();
        else if (a == QLatin1String("--driver")) driver = value();
        else if (a == QLatin1String("--user")) user = value();
        else if (a == QLatin1String("--password")) password = value();
        else if (a == QLatin1String("--out")) outPath = value();
        else if (a == QLatin1String("--count")) count = value().toLongLong();
        else if (a == QLatin1String("--dialog")) dialog = true;
        else if (a == QLatin1String("--print-sql")) printSql = true;
        else if (a == QLatin1String("--kind")) {
            const QString v = value();
            if (v == QLatin1String("csv")) kind = ekTextFile;
            else if (v == QLatin1String("xlsx")) kind = ekExcel;
            else Usage();
            kindGiven = true;
        } else if (a == QLatin1String("--pump")) {
            const QString v = value();
            if (v == QLatin1String("events")) pump = true;
            else if (v == QLatin1String("none")) pump = false;
            else Usage();
        } else Usage();
    }
    if (driver.isEmpty())
        Usage();

    // The report window's statements for a zero filter record: the whole view, no paging.
    TSqlDBModel model(dsn, driver);
    model.UserName = user;
    model.Password = password;
    QString reportSql, countSql;
    TRepository(model.DbType()).FillSalesDetailQuery(reportSql, countSql, TReportFilters{});
    if (printSql) {
        std::printf("%s\n%s\n", reportSql.toUtf8().constData(), countSql.toUtf8().constData());
        return 0;
    }
    if (dsn.isEmpty() || outPath.isEmpty() || !kindGiven)
        Usage();

    try {
        auto manager = TSqlDataModule::CreateManager(&model);
        TOdbcConnection& connection = manager->OpenConnection();
        if (count < 0)
            count = manager->FastSql(countSql).toLongLong();

        // As TAbsReportBaseForm::ExportReport prepares it.
        TQuery query(&connection, ckForwardOnly);
        RExportOptions opts = TExportForm::GetReportOpts(kind, QStringLiteral("Продажби детайлни"));
        opts.FileName = outPath;

        const double t0 = Now();
        query.SetSQL(reportSql);
        query.Open();
        query.First();
        const double t1 = Now();
        bool exported = false;
        if (dialog) {
            // The dialog runs the export once it is shown and then waits for its OK button.
            TExportForm::OnShowing = [&exported](TExportForm& form) {
                auto* timer = new QTimer(&form);
                QObject::connect(timer, &QTimer::timeout, &form, [&form, &exported] {
                    if (form.Running() || !form.btnOk->isVisible())
                        return;
                    exported = QFileInfo::exists(form.Strategy()->ExportOptions().FileName);
                    form.btnOk->click();
                });
                timer->start(50);
            };
            TExportForm::DoExport(TExportSource{&query, nullptr}, opts, int(count));
        } else {
            auto strategy = TExportStrategyAbs::GetInstance(opts, TExportSource{&query, nullptr}, &query);
            if (!pump)
                strategy->OnPumpMessages = [] {};
            strategy->OnShowError = [](const QString& message) { Fail(message); };
            if (!strategy->Init(int(count)))
                Fail(QStringLiteral("the export was refused at its start"));
            exported = strategy->MakeExport();
        }
        const double t2 = Now();
        if (!exported)
            Fail(QStringLiteral("nothing was exported"));
        const long long rows = query.RecordCount();
        std::printf("RESULT prog=bench_export kind=%s rows=%lld count=%lld open_s=%.6f export_s=%.6f seconds=%.6f "
                    "bytes=%lld pump=%s dialog=%d\n",
                    kind == ekExcel ? "xlsx" : "csv", rows, count, t1 - t0, t2 - t1, t2 - t0,
                    static_cast<long long>(QFileInfo(outPath).size()), pump ? "events" : "none", dialog ? 1 : 0);
        std::fflush(stdout);
    } catch (const Exception& e) {
        Fail(e.Message());
    }
    return 0;
}
