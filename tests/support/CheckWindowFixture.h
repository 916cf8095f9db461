#pragma once
// What the check window tests share: scratch databases holding the audited views a check and
// the rows behind its findings read, a check with every parameter, and opening check windows.
#include "ReportWindowFixture.h"
#include "checks/CheckCatalogueUnit.h"
#include "checks/CheckEvidenceUnit.h"
#include "checks/CheckFormUnit.h"
#include "checks/CheckOverviewUnit.h"
#include "checks/CheckParamsPanelUnit.h"
#include "checks/CheckSqlUnit.h"
#include "common/CodePage1251.h"

#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QTabWidget>
#include <map>
#include <optional>
#include <set>

// A well-formed UNP.
inline QString GoodUnp(int n) { return QStringLiteral("ABCD1234-0003-%1").arg(n, 7, 10, QLatin1Char('0')); }

// The views of the scratch databases beside those of BuildScratchReports, made as tables
// (or, `slow`, as a view of one whose rows come only after a long sleep, on PostgreSQL).
inline const TReportKind kScratchSalesKinds[] = {rkSalesSummary, rkSalesDetail, rkPayments,  rkReversedSales,
                                                 rkRevokedSales, rkUsersLog,    rkUsers,     rkActivityTypes,
                                                 rkPartners};

inline void DropScratchSales(TSqlDataManager& db)
{
    for (TReportKind kind : kScratchSalesKinds) {
        const QString view = QString::fromUtf16(ReportDef(kind).View);
        for (const QString& sql : {QStringLiteral("drop view if exists %1"), QStringLiteral("drop table if exists %1"),
                                   QStringLiteral("drop table if exists %1Base")})
            try {
                db.FastSql(sql.arg(view));
            } catch (const Exception&) {
                // a view dropped as a table, or a table as a view
            }
    }
}

// The sales `unps` (a null text: a sale without a UNP), one a day from 2026-03-01 in store 1
// on device 7 by operator 3, each with two lines, a payment and a log entry; the activity
// types of the log, one of them looking like markup.
inline void BuildScratchSales(TSqlDataManager& db, const QStringList& unps, TReportKind slow = TReportKind(255))
{
    const bool pg = db.DbModel().DbType() == dbPostgres;
    BuildScratchReports(db, 3);
    DropScratchSales(db);
    if (pg)
        db.FastSql(QStringLiteral("create or replace function checkui_sleep() returns boolean language plpgsql "
                                  "volatile as $$ begin perform pg_sleep(60); return true; end $$"));
    const QStringList numbers = {u"StoreN"_qs,   u"FiscalDeviceN"_qs, u"UserN"_qs,    u"UserID"_qs,
                                 u"DocNomer"_qs, u"UserKod"_qs,       u"UserCode"_qs, u"PosId"_qs};
    for (TReportKind kind : kScratchSalesKinds) {
        const TReportDef& def = ReportDef(kind);
        QStringList names, columns;
        const auto add = [&](const QString& name, TColumnRole role) {
            if (names.contains(name, Qt::CaseInsensitive))
                return;
            names << name;
            const QString type = role == TColumnRole::Amount     ? QStringLiteral("numeric(15,2)")
                                 : numbers.contains(name)        ? QStringLiteral("integer")
                                 : pg && name.endsWith(u"Date")  ? QStringLiteral("date")
                                 : pg && name.endsWith(u"Time")  ? QStringLiteral("time")
                                                                 : QStringLiteral("varchar(200)");
            columns << name + u' ' + type;
        };
        for (int i = 0; i < def.ColumnCount; ++i)
            add(QString::fromUtf16(def.Columns[i].Column), def.Columns[i].Role);
        for (const char16_t* extra : {u"UNP", u"DocNomer", u"StoreName", u"StoreN", u"FiscalDeviceN", u"UserN",
                                      u"EndDocDate", u"EndDocTime", u"SaleRevokedTime"})
            add(QString::fromUtf16(extra), TColumnRole::Other);
        const QString view = QString::fromUtf16(def.View);
        if (kind == slow && pg) {
            db.FastSql(QStringLiteral("create table %1Base (%2)").arg(view, columns.join(u", ")));
            db.FastSql(QStringLiteral("create view %1 as select * from %1Base where checkui_sleep()").arg(view));
        } else {
            db.FastSql(QStringLiteral("create table %1 (%2)").arg(view, columns.join(u", ")));
        }
    }
    const auto table = [&](TReportKind kind) {
        return QString::fromUtf16(ReportDef(kind).View) + (kind == slow && pg ? QStringLiteral("Base") : QString());
    };
    const auto date = [pg](int day) {
        const QString text = QStringLiteral("'2026-03-%1'").arg(day, 2, 10, QLatin1Char('0'));
        return pg ? QStringLiteral("date ") + text : text;
    };
    const QString time = pg ? QStringLiteral("time '10:15:00'") : QStringLiteral("'10:15:00'");
    for (int i = 0; i < unps.size(); ++i) {
        const QString unp = unps[i].isNull() ? QStringLiteral("NULL") : QStringLiteral("?");
        const std::vector<QVariant> bound = unps[i].isNull() ? std::vector<QVariant>{} : std::vector<QVariant>{unps[i]};
        const int day = 1 + i % 28;
        db.FastSql(QStringLiteral("insert into %1 (UNP, DocNomer, StoreName, StoreN, FiscalDeviceN, UserN, UserKod, "
                                  "EndDocDate, EndDocTime, TotalSumWithVAT) values (%2, %3, 'Склад Център', 1, 7, 3, "
                                  "3, %4, %5, 12.50)")
                       .arg(table(rkSalesSummary), unp)
                       .arg(i + 1)
                       .arg(date(day), time),
                   bound);
        for (int line = 1; line <= 2; ++line)
            db.FastSql(QStringLiteral("insert into %1 (UNP, DocNomer, ItemCode, ItemName, CostSum, EndDocDate, StoreN) "
                                      "values (%2, %3, '%4', 'Стока %4', 6.25, %5, 1)")
                           .arg(table(rkSalesDetail), unp)
                           .arg(i + 1)
                           .arg(line)
                           .arg(date(day)),
                       bound);
        db.FastSql(QStringLiteral("insert into %1 (UNP, DocNomer, TotalSumWithVAT, PayTypeName, EndDocDate, StoreN) "
                                  "values (%2, %3, 12.50, 'В брой', %4, 1)")
                       .arg(table(rkPayments), unp)
                       .arg(i + 1)
                       .arg(date(day)),
                   bound);
        db.FastSql(QStringLiteral("insert into %1 (UserID, UserName, ActivityType, UNP, EndDocDate) values (3, "
                                  "'Иван Петров', 'Продажба', %2, %3)")
                       .arg(table(rkUsersLog), unp, date(day)),
                   bound);
    }
    db.FastSql(QStringLiteral("insert into %1 (OperationCode, OperationName) values ('1', 'Продажба'), "
                              "('2', 'Сторниране на продажба'), ('3', '<b>Анулиране</b>')")
                   .arg(table(rkActivityTypes)));
}

// Sessions of the scratch PostgreSQL database asleep in a statement.
inline int Sleepers(TSqlDataManager& db)
{
    return db.FastSql(QStringLiteral("select count(*) from pg_stat_activity where wait_event = 'PgSleep' and "
                                     "state = 'active' and pid <> pg_backend_pid()"))
        .toInt();
}

// A check that takes every parameter: its findings are the sales with a UNP, each with the
// tolerance and the minutes of the run in columns of their own.
inline QString ParamsCheckSql(const TCheckSql& sql)
{
    return QStringLiteral("SELECT UNP, %1 AS Tolerance, %2 AS Minutes, 'Проба' AS Finding FROM SalesSummaryAudit "
                          "WHERE UNP IS NOT NULL%3")
        .arg(sql.Params().ToleranceCents)
        .arg(sql.Params().OpenMinutes)
        .arg(sql.AndFilters());
}
inline constexpr TReportColumn kParamsCheckColumns[] = {
    {u"UNP", u"УНП", TColumnRole::Text},
    {u"Tolerance", u"Допуск"},
    {u"Minutes", u"Минути"},
    {u"Finding", u"Описание", TColumnRole::Text},
};
inline const TCheckDef kParamsCheck = {
    "test-params", TCheckGroup::Sums, u"Проба с всички параметри", u"Продажбите, с параметрите на проверката.",
    rfPeriod | rfStore, cpTolerance | cpOpenMinutes | cpOpeningHours | cpReversalActivities,
    TReportDef{rkSalesSummary, u"check:test-params", nullptr, kParamsCheckColumns,
               int(std::size(kParamsCheckColumns)), u" ORDER BY UNP"},
    1, -1, TEvidenceKind::Sales, u"UNP", &ParamsCheckSql};

class CheckWindow : public ReportWindow {
protected:
    void TearDown() override
    {
        // The scratch databases are no audit databases for the other tests.
        for (auto [type, dsn] : {std::pair{dbSqlite, kScratchDsn}, std::pair{dbPostgres, kScratchPgDsn}})
            try {
                DropScratchSales(*TestManager(type, dsn));
            } catch (const Exception&) {
            }
        TAbsReportBaseForm::SetExportHandler(nullptr);
        ReportWindow::TearDown();
    }

    std::unique_ptr<TCheckForm> OpenCheck(TDbType type, const QString& dsn, const TCheckDef& def,
                                          const TReportFilters* filters = nullptr)
    {
        models.push_back(TestModel(type, dsn));
        repositories.push_back(std::make_unique<TRepository>(type));
        auto form = filters ? std::make_unique<TCheckForm>(nullptr, &models.back(), repositories.back().get(), def,
                                                           *filters)
                            : std::make_unique<TCheckForm>(nullptr, &models.back(), repositories.back().get(), def);
        form->setAttribute(Qt::WA_DeleteOnClose, false); // the test owns it
        form->resize(1200, 700);
        form->show();
        return form;
    }
    std::unique_ptr<TCheckOverviewForm> OpenOverview(TDbType type, const QString& dsn)
    {
        models.push_back(TestModel(type, dsn));
        repositories.push_back(std::make_unique<TRepository>(type));
        auto form = std::make_unique<TCheckOverviewForm>(nullptr, &models.back(), repositories.back().get());
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        form->resize(1200, 700);
        form->show();
        return form;
    }
    static void SetPeriod(TAbsReportBaseForm& form, QDate from, QDate to)
    {
        form.FromDateFilterPicker->setDate(from);
        form.ToDateFilterPicker->setDate(to);
    }
    // The lines of the window's CSV export, written into the test's folder and read back.
    QStringList ExportLines(TAbsReportBaseForm& form)
    {
        const QString path = QDir(folder.path()).filePath(QStringLiteral("check.csv"));
        TAbsReportBaseForm::SetExportHandler([&](TQuery& query, const RExportOptions& opts, int expected) {
            RExportOptions o = opts;
            o.FileName = path;
            auto strategy = TExportStrategyAbs::GetInstance(o, TExportSource{&query, nullptr}, &query);
            EXPECT_TRUE(strategy->Init(expected) && strategy->MakeExport());
        });
        QFile::remove(path);
        QEvent request(WM_EXPORT_CSV);
        QCoreApplication::sendEvent(&form, &request);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return FromWindows1251(file.readAll()).split(QStringLiteral("\r\n"));
    }
    // Saves a window's picture when AUDITOR_SHOTS_DIR names a folder.
    static void Shot(QWidget& w, const char* name)
    {
        const QString dir = qEnvironmentVariable("AUDITOR_SHOTS_DIR");
        if (!dir.isEmpty())
            w.grab().save(QDir(dir).filePath(QString::fromLatin1(name)));
    }
    QTemporaryDir folder;
};
