// bench_window_open: how long a report window takes to open, from the command to its first
// paint with the three filter lookups (stores, fiscal devices, operators) filled, as the main
// window opens it (its own connection, the lookups run on the window's thread, then shown).
//
// Usage: bench_window_open --dsn DSN --driver DESCRIPTION [--user U --password P]
//                          [--repeat N] [--print-sql]
//   --repeat N     windows opened and closed (default 5), after one untimed window that
//                  warms the caches
//   --print-sql    print the three lookup statements, one a line (line breaks turned into
//                  spaces), as  SQL <TAB> stores|fiscal-devices|operators <TAB> text; and stop
//
// One line per timed window:
//   RESULT run=K seconds=... connect_s=... lookups_s=... widgets_s=... paint_s=...
//          stores=N fiscal_devices=N operators=N
// seconds: from the command to the end of the window's first paint. Its phases, told apart
// by the data layer's busy hooks (the database work on the window's thread): connect_s, the
// window's own connection opened; lookups_s, the three lookup statements run and fetched;
// widgets_s, the rest of the constructor (the widgets built, the boxes filled); paint_s,
// shown and painted.
// Before anything is timed, each box must hold every row of its lookup statement (counted by
// the bench itself), plus the "all" entry. Exit code 2: the window failed.

#include "BenchSupport.h"
#include "db/Exception.h"
#include "db/OdbcConnectionUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/RepositoryUnit.h"
#include "reports/SalesDetailUnit.h"

#include <QApplication>
#include <QComboBox>
#include <QWindow>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void Fail(const QString& message) { FailRun("bench_window_open", message); }

[[noreturn]] void Usage()
{
    std::fprintf(stderr, "usage: bench_window_open --dsn DSN --driver DESCRIPTION [--user U --password P]\n"
                         "                         [--repeat N] [--print-sql]\n");
    std::exit(1);
}

// Marks the first paint of a widget.
class TPaintWatch : public QObject {
public:
    bool Painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            Painted = true;
        return QObject::eventFilter(watched, event);
    }
};

constexpr TLookupKind kKinds[] = {TLookupKind::Stores, TLookupKind::FiscalDevices, TLookupKind::Operators};

QComboBox* BoxOf(TSalesDetailForm& form, TLookupKind kind)
{
    switch (kind) {
    case TLookupKind::Stores:
        return form.StoreFilterLookup;
    case TLookupKind::FiscalDevices:
        return form.FiscalDeviceFilterLookup;
    case TLookupKind::Operators:
        break;
    }
    return form.UserFilterLookup;
}

// The database work on the window's thread: the busy hooks of the data layer note each
// stretch (the connection first, then the statements).
std::vector<std::pair<double, double>> gBusy;
void BusyBegin() { gBusy.emplace_back(Now(), -1.0); }
void BusyEnd()
{
    if (!gBusy.empty())
        gBusy.back().second = Now();
}

struct TOpenTimes {
    double Seconds = 0, Connect = 0, Lookups = 0, Widgets = 0, Paint = 0;
    int Entries[3] = {};
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString dsn, driver, user, password;
    int repeat = 5;
    bool printSql = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&]() -> QString { if (i + 1 >= args.size()) Usage(); return args[++i]; };
        if (a == QLatin1String("--dsn")) dsn = value();
        else if (a == QLatin1String("--driver")) driver = value();
        else if (a == QLatin1String("--user")) user = value();
        else if (a == QLatin1String("--password")) password = value();
        else if (a == QLatin1String("--repeat")) repeat = std::max(1, value().toInt());
        else if (a == QLatin1String("--print-sql")) printSql = true;
        else Usage();
    }
    if (dsn.isEmpty() || driver.isEmpty())
        Usage();
    if (printSql) {
        for (TLookupKind kind : kKinds) {
            const TLookupListItem& l = LookupListItem(kind);
            std::printf("SQL\t%s\t%s\n", l.Key,
                        QString::fromUtf16(l.Sql).replace(QLatin1Char('\n'), QLatin1Char(' ')).toUtf8().constData());
        }
        return 0;
    }

    TSqlDBModel model(dsn, driver);
    model.UserName = user;
    model.Password = password;
    TRepository repository(model.DbType());

    // What each box must hold: the rows of its statement, counted apart from the window.
    int expected[3] = {};
    try {
        std::unique_ptr<TSqlDataManager> manager = TSqlDataModule::CreateManager(&model);
        TOdbcConnection& connection = manager->OpenConnection();
        for (int k = 0; k < 3; ++k) {
            TQuery q;
            q.SetConnection(&connection);
            q.SetSQL(QStringLiteral("SELECT count(*) FROM (") + QString::fromUtf16(LookupListItem(kKinds[k]).Sql) +
                     QStringLiteral(") AS l"));
            q.Open();
            expected[k] = int(q.Fields(0).AsLargeInt());
        }
    } catch (const Exception& e) {
        Fail(e.Message());
    }
    TDbBusyScope::InstallHooks(&BusyBegin, &BusyEnd);

    auto open = [&] {
        TOpenTimes t;
        gBusy.clear();
        const double t0 = Now();
        std::unique_ptr<TSalesDetailForm> form;
        try {
            form = std::make_unique<TSalesDetailForm>(nullptr, &model, &repository);
        } catch (const Exception& e) {
            Fail(e.Message());
        }
        const double built = Now();
        if (gBusy.size() != 4)
            Fail(QStringLiteral("the window did %1 stretches of database work, expected 4 (connect, three lookups)")
                     .arg(gBusy.size()));
        for (size_t k = 0; k < gBusy.size(); ++k)
            (k == 0 ? t.Connect : t.Lookups) += gBusy[k].second - gBusy[k].first;
        TPaintWatch watch;
        form->installEventFilter(&watch);
        form->resize(1280, 800);
        form->show();
        while (!watch.Painted)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double t1 = Now();
        t.Seconds = t1 - t0;
        t.Widgets = built - t0 - t.Connect - t.Lookups;
        t.Paint = t1 - built;
        for (int k = 0; k < 3; ++k)
            t.Entries[k] = BoxOf(*form, kKinds[k])->count() - 1; // less the "all" entry
        form->removeEventFilter(&watch);
        form.reset();
        QCoreApplication::processEvents();
        return t;
    };

    auto check = [&](const TOpenTimes& t) {
        for (int k = 0; k < 3; ++k)
            if (t.Entries[k] != expected[k])
                Fail(QStringLiteral("the %1 box holds %2 entries, its statement gives %3")
                         .arg(QLatin1String(LookupListItem(kKinds[k]).Key))
                         .arg(t.Entries[k])
                         .arg(expected[k]));
    };

    check(open()); // untimed: caches warmed
    for (int run = 1; run <= repeat; ++run) {
        const TOpenTimes t = open();
        check(t);
        std::printf("RESULT run=%d seconds=%.6f connect_s=%.6f lookups_s=%.6f widgets_s=%.6f paint_s=%.6f "
                    "stores=%d fiscal_devices=%d operators=%d\n",
                    run, t.Seconds, t.Connect, t.Lookups, t.Widgets, t.Paint, t.Entries[0], t.Entries[1],
                    t.Entries[2]);
        std::fflush(stdout);
    }
    return 0;
}
