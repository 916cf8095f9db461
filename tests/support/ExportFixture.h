#pragma once
// What the export tests share: reading a file or a workbook back, the scratch table a report
// window exports, and the fixture with its export folder and report windows.
#include "TestSupport.h"
#include "common/CodePage1251.h"
#include "db/DataSourceUnit.h"
#include "export/ExportExcelUnit.h"
#include "export/ExportTextUnit.h"
#include "export/ExportUnit.h"
#include "export/ZipReadBackUnit.h"
#include "reports/ItemsUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>


inline QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A scratch table whose values exercise every rule of the writers.
inline void BuildExportTable(TSqlDataManager& db, int extraRows = 0)
{
    for (const QString& s : {
             QStringLiteral("drop table if exists ExportCases"),
             QStringLiteral("create table ExportCases (Code integer, Name varchar(60), Amount numeric(12,2), "
                            "Day date, Note varchar(60))"),
             QStringLiteral("insert into ExportCases values (1, 'Хляб „Добруджа“', 12.5, '2026-03-01', 'a\tb')"),
             QStringLiteral("insert into ExportCases values (2, 'C:\\път', -0.25, '2025-12-31', 'ред 1' || char(13) || "
                            "char(10) || 'ред 2')"),
             QStringLiteral("insert into ExportCases values (3, '中文 €', 1000, null, null)"),
         })
        db.FastSql(s);
    if (extraRows > 0)
        db.FastSql(QStringLiteral("insert into ExportCases with recursive c(x) as (select 4 union all select x + 1 "
                                  "from c where x < %1) select x, 'ред ' || x, x * 1.5, '2026-01-01', 'бел.' from c")
                       .arg(3 + extraRows));
}

inline const char* const kCasesSql = "select Code as \"Код\", Name as \"Име\", Amount as \"Сума лв.\", Day as \"Дата\", "
                                     "Note as \"Бележка\" from ExportCases order by Code";

class Export : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The progress dialogs are answered through TExportForm::OnShowing.
        dialogs.ignore = [](QWidget* w) { return dynamic_cast<TExportForm*>(w) != nullptr; };
        db = TestManager(dbSqlite, kScratchDsn);
        BuildExportTable(*db);
        query = std::make_unique<TQuery>(&db->Connection(), ckForwardOnly);
    }
    void TearDown() override
    {
        EXPECT_TRUE(dialogs.seen.isEmpty()) << dialogs.seen.join(QLatin1String(" | ")).toStdString();
        TExportForm::OnShowing = nullptr;
    }
    TQuery& Open(const QString& sql = QString::fromUtf8(kCasesSql))
    {
        query->Close();
        query->SetSQL(sql);
        query->Open();
        return *query;
    }
    // Runs the strategy of `opts` on the open query without the dialog; records its
    // progress texts. `cancelAfter` >= 0 presses Cancel at the pump after that many records.
    bool Run(RExportOptions opts, int recCount, QStringList* progress = nullptr, int cancelAfter = -1)
    {
        auto strategy = TExportStrategyAbs::GetInstance(opts, TExportSource{query.get(), nullptr}, query.get());
        int last = 0;
        strategy->OnReportProgress = [&](int p, const QString& info) {
            last = p;
            if (progress)
                *progress << info;
        };
        strategy->OnPumpMessages = [&] {
            if (cancelAfter >= 0 && last >= cancelAfter)
                strategy->IsCanceled = true;
        };
        strategy->OnShowError = [&](const QString& m) { errors << m; };
        EXPECT_TRUE(strategy->Init(recCount));
        return strategy->MakeExport();
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    // Runs the strategy of `opts` on a query of the test's own, standing on its first row.
    static bool RunOn(TQuery& q, const RExportOptions& opts)
    {
        auto strategy = TExportStrategyAbs::GetInstance(opts, TExportSource{&q, nullptr}, &q);
        return strategy->Init(int(q.RecordCount())) && strategy->MakeExport();
    }

    DialogAnswerer dialogs;
    QTemporaryDir dir;
    std::unique_ptr<TSqlDataManager> db;
    std::unique_ptr<TQuery> query;
    QStringList errors;
};
inline QJsonArray ReadWorkbook(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(AUDITOR_SOURCE_DIR "/tests/support/read_xlsx.py"), path});
    p.waitForFinished(120000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}
