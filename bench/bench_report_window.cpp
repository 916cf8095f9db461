// bench_report_window: how long the sales detail report window takes from a click to the
// grid showing the page, driven the way a user drives it: the Report button for the first
// page, the Last button for the last page and then Previous for the full page before it
// (a deep page: OFFSET close to the end of the result).
//
// Usage: bench_report_window --dsn DSN --driver DESCRIPTION [options]
//   --user U --password P   login (PostgreSQL)
//   --from YYYY-MM-DD       period filter of the window; default: the first and the last
//   --to YYYY-MM-DD         EndDocDate of SalesDetailsAudit, so the whole data is reported
//   --page-size-index I     index in the window's page-size box (default 4: "5000")
//   --repeat N              Report / Last / Previous clicked N times (default 3), after
//                           one untimed round that warms the caches
//   --print-sql             after the untimed round print the statements the window ran
//                           and stop:  SQL <TAB> first|last|deep <TAB> count|page <TAB> text
//   --width W --height H    size of the window (default 1280 x 800)
//
// One line per timed click:
//   RESULT case=first|last|deep run=K rows=R records=N page=P seconds=... count_s=...
//          page_s=... after_open_s=... paint_s=... stall_s=...
// and for the other clicks of a round (an export started and cancelled, Next, First, two
// page-size changes) one line each:
//   STALL case=export-start|next|first-button|page-size|page-size-back run=K stall_s=...
// stall_s: the longest time the window's thread went without handling events during the
// click.
// seconds: from the click to the end of the first paint of the grid that shows the page.
// Its phases: count_s, a count query run on the window's thread (0 when the worker runs the
// count before the page, as the window does now); page_s, from there until the page is
// back on the window's thread (the worker runs the count and the page query and fetches
// the page, its completion is delivered, the result adopted);
// after_open_s, the window's handler of the opened page (walk, attach to the grid, column
// widths); paint_s, until the grid has painted. The window is on Qt's offscreen platform
// unless QT_QPA_PLATFORM says otherwise. Exit code 2: the window failed or showed an error.

#include "BenchSupport.h"
#include "db/Exception.h"
#include "export/ExportExcelUnit.h"
#include "export/ExportUnit.h"
#include "db/OdbcConnectionUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"
#include "reports/SalesDetailUnit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <unistd.h>

namespace {

constexpr unsigned kClickTimeoutSeconds = 600;

[[noreturn]] void Fail(const QString& message) { FailRun("bench_report_window", message); }

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: bench_report_window --dsn DSN --driver DESCRIPTION [--user U --password P]\n"
                         "                           [--from YYYY-MM-DD --to YYYY-MM-DD] [--page-size-index I]\n"
                         "                           [--repeat N] [--print-sql] [--width W --height H]\n");
    std::exit(1);
}

// The count query is the only synchronous database work on the window's thread during a
// click: the busy hooks of the data layer mark its start and end.
double gBusyBegin = -1;
double gBusyEnd = -1;
void BusyBegin()
{
    if (gBusyBegin < 0)
        gBusyBegin = Now();
}
void BusyEnd() { gBusyEnd = Now(); }

// Notes the grid's paint events once the page is attached.
class TPaintWatch : public QObject {
public:
    bool Armed = false;
    bool Painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (Armed && event->type() == QEvent::Paint)
            Painted = true;
        return QObject::eventFilter(watched, event);
    }
};

// The longest time the window's thread goes without handling events: a timer asked to
// run every millisecond notes the longest gap between two of its runs (the click's own
// call counts from the moment it is made).
class TStallProbe : public QObject {
public:
    TStallProbe()
    {
        FTimer.setTimerType(Qt::PreciseTimer);
        FTimer.setInterval(1);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Note(); });
        FTimer.start();
    }
    void Restart()
    {
        FLast = Now();
        FLongest = 0;
    }
    double Longest()
    {
        Note();
        return FLongest;
    }

private:
    void Note()
    {
        const double now = Now();
        FLongest = std::max(FLongest, now - FLast);
        FLast = now;
    }

    QTimer FTimer;
    double FLast = 0;
    double FLongest = 0;
};

struct TClickTimes {
    double Seconds = 0, Count = 0, Page = 0, AfterOpen = 0, Paint = 0, Stall = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dsn, driver, user, password, from, to;
    int repeat = 3, pageSizeIndex = 4, width = 1280, height = 800;
    bool printSql = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString { if (i + 1 >= args.size()) Usage(); return args[++i]; };
        if (a == QLatin1String("--dsn")) dsn = value();
        else if (a == QLatin1String("--driver")) driver = value();
        else if (a == QLatin1String("--user")) user = value();
        else if (a == QLatin1String("--password")) password = value();
        else if (a == QLatin1String("--from")) from = value();
        else if (a == QLatin1String("--to")) to = value();
        else if (a == QLatin1String("--page-size-index")) pageSizeIndex = value().toInt();
        else if (a == QLatin1String("--repeat")) repeat = std::max(1, value().toInt());
        else if (a == QLatin1String("--print-sql")) printSql = true;
        else if (a == QLatin1String("--width")) width = value().toInt();
        else if (a == QLatin1String("--height")) height = value().toInt();
        else Usage();
    }
    if (dsn.isEmpty() || driver.isEmpty())
        Usage();

    // A click that never comes back (a hung statement) ends the run instead of the machine's patience.
    std::signal(SIGALRM, [](int) {
        static const char msg[] = "bench_report_window: a click did not finish in time\n";
        (void)!write(2, msg, sizeof msg - 1);
        std::_Exit(3);
    });
    // The window reports its failures in a modal box, which would wait for a user: its text
    // ends the run instead.
    QTimer errorBoxWatch;
    QObject::connect(&errorBoxWatch, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            Fail(QStringLiteral("the window showed: ") + box->text());
    });
    errorBoxWatch.start(1000);

    TSqlDBModel model(dsn, driver);
    model.UserName = user;
    model.Password = password;
    if (model.DbType() != dbSqlite && model.DbType() != dbPostgres)
        Fail(QStringLiteral("unsupported driver ") + driver);
    TRepository repository(model.DbType());

    std::unique_ptr<TSalesDetailForm> form;
    try {
        form = std::make_unique<TSalesDetailForm>(nullptr, &model, &repository);
    } catch (const Exception& e) {
        Fail(e.Message());
    }
    TDbBusyScope::InstallHooks(&BusyBegin, &BusyEnd);

    // The whole period of the data unless told otherwise (read before the clock runs).
    if (from.isEmpty() || to.isEmpty()) {
        try {
            form->SqlManager().FastSql(QStringLiteral("SELECT min(EndDocDate) AS a, max(EndDocDate) AS b "
                                                      "FROM SalesDetailsAudit"));
        } catch (const Exception& e) {
            Fail(e.Message());
        }
        if (from.isEmpty())
            from = form->SqlManager().FastSQLField(QStringLiteral("a")).toString().left(10);
        if (to.isEmpty())
            to = form->SqlManager().FastSQLField(QStringLiteral("b")).toString().left(10);
    }
    const QDate fromDate = QDate::fromString(from, Qt::ISODate);
    const QDate toDate = QDate::fromString(to, Qt::ISODate);
    if (!fromDate.isValid() || !toDate.isValid())
        Fail(QStringLiteral("no period: --from '%1' --to '%2'").arg(from, to));

    // Completion of the page: the window's own handler, wrapped.
    TQuery& pageQuery = form->PageQuery();
    bool opened = false;
    double afterOpenBegin = 0, afterOpenEnd = 0;
    auto paintWatch = new TPaintWatch;
    paintWatch->setParent(form.get());
    {
        auto handler = pageQuery.AfterOpen;
        pageQuery.AfterOpen = [&, handler] {
            afterOpenBegin = Now();
            handler();
            afterOpenEnd = Now();
            opened = true;
            paintWatch->Armed = true;
        };
        pageQuery.OnOpenError = [](const QString& message) { Fail(QStringLiteral("the page failed: ") + message); };
    }
    form->ReportDBGrid->viewport()->installEventFilter(paintWatch);

    // One click: from the call to the end of the grid's first paint of the new page.
    TStallProbe stallProbe;
    auto click = [&](const std::function<void()>& action) {
        opened = false;
        paintWatch->Armed = false;
        paintWatch->Painted = false;
        gBusyBegin = gBusyEnd = -1;
        alarm(kClickTimeoutSeconds);
        const double t0 = Now();
        stallProbe.Restart();
        action();
        while (!opened || !paintWatch->Painted)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double t1 = Now();
        alarm(0);
        TClickTimes t;
        t.Stall = stallProbe.Longest();
        t.Seconds = t1 - t0;
        if (gBusyBegin >= 0 && gBusyEnd >= gBusyBegin) {
            t.Count = gBusyEnd - gBusyBegin;
            t.Page = afterOpenBegin - gBusyEnd;
        } else {
            t.Page = afterOpenBegin - t0;
        }
        t.AfterOpen = afterOpenEnd - afterOpenBegin;
        t.Paint = t1 - afterOpenEnd;
        return t;
    };

    form->resize(width, height);
    form->show();
    {
        const double deadline = Now() + 30;
        while (!(form->windowHandle() && form->windowHandle()->isExposed()) && Now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::processEvents();
    }
    // A new page size runs the report at once (without the period yet): that run is waited for.
    if (pageSizeIndex != form->cbRecordsPerPage->currentIndex()) {
        if (pageSizeIndex < 0 || pageSizeIndex >= form->cbRecordsPerPage->count())
            Fail(QStringLiteral("no page size at index %1").arg(pageSizeIndex));
        click([&] { form->cbRecordsPerPage->setCurrentIndex(pageSizeIndex); });
    }
    form->FromDateFilterPicker->setDate(fromDate);
    form->ToDateFilterPicker->setDate(toDate);

    // Each round: Report, Last, Previous (the timed pages), then Next, First, and a page
    // size changed to the one before it and back (each runs the report from page 1).
    enum class TPage { First, Last, BeforeLast };
    struct TCase {
        const char* Name;
        TPage Want;
        bool Timed;
        std::function<void()> Click;
    };
    const TCase cases[] = {
        {"first", TPage::First, true, [&] { form->ReportButtonClick(); }},
        {"last", TPage::Last, true, [&] { form->LastPageButtonClick(); }},
        {"deep", TPage::BeforeLast, true, [&] { form->PreviousPageButtonClick(); }},
        {"next", TPage::Last, false, [&] { form->NextPageButtonClick(); }},
        {"first-button", TPage::First, false, [&] { form->FirstPageButtonClick(); }},
        {"page-size", TPage::First, false, [&] { form->cbRecordsPerPage->setCurrentIndex(pageSizeIndex - 1); }},
        {"page-size-back", TPage::First, false, [&] { form->cbRecordsPerPage->setCurrentIndex(pageSizeIndex); }},
    };

    // The page shown must be the one asked for, with the rows it must have; the statement
    // the window ran must be the repository's text for the window's filters.
    auto check = [&](const TCase& c) {
        const int pageSize = form->cbRecordsPerPage->currentText().toInt();
        const TReportFilters& f = form->CurrentFilters();
        const int records = form->CurrentRecCount();
        const int pages = pageSize > 0 ? (records + pageSize - 1) / pageSize : 0;
        if (f.RecordsPerPage != pageSize)
            Fail(QStringLiteral("page size %1, expected %2").arg(f.RecordsPerPage).arg(pageSize));
        if (f.FromDate != DateToDays(fromDate) || f.ToDate != DateToDays(toDate))
            Fail(QStringLiteral("the period filter did not reach the query"));
        if (pages < 3)
            Fail(QStringLiteral("%1 records are fewer than three pages of %2: no deep page").arg(records).arg(pageSize));
        const int wantPage = c.Want == TPage::First ? 0 : c.Want == TPage::Last ? pages - 1 : pages - 2;
        const int wantRows = wantPage == pages - 1 ? records - (pages - 1) * pageSize : pageSize;
        const int rows = form->DataSource().rowCount();
        if (f.PageNumber != wantPage || rows != wantRows || rows <= 0 ||
            form->LoadingState() != TLoadingState::lsLoaded || !form->ReportDBGrid->isVisible())
            Fail(QStringLiteral("%1 page: page %2 with %3 rows shown, expected page %4 with %5 rows")
                     .arg(QLatin1String(c.Name)).arg(f.PageNumber).arg(rows).arg(wantPage).arg(wantRows));
        QString reportSql, countSql;
        repository.FillSalesDetailQuery(reportSql, countSql, f);
        if (reportSql != pageQuery.SQL())
            Fail(QStringLiteral("the window ran another page query: ") + pageQuery.SQL());
        return std::pair{reportSql, countSql};
    };

    // The untimed round: caches of the engine, the driver and the window warmed.
    if (pageSizeIndex < 1)
        Fail(QStringLiteral("the page size box needs a size before index %1").arg(pageSizeIndex));
    for (const TCase& c : cases) {
        click(c.Click);
        const auto [reportSql, countSql] = check(c);
        if (printSql && c.Timed) {
            std::printf("SQL\t%s\tcount\t%s\n", c.Name, countSql.toUtf8().constData());
            std::printf("SQL\t%s\tpage\t%s\n", c.Name, reportSql.toUtf8().constData());
        }
    }
    if (printSql)
        return 0;

    // Export start: the request, until the progress dialog waits for the statement or has
    // begun writing; then Cancel. The longest stall of the window's thread over that time.
    auto exportStart = [&] {
        double stall = -1;
        TExportForm::OnShowing = [&](TExportForm& f) {
            auto* poll = new QTimer(&f);
            QObject::connect(poll, &QTimer::timeout, &f, [&f, &stall, &stallProbe] {
                if (f.btnOk->isVisible()) {
                    f.btnOk->click();
                    return;
                }
                if (stall < 0 && (f.WaitingForStatement() || f.Running())) {
                    stall = stallProbe.Longest();
                    f.btnCancel->click();
                }
            });
            poll->start(1);
        };
        const auto opener = TExportExcelStrategy::OpenWorkbook;
        TExportExcelStrategy::OpenWorkbook = [](const QString&) { return true; };
        alarm(kClickTimeoutSeconds);
        stallProbe.Restart();
        QEvent request(WM_EXPORT_EXCEL);
        QCoreApplication::sendEvent(form.get(), &request);
        alarm(0);
        TExportExcelStrategy::OpenWorkbook = opener;
        TExportForm::OnShowing = nullptr;
        if (stall < 0)
            Fail(QStringLiteral("the export dialog never began"));
        return stall;
    };

    for (int run = 1; run <= repeat; ++run) {
        if (!printSql) {
            std::printf("STALL case=export-start run=%d stall_s=%.6f\n", run, exportStart());
            std::fflush(stdout);
        }
        for (const TCase& c : cases) {
            const TClickTimes t = click(c.Click);
            check(c);
            if (!c.Timed) {
                std::printf("STALL case=%s run=%d stall_s=%.6f\n", c.Name, run, t.Stall);
                std::fflush(stdout);
                continue;
            }
            std::printf("RESULT case=%s run=%d rows=%d records=%d page=%d seconds=%.6f count_s=%.6f page_s=%.6f "
                        "after_open_s=%.6f paint_s=%.6f stall_s=%.6f\n",
                        c.Name, run, form->DataSource().rowCount(), form->CurrentRecCount(),
                        form->CurrentFilters().PageNumber, t.Seconds, t.Count, t.Page, t.AfterOpen, t.Paint, t.Stall);
            std::fflush(stdout);
        }
    }
    return 0;
}
