// The exporter against the report windows: its table of reports is theirs (caption and
// offered filters), and for the same filters it writes the very file a report window's
// export writes, on both engines.
#include "TestSupport.h"
#include "export/ExportExcelUnit.h"
#include "export/ExportTextUnit.h"
#include "reports/ActivityTypesUnit.h"
#include "reports/ItemsUnit.h"
#include "reports/PartnersUnit.h"
#include "reports/PayTypesUnit.h"
#include "reports/PaymentsUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/ReversedSalesUnit.h"
#include "reports/RevokedSalesUnit.h"
#include "reports/SalesDetailUnit.h"
#include "reports/SalesSummaryUnit.h"
#include "reports/StoresUnit.h"
#include "reports/UsersLogUnit.h"
#include "reports/UsersUnit.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

std::unique_ptr<TAbsReportBaseForm> OpenWindow(TReportKind kind, const TSqlDBModel* model, TRepository* repository)
{
    std::unique_ptr<TAbsReportBaseForm> w;
    switch (kind) {
    case rkSalesSummary: w = std::make_unique<TSalesSummaryForm>(nullptr, model, repository); break;
    case rkSalesDetail: w = std::make_unique<TSalesDetailForm>(nullptr, model, repository); break;
    case rkPayments: w = std::make_unique<TPaymentsForm>(nullptr, model, repository); break;
    case rkReversedSales: w = std::make_unique<TReversedSalesForm>(nullptr, model, repository); break;
    case rkRevokedSales: w = std::make_unique<TRevokedSalesForm>(nullptr, model, repository); break;
    case rkItems: w = std::make_unique<TItemsForm>(nullptr, model, repository); break;
    case rkPartners: w = std::make_unique<TPartnersForm>(nullptr, model, repository); break;
    case rkActivityTypes: w = std::make_unique<TActivityTypesForm>(nullptr, model, repository); break;
    case rkPayTypes: w = std::make_unique<TPayTypesForm>(nullptr, model, repository); break;
    case rkStores: w = std::make_unique<TStoresForm>(nullptr, model, repository); break;
    case rkUsers: w = std::make_unique<TUsersForm>(nullptr, model, repository); break;
    case rkUsersLog: w = std::make_unique<TUsersLogForm>(nullptr, model, repository); break;
    }
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    return w;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonArray ReadWorkbook(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(AUDITOR_SOURCE_DIR "/tests/support/read_xlsx.py"), path});
    p.waitForFinished(120000);
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}

QJsonObject FilterRecord(const QString& name)
{
    for (const QJsonValue v : ExpectedNumbers()[QStringLiteral("filters")].toArray())
        if (v[QStringLiteral("name")].toString() == name)
            return v.toObject();
    ADD_FAILURE() << "no filter record " << name.toStdString();
    return {};
}

TEST(ExporterReports, AreTheReportWindows)
{
    TSqlDBModel model = TestModel(dbSqlite);
    TRepository repository(dbSqlite);
    for (const TReportListItem& r : ReportList()) {
        SCOPED_TRACE(r.Key);
        const auto window = OpenWindow(r.Kind, &model, &repository);
        EXPECT_EQ(window->windowTitle(), QString::fromUtf16(r.Title));
        EXPECT_EQ(window->ReportUIFilters(), r.Filters);
    }
}

class ExporterAndWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialogs.ignore = [](QWidget* w) { return dynamic_cast<TExportForm*>(w) != nullptr; };
        TExportForm::OnShowing = [this](TExportForm& f) {
            auto* poll = new QTimer(&f);
            QObject::connect(poll, &QTimer::timeout, &f, [this, &f] {
                if (f.btnOk->isVisible()) {
                    outcome = f.lblInfo->text();
                    f.btnOk->click();
                }
            });
            poll->start(10);
        };
        desktopOpener = TExportExcelStrategy::OpenWorkbook;
    }
    void TearDown() override
    {
        TExportForm::OnShowing = nullptr;
        TExportExcelStrategy::OpenWorkbook = desktopOpener;
        EXPECT_TRUE(dialogs.seen.isEmpty()) << dialogs.seen.join(QLatin1String(" | ")).toStdString();
    }
    // The window's export of the result of its latest run, saved where the save dialog
    // offers it: `folder`, named after the window. Returns the file's path.
    QString WindowCsv(TAbsReportBaseForm& window, const QString& folder)
    {
        TExportTextStrategy::LastExportDir = folder;
        dialogs.answer = [](QWidget* w) {
            auto* fd = qobject_cast<QFileDialog*>(w);
            ASSERT_TRUE(fd);
            static_cast<QDialog*>(fd)->accept();
        };
        outcome.clear();
        QEvent request(WM_EXPORT_CSV);
        QCoreApplication::sendEvent(&window, &request);
        EXPECT_EQ(outcome, QStringLiteral("Data was exported succesfully!"));
        dialogs.seen.clear();
        return QDir(folder).filePath(window.windowTitle() + QStringLiteral(".csv"));
    }
    // The window's spreadsheet, as it would be opened for the user.
    QString WindowWorkbook(TAbsReportBaseForm& window)
    {
        QString opened;
        TExportExcelStrategy::OpenWorkbook = [&opened](const QString& path) {
            opened = path;
            return true;
        };
        outcome.clear();
        QEvent request(WM_EXPORT_EXCEL);
        QCoreApplication::sendEvent(&window, &request);
        TExportExcelStrategy::OpenWorkbook = desktopOpener;
        EXPECT_EQ(outcome, QStringLiteral("Data was exported succesfully!"));
        return opened;
    }

    DialogAnswerer dialogs;
    QTemporaryDir dir;
    QString outcome;
    std::function<bool(const QString&)> desktopOpener;
};

// The window is given a filter record of the generator through its own pickers and lookups,
// runs the report and exports; the exporter gets the same filters as options. A window that
// offers the period always filters by it: for a record without one, `wholePeriod` sets the
// pickers to the first and last day of the data, which selects the rows of no period.
TEST_F(ExporterAndWindow, WriteTheSameFiles)
{
    const struct {
        TDbType type;
        const char* key;
        const char* record;
        bool wholePeriod;
    } cases[] = {
        {dbSqlite, "sales-summary", "monthStore", false},
        {dbPostgres, "sales-summary", "monthStore", false},
        {dbSqlite, "sales-detail", "monthUser", false},
        {dbPostgres, "payments", "device", true},
        {dbPostgres, "users-log", "day", false},
        {dbSqlite, "items", "all", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 on %2, %3")
                         .arg(QLatin1String(c.key), c.type == dbSqlite ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL"),
                              QLatin1String(c.record))
                         .toStdString());
        const TReportListItem* report = nullptr;
        for (const TReportListItem& r : ReportList())
            if (QLatin1String(r.Key) == QLatin1String(c.key))
                report = &r;
        ASSERT_TRUE(report);
        const QJsonObject rec = FilterRecord(QString::fromLatin1(c.record));

        TSqlDBModel model = TestModel(c.type);
        TRepository repository(c.type);
        const auto window = OpenWindow(report->Kind, &model, &repository);
        window->show();
        QStringList args = {"--dsn", model.DSN, "--report", QLatin1String(c.key)};
        if (c.type == dbPostgres)
            args << "--user" << model.UserName << "--password" << model.Password;
        const QString from = c.wholePeriod ? ExpectedNumbers()[QStringLiteral("firstDate")].toString()
                                           : rec[QStringLiteral("FromDate")].toString();
        const QString to = c.wholePeriod ? ExpectedNumbers()[QStringLiteral("lastDate")].toString()
                                         : rec[QStringLiteral("ToDate")].toString();
        if (report->Filters & rfPeriod) {
            ASSERT_FALSE(from.isEmpty() || to.isEmpty());
            window->FromDateFilterPicker->setDate(QDate::fromString(from, Qt::ISODate));
            window->ToDateFilterPicker->setDate(QDate::fromString(to, Qt::ISODate));
            args << "--from" << from << "--to" << to;
        }
        const struct {
            const char* field;
            QComboBox* lookup;
            const char* option;
        } keyed[] = {{"StoreN", window->StoreFilterLookup, "--store"},
                     {"FiscalDeviceN", window->FiscalDeviceFilterLookup, "--fiscal-device"},
                     {"UserN", window->UserFilterLookup, "--operator"}};
        for (const auto& k : keyed) {
            const int n = rec[QLatin1String(k.field)].toInt();
            if (n == 0)
                continue;
            const int index = k.lookup->findData(QString::number(n));
            ASSERT_GE(index, 0) << k.field << " " << n;
            k.lookup->setCurrentIndex(index);
            args << QLatin1String(k.option) << QString::number(n);
        }
        window->ReportButtonClick();
        ASSERT_TRUE(PumpUntil([&] { return window->LoadingState() == TLoadingState::lsLoaded; }));
        ASSERT_EQ(window->CurrentRecCount(),
                  rec[QStringLiteral("counts")][QString::fromUtf16(ReportDef(report->Kind).View)].toInt());
        ASSERT_GT(window->CurrentRecCount(), 1);

        const QString folder = dir.filePath(QStringLiteral("%1-%2").arg(QLatin1String(c.key), QLatin1String(c.record)) +
                                            (c.type == dbSqlite ? QStringLiteral("-sqlite") : QStringLiteral("-pg")));
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString windowCsv = WindowCsv(*window, folder);
        const QString toolCsv = QDir(folder).filePath(QStringLiteral("tool.csv"));
        QProcess p;
        p.start(QStringLiteral(AUDITOR_BIN_DIR "/auditor-export"),
                args + QStringList{"--format", "csv", "--output", toolCsv});
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QByteArray written = ReadAll(windowCsv);
        EXPECT_EQ(written.count("\r\n"), window->CurrentRecCount() + 1);
        EXPECT_TRUE(written == ReadAll(toolCsv)) << "the two CSV files differ";

        const QString windowXlsx = WindowWorkbook(*window);
        ASSERT_FALSE(windowXlsx.isEmpty());
        const QString toolXlsx = QDir(folder).filePath(QStringLiteral("tool.xlsx"));
        p.start(QStringLiteral(AUDITOR_BIN_DIR "/auditor-export"),
                args + QStringList{"--format", "xlsx", "--output", toolXlsx});
        ASSERT_TRUE(p.waitForFinished(120000));
        ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QJsonArray fromWindow = ReadWorkbook(windowXlsx);
        QFile::remove(windowXlsx);
        ASSERT_EQ(fromWindow.size(), 1);
        EXPECT_EQ(fromWindow[0][QStringLiteral("rows")].toArray().size(), window->CurrentRecCount() + 1);
        EXPECT_TRUE(fromWindow == ReadWorkbook(toolXlsx)) << "the two workbooks differ";
        window->close();
    }
}

} // namespace
