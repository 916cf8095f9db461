// bench_window_memory: what a report window leaves behind when it is opened and closed again
// and again, as the main window opens it (its own connection, the three filter lookups, shown,
// optionally its first page loaded), then closed and freed.
//
// Usage: bench_window_memory --dsn DSN --driver DESCRIPTION [--user U --password P]
//                            [--cycles N] [--every K] [--report] [--quick-exit]
//   --cycles N   windows opened and closed (default 200)
//   --every K    a line every K cycles (default 20)
//   --report     press Report in each window and wait for its first page
//   --quick-exit end at once (_Exit, no destructors), so that a heap profiler reports what
//                the program still holds after the last window as not freed (heaptrack: the
//                runs of two --cycles compared with heaptrack_print -l -d)
//
// One line per K cycles, after the heap's free memory has been given back (malloc_trim):
//   RESULT cycle=N rss_kb=... heap_kb=... threads=...
// rss_kb: the process's resident set (VmRSS); heap_kb: bytes malloc holds in use
// (mallinfo2().uordblks); threads: the process's threads. Exit code 2: a window failed.

#include "BenchSupport.h"
#include "db/Exception.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"
#include "reports/SalesDetailUnit.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <cstdio>
#include <malloc.h>
#include <memory>

namespace {

[[noreturn]] void Fail(const QString& message) { FailRun("bench_window_memory", message); }

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: bench_window_memory --dsn DSN --driver DESCRIPTION [--user U --password P]\n"
                         "                           [--cycles N] [--every K] [--report] [--quick-exit]\n");
    std::exit(1);
}

// A number of /proc/self/status ("VmRSS" in kB, "Threads").
long StatusField(const QByteArray& name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').first().toLong();
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dsn, driver, user, password;
    int cycles = 200, every = 20;
    bool report = false, quickExit = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString { if (i + 1 >= args.size()) Usage(); return args[++i]; };
        if (a == QLatin1String("--dsn")) dsn = value();
        else if (a == QLatin1String("--driver")) driver = value();
        else if (a == QLatin1String("--user")) user = value();
        else if (a == QLatin1String("--password")) password = value();
        else if (a == QLatin1String("--cycles")) cycles = std::max(1, value().toInt());
        else if (a == QLatin1String("--every")) every = std::max(1, value().toInt());
        else if (a == QLatin1String("--report")) report = true;
        else if (a == QLatin1String("--quick-exit")) quickExit = true;
        else Usage();
    }
    if (dsn.isEmpty() || driver.isEmpty())
        Usage();

    TSqlDBModel model(dsn, driver);
    model.UserName = user;
    model.Password = password;
    TRepository repository(model.DbType());

    for (int cycle = 1; cycle <= cycles; ++cycle) {
        std::unique_ptr<TSalesDetailForm> form;
        try {
            form = std::make_unique<TSalesDetailForm>(nullptr, &model, &repository);
        } catch (const Exception& e) {
            Fail(e.Message());
        }
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->resize(1280, 800);
        form->show();
        QCoreApplication::processEvents();
        if (report) {
            form->ReportButtonClick();
            while (form->LoadingState() == TLoadingState::lsLoading || form->PageLoading() ||
                   !form->ReportButton->isEnabled())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        form->close();
        form.reset();
        QCoreApplication::processEvents();
        if (cycle % every == 0 || cycle == 1) {
            malloc_trim(0);
            std::printf("RESULT cycle=%d rss_kb=%ld heap_kb=%zu threads=%ld\n", cycle, StatusField("VmRSS"),
                        mallinfo2().uordblks / 1024, StatusField("Threads"));
            std::fflush(stdout);
        }
    }
    if (quickExit)
        std::_Exit(0);
    return 0;
}
