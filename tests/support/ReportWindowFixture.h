#pragma once
// What the report window tests share: waiting for a window to be idle, reading its grid,
// the scratch databases a window can run on, and the fixture that opens windows.
#include "TestSupport.h"
#include "app/MainUnit.h"
#include "export/ExportExcelUnit.h"
#include "export/ExportUnit.h"
#include "app/ribbon/RibbonMarkup.h"
#include "reports/AbsReportBaseUnit.h"
#include "reports/ItemsUnit.h"
#include "reports/LoadingAnimationUnit.h"
#include "reports/PartnersUnit.h"
#include "reports/PayTypesUnit.h"
#include "reports/PaymentsUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/ReportTotalsUnit.h"
#include "reports/SalesDetailUnit.h"
#include "reports/SalesSummaryUnit.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <csignal>
#include <list>
#include <malloc.h>


// Waits until the window is no longer busy with a page (loaded, or failed and given back)
// nor with the totals that follow it.
inline bool WaitIdle(TAbsReportBaseForm& form)
{
    return PumpUntil([&] {
        const TReportTotals* totals = form.Totals();
        return form.LoadingState() != TLoadingState::lsLoading && !form.PageLoading() &&
               form.ReportButton->isEnabled() &&
               !(totals && (totals->Executing() || totals->State() == TReportTotals::TState::Running));
    });
}

inline QStringList Column(TAbsReportBaseForm& form, int column)
{
    QStringList values;
    for (int r = 0; r < form.DataSource().rowCount(); ++r)
        values << form.DataSource().CellText(r, column);
    return values;
}

inline QStringList Numbers(int from, int to)
{
    QStringList list;
    for (int i = from; i <= to; ++i)
        list << QString::number(i);
    return list;
}

// The scratch databases hold what a report window needs for the item, partner and payment
// type reports, with contents the tests choose: the three lookups, an items table of any
// size, a payment types view whose rows fail to compute (its count works) and, on
// PostgreSQL, a partners view whose rows are slow to produce (its count is quick).
inline void BuildScratchReports(TSqlDataManager& db, int items)
{
    const bool pg = db.DbModel().DbType() == dbPostgres;
    const QStringList sql = {
        QStringLiteral("drop view if exists PartnersAudit"),
        QStringLiteral("drop view if exists PayTypesAudit"),
        QStringLiteral("drop table if exists ItemsAudit"),
        QStringLiteral("drop table if exists StoreFilterAudit"),
        QStringLiteral("drop table if exists FiscalDeviceFilterAudit"),
        QStringLiteral("drop table if exists UserFilterAudit"),
        QStringLiteral("create table StoreFilterAudit (StoreN integer, StoreName varchar(60))"),
        QStringLiteral("insert into StoreFilterAudit values (1, 'Склад Център'), (2, 'Аптека Изток')"),
        QStringLiteral("create table FiscalDeviceFilterAudit (FiscalDeviceN integer, FiscalDeviceName varchar(60))"),
        QStringLiteral("insert into FiscalDeviceFilterAudit values (7, 'ФУ 7')"),
        QStringLiteral("create table UserFilterAudit (UserKod integer, UserName varchar(60))"),
        QStringLiteral("insert into UserFilterAudit values (3, 'Иван Петров')"),
        QStringLiteral("create table ItemsAudit (ItemCode integer, ItemName varchar(60), ItemCreateDate date, "
                       "ItemLastChangeDate date, ItemDeactivatedDate date)"),
        QStringLiteral("insert into ItemsAudit select x, 'Стока ' || x, %2, %3, null from %1")
            .arg(pg ? QStringLiteral("generate_series(1, %1) as g(x)").arg(items)
                    : QStringLiteral("(with recursive c(x) as (select 1 union all select x + 1 from c where x < %1) "
                                     "select x from c) where x <= %1")
                          .arg(items),
                 pg ? QStringLiteral("date '2026-01-05'") : QStringLiteral("'2026-01-05'"),
                 pg ? QStringLiteral("date '2026-02-10'") : QStringLiteral("'2026-02-10'")),
        pg ? QStringLiteral("create view PayTypesAudit as select ItemCode as PayTypeCode, 1 / (ItemCode - ItemCode) "
                            "as PayTypeName, null as PayTypeCreateDate, null as PayTypeChangeDate, null as "
                            "PayTypeDate from ItemsAudit")
           : QStringLiteral("create view PayTypesAudit as select ItemCode as PayTypeCode, "
                            "abs(-9223372036854775807 - ItemCode) as PayTypeName, null as PayTypeCreateDate, "
                            "null as PayTypeChangeDate, null as PayTypeDate from ItemsAudit"),
    };
    for (const QString& s : sql)
        db.FastSql(s);
    // A stable function is left out of a count that does not need its value; pg_sleep
    // alone, being volatile, would make the count slow too.
    if (pg)
        for (const char* s : {
                 "create or replace function slow_text(x integer) returns text language plpgsql stable as "
                 "$$ begin perform pg_sleep(0.2); return x::text; end $$",
                 "create view PartnersAudit as select x as Bulstat, 'Партньор' as PartnerName, slow_text(x) as "
                 "PartnerCreateDate, null as PartnerLastChangeDate, null as PartnerDeactivatedDate "
                 "from generate_series(1, 1000) as g(x)"})
            db.FastSql(QString::fromUtf8(s));
}

class ReportWindow : public ::testing::Test {
protected:
    // No dialog may stay open on a test; those that expect one clear what was seen.
    void TearDown() override
    {
        EXPECT_TRUE(dialogs.seen.isEmpty()) << dialogs.seen.join(QLatin1String(" | ")).toStdString();
    }
    DialogAnswerer dialogs;
    template <class T>
    std::unique_ptr<T> Open(TDbType type, const QString& dsn = {})
    {
        // Each window keeps pointers to its descriptor and repository.
        models.push_back(TestModel(type, dsn));
        repositories.push_back(std::make_unique<TRepository>(type));
        auto form = std::make_unique<T>(nullptr, &models.back(), repositories.back().get());
        form->setAttribute(Qt::WA_DeleteOnClose, false); // the test owns it
        form->resize(1200, 700);
        form->show();
        return form;
    }
    std::unique_ptr<TAbsReportBaseForm> OpenScratchItems(int items)
    {
        auto db = TestManager(dbSqlite, kScratchDsn);
        BuildScratchReports(*db, items);
        return Open<TItemsForm>(dbSqlite, kScratchDsn);
    }

    // The main window shown on the PostgreSQL demo database, its ribbon loaded, its settings
    // in `dir`.
    static std::unique_ptr<TMainForm> MainOnDemo(const QTemporaryDir& dir)
    {
        BuildApplicationRibbonMarkup();
        TUIRibbon::SetSettingsFolders(dir.path(), dir.path());
        auto main = std::make_unique<TMainForm>(QStringList{kPostgresDsn, kPgPassword});
        main->ExeDir = dir.path();
        main->show();
        main->LoadRibbon();
        return main;
    }

    // A main window on the scratch PostgreSQL database with the report `kind` open in it
    // (the partners report: its rows are slow to come). Without a sales summary view the
    // scratch database is no audit database: the message that says so comes first.
    std::unique_ptr<TMainForm> MainWithScratchReport(const QTemporaryDir& dir, TReportKind kind,
                                                     bool auditDatabase = false)
    {
        BuildApplicationRibbonMarkup();
        TUIRibbon::SetSettingsFolders(dir.path(), dir.path());
        auto main = std::make_unique<TMainForm>(QStringList{});
        main->ExeDir = dir.path();
        TSqlDBModel scratch = TestModel(dbPostgres, kScratchPgDsn);
        main->SetRepository(std::make_unique<TRepository>(dbPostgres));
        dialogs.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); };
        main->ConnectTo(scratch);
        EXPECT_EQ(dialogs.seen.size(), auditDatabase ? 0 : 1);
        dialogs.seen.clear();
        main->SetRepository(std::make_unique<TRepository>(dbPostgres));
        main->OpenReportWindow(kind);
        return main;
    }

    std::list<TSqlDBModel> models;
    std::list<std::unique_ptr<TRepository>> repositories;
};

// The session of a window reading a slow view of the scratch PostgreSQL database, in the
// middle of its statement: the only one asleep in the view's function (and running a
// statement `like` the pattern given); 0 when none comes.
inline int SleepingBackend(TSqlDataManager& db, const QString& like = QStringLiteral("%"))
{
    int pid = 0;
    PumpUntil([&] {
        pid = db.FastSql(QStringLiteral("select pid from pg_stat_activity where wait_event = 'PgSleep' "
                                        "and state = 'active' and pid <> pg_backend_pid() and query like ?"),
                         {like})
                  .toInt();
        return pid != 0;
    });
    return pid;
}

// A server process stopped (SIGSTOP) while this lives; it goes on again however a test ends.
struct TStoppedBackend {
    explicit TStoppedBackend(int pid) : Pid(pid) { Stopped = ::kill(pid, SIGSTOP) == 0; }
    ~TStoppedBackend() { ::kill(Pid, SIGCONT); }
    TStoppedBackend(const TStoppedBackend&) = delete;
    TStoppedBackend& operator=(const TStoppedBackend&) = delete;
    int Pid;
    bool Stopped;
};

// Connections to the database of `db` other than its own.
inline int OtherBackends(TSqlDataManager& db)
{
    return db.FastSql(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                                     "and pid <> pg_backend_pid()"))
        .toInt();
}
