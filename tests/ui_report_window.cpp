// Report windows on the offscreen platform against real databases: the pager, the filter
// panel, the twelve reports, loading in the background, failures and closing mid-load.
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

namespace {

// Waits until the window is no longer busy with a page: loaded, or failed and given back.
bool WaitIdle(TAbsReportBaseForm& form)
{
    return PumpUntil([&] { return form.LoadingState() != TLoadingState::lsLoading && !form.PageLoading() &&
                                  form.ReportButton->isEnabled(); });
}

QStringList Column(TAbsReportBaseForm& form, int column)
{
    QStringList values;
    for (int r = 0; r < form.DataSource().rowCount(); ++r)
        values << form.DataSource().CellText(r, column);
    return values;
}

QStringList Numbers(int from, int to)
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
void BuildScratchReports(TSqlDataManager& db, int items)
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

    // A main window on the scratch PostgreSQL database (after the message that it is no
    // audit database) with the partners report open in it: its rows are slow to come.
    std::unique_ptr<TMainForm> MainWithScratchPartners(const QTemporaryDir& dir)
    {
        BuildApplicationRibbonMarkup();
        TUIRibbon::SetSettingsFolders(dir.path(), dir.path());
        auto main = std::make_unique<TMainForm>(QStringList{});
        main->ExeDir = dir.path();
        TSqlDBModel scratch = TestModel(dbPostgres, kScratchPgDsn);
        main->SetRepository(std::make_unique<TRepository>(dbPostgres));
        dialogs.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); };
        main->ConnectTo(scratch); // the repository check fails on the scratch database: its message
        EXPECT_EQ(dialogs.seen.size(), 1);
        dialogs.seen.clear();
        main->SetRepository(std::make_unique<TRepository>(dbPostgres));
        main->OpenReportWindow(rkPartners);
        return main;
    }

    std::list<TSqlDBModel> models;
    std::list<std::unique_ptr<TRepository>> repositories;
};

// Connections to the database of `db` other than its own.
int OtherBackends(TSqlDataManager& db)
{
    return db.FastSql(QStringLiteral("select count(*) from pg_stat_activity where datname = current_database() "
                                     "and pid <> pg_backend_pid()"))
        .toInt();
}

struct PagerStep {
    const char* action;        // "report", "next", "previous", "last", "first", "size100"
    QStringList captions;      // First, Previous, Current, Next, Last
    QString enabled;           // First, Previous, Next, Last: '1' enabled, '0' disabled
    int firstRow, lastRow;     // item codes shown (0, 0: none)
};

struct PagerCase {
    const char* name;
    int items;
    std::vector<PagerStep> steps;
};

TEST_F(ReportWindow, PagerFollowsItsTable)
{
    const QStringList page1 = {"1", "1", "1", "2", "3"};
    const QStringList page2 = {"1", "1", "2", "3", "3"};
    const QStringList page3 = {"1", "2", "3", "3", "3"};
    const PagerCase cases[] = {
        {"1001 rows at 500",
         1001,
         {{"report", page1, "0011", 1, 500},
          {"next", page2, "1111", 501, 1000},
          {"next", page3, "1100", 1001, 1001},
          {"first", page1, "0011", 1, 500},
          {"last", page3, "1100", 1001, 1001},
          {"previous", page2, "1111", 501, 1000},
          {"previous", page1, "0011", 1, 500}}},
        {"no rows", 0, {{"report", {"1", "1", "1", "0", "0"}, "0000", 0, 0}}},
        {"exactly one page", 300, {{"report", {"1", "1", "1", "1", "1"}, "0000", 1, 300}}},
        {"page size changed on page 3",
         1001,
         {{"report", page1, "0011", 1, 500},
          {"next", page2, "1111", 501, 1000},
          {"next", page3, "1100", 1001, 1001},
          {"size100", {"1", "1", "1", "2", "11"}, "0011", 1, 100},
          {"last", {"1", "10", "11", "11", "11"}, "1100", 1001, 1001}}},
    };
    for (const PagerCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto form = OpenScratchItems(c.items);
        for (const PagerStep& step : c.steps) {
            SCOPED_TRACE(step.action);
            const QString action = QString::fromLatin1(step.action);
            if (action == QLatin1String("report"))
                QTest::mouseClick(form->ReportButton, Qt::LeftButton);
            else if (action == QLatin1String("next"))
                QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
            else if (action == QLatin1String("previous"))
                QTest::mouseClick(form->PreviousPageButton, Qt::LeftButton);
            else if (action == QLatin1String("last"))
                QTest::mouseClick(form->LastPageButton, Qt::LeftButton);
            else if (action == QLatin1String("first"))
                QTest::mouseClick(form->FirstPageButton, Qt::LeftButton);
            else if (action == QLatin1String("size100"))
                form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("100")));
            // While the page loads, the Report button, the page size and the pager wait.
            EXPECT_FALSE(form->ReportButton->isEnabled() && form->PageLoading());
            ASSERT_TRUE(WaitIdle(*form));
            ASSERT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
            EXPECT_TRUE(form->PagesPanel->isEnabled());
            EXPECT_TRUE(form->cbRecordsPerPage->isEnabled());

            const QStringList captions = {form->FirstPageButton->text(), form->PreviousPageButton->text(),
                                          form->CurrentPageButton->text(), form->NextPageButton->text(),
                                          form->LastPageButton->text()};
            EXPECT_EQ(captions, step.captions);
            QString enabled;
            for (QPushButton* b : {form->FirstPageButton, form->PreviousPageButton, form->NextPageButton,
                                   form->LastPageButton})
                enabled += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
            EXPECT_EQ(enabled, step.enabled);
            EXPECT_FALSE(form->CurrentPageButton->isEnabled());
            EXPECT_EQ(form->CurrentRecCount(), c.items);

            // The rows of the page, against what the scratch table holds.
            const QStringList codes = Column(*form, 0);
            EXPECT_EQ(codes, step.firstRow ? Numbers(step.firstRow, step.lastRow) : QStringList());
            if (step.firstRow) {
                EXPECT_EQ(form->DataSource().CellText(0, 1), QStringLiteral("Стока %1").arg(step.firstRow));
                EXPECT_EQ(form->DataSource().CellText(0, 2), QStringLiteral("05.01.2026"));
                EXPECT_EQ(form->DataSource().headerData(0, Qt::Vertical).toString(), QString::number(step.firstRow));
            }
        }
    }
}

// Rows added between two moves: every move counts again, the Last caption keeps the count
// of the latest fresh run.
TEST_F(ReportWindow, RowsAddedBetweenMovesAreCountedButLastKeepsItsCaption)
{
    auto form = OpenScratchItems(1001);
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    auto db = TestManager(dbSqlite, kScratchDsn);
    db->FastSql(QStringLiteral("insert into ItemsAudit select ItemCode + 1001, 'Стока ' || (ItemCode + 1001), "
                               "ItemCreateDate, ItemLastChangeDate, null from ItemsAudit where ItemCode <= 500"));
    QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), 1501);
    EXPECT_EQ(form->LastPageButton->text(), QStringLiteral("3"));
    QTest::mouseClick(form->LastPageButton, Qt::LeftButton); // to the 4th page of the new count
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(Column(*form, 0), Numbers(1501, 1501));
    EXPECT_EQ(form->CurrentPageButton->text(), QStringLiteral("4"));
    EXPECT_EQ(form->LastPageButton->text(), QStringLiteral("3"));
    QTest::mouseClick(form->FirstPageButton, Qt::LeftButton); // a fresh run: the caption follows
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->LastPageButton->text(), QStringLiteral("4"));
}

// Pager moves keep the filters of the latest run, whatever the filter widgets show since; a
// page-size change before the first run runs the report without any filter.
TEST_F(ReportWindow, PagerKeepsTheFiltersOfTheLatestRun)
{
    QJsonObject month, all;
    for (const QJsonValue v : ExpectedNumbers()[QStringLiteral("filters")].toArray()) {
        if (v[QStringLiteral("name")] == QLatin1String("month"))
            month = v.toObject();
        if (v[QStringLiteral("name")] == QLatin1String("all"))
            all = v.toObject();
    }
    auto count = [](const QJsonObject& rec) {
        return rec[QStringLiteral("counts")][QStringLiteral("SalesDetailsAudit")].toInt();
    };
    ASSERT_GT(count(month), 200);

    auto form = Open<TSalesDetailForm>(dbSqlite);
    // Before the first run: nothing to page through, the page size runs the report.
    for (QPushButton* b : {form->FirstPageButton, form->PreviousPageButton, form->CurrentPageButton,
                           form->NextPageButton, form->LastPageButton})
        EXPECT_FALSE(b->isEnabled());
    form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("1000")));
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(all));
    EXPECT_EQ(form->DataSource().rowCount(), 1000);
    EXPECT_EQ(form->CurrentFilters().FromDate, 0);

    form->FromDateFilterPicker->setDate(QDate::fromString(month[QStringLiteral("FromDate")].toString(), Qt::ISODate));
    form->ToDateFilterPicker->setDate(QDate::fromString(month[QStringLiteral("ToDate")].toString(), Qt::ISODate));
    form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->findText(QStringLiteral("100")));
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(all)); // the page size alone does not read the filters

    QTest::mouseClick(form->ReportButton, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(month));
    EXPECT_EQ(form->LastPageButton->text(), QString::number((count(month) + 99) / 100));

    // Filters changed but not run: the next page still belongs to the latest run.
    form->StoreFilterLookup->setCurrentIndex(1);
    form->FromDateFilterPicker->setDate(QDate(2025, 1, 1));
    QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), count(month));
    EXPECT_EQ(form->DataSource().rowCount(), 100);
    EXPECT_EQ(form->DataSource().headerData(0, Qt::Vertical).toString(), QStringLiteral("101"));
}

TEST_F(ReportWindow, FilterPanelToggles)
{
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    auto arrows = [&] {
        return QString::fromLatin1("%1%2%3%4")
            .arg(form->ShowLeftImage->isVisible())
            .arg(form->ShowRightImage->isVisible())
            .arg(form->HideLeftImage->isVisible())
            .arg(form->HideRightImage->isVisible());
    };
    // A new window: today's period, every lookup on "<Всички>", 500 a page, blank grid area.
    EXPECT_TRUE(form->FiltersPanel->isVisible());
    EXPECT_EQ(arrows(), QStringLiteral("0011"));
    EXPECT_EQ(form->FromDateFilterPicker->date(), QDate::currentDate());
    EXPECT_EQ(form->ToDateFilterPicker->date(), QDate::currentDate());
    for (QComboBox* lookup : {form->StoreFilterLookup, form->FiscalDeviceFilterLookup, form->UserFilterLookup}) {
        EXPECT_EQ(lookup->currentText(), QStringLiteral("<Всички>"));
        EXPECT_EQ(lookup->currentData().toString(), QStringLiteral("0"));
        EXPECT_GT(lookup->count(), 1);
    }
    // After "<Всички>", each box lists its lookup's rows in the statement's order, by name,
    // each standing for its number.
    {
        auto manager = TestManager(dbSqlite);
        const std::pair<QComboBox*, TLookupKind> boxes[] = {{form->StoreFilterLookup, TLookupKind::Stores},
                                                            {form->FiscalDeviceFilterLookup, TLookupKind::FiscalDevices},
                                                            {form->UserFilterLookup, TLookupKind::Operators}};
        for (const auto& [box, kind] : boxes) {
            TQuery q;
            q.SetConnection(&manager->OpenConnection());
            q.SetSQL(QString::fromUtf16(LookupListItem(kind).Sql));
            q.Open();
            QStringList want, shown;
            for (; !q.Eof(); q.Next())
                want << q.Fields(0).AsString() + QLatin1Char('=') + q.Fields(1).AsString();
            for (int i = 1; i < box->count(); ++i)
                shown << box->itemData(i).toString() + QLatin1Char('=') + box->itemText(i);
            EXPECT_EQ(shown, want) << LookupListItem(kind).Key;
        }
    }
    EXPECT_EQ(form->cbRecordsPerPage->currentText(), QStringLiteral("500"));
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsBlank);
    EXPECT_TRUE(form->LoadingPanel->isVisible());
    EXPECT_FALSE(form->LoadingGifImage->isVisible());
    EXPECT_FALSE(form->ReportDBGrid->isVisible());

    // The bar, its label and its arrows all toggle the panel.
    QTest::mouseClick(form->FiltersCaptionLabel, Qt::LeftButton);
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    EXPECT_EQ(arrows(), QStringLiteral("1100"));
    QTest::mouseClick(form->ShowRightImage, Qt::LeftButton);
    EXPECT_TRUE(form->FiltersPanel->isVisible());
    EXPECT_EQ(form->FiltersPanel->width(), 185);
    EXPECT_EQ(arrows(), QStringLiteral("0011"));
    QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton);
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    QEvent toggle(WM_TOGGLE_FILTERS);
    QCoreApplication::sendEvent(form.get(), &toggle);
    EXPECT_TRUE(form->FiltersPanel->isVisible());

    // The Report button hides the panel, and the filters of the hidden panel still apply.
    QJsonObject rec;
    for (const QJsonValue v : ExpectedNumbers()[QStringLiteral("filters")].toArray())
        if (v[QStringLiteral("name")] == QLatin1String("monthUser"))
            rec = v.toObject();
    form->FromDateFilterPicker->setDate(QDate::fromString(rec[QStringLiteral("FromDate")].toString(), Qt::ISODate));
    form->ToDateFilterPicker->setDate(QDate::fromString(rec[QStringLiteral("ToDate")].toString(), Qt::ISODate));
    form->UserFilterLookup->setCurrentIndex(
        form->UserFilterLookup->findData(QString::number(rec[QStringLiteral("UserN")].toInt())));
    QTest::mouseClick(form->ReportButton, Qt::LeftButton);
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoading);
    EXPECT_TRUE(form->LoadingGifImage->isVisible());
    EXPECT_TRUE(form->LoadingGifImage->Animating());
    ASSERT_TRUE(WaitIdle(*form));
    const int expected = rec[QStringLiteral("counts")][QStringLiteral("SalesSummaryAudit")].toInt();
    EXPECT_EQ(form->CurrentRecCount(), expected);
    EXPECT_EQ(form->DataSource().rowCount(), expected);
    QTest::mouseClick(form->ReportButton, Qt::LeftButton); // the panel stays hidden
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_FALSE(form->FiltersPanel->isVisible());
    EXPECT_EQ(form->CurrentRecCount(), expected);
    EXPECT_FALSE(form->LoadingGifImage->Animating());
    EXPECT_TRUE(form->ReportDBGrid->isVisible());
}

struct ReportCase {
    int command;
    TReportKind kind;
    const char* caption;
    TReportUIFilters filters;
};

// Every report through its ribbon command: caption, filter sub-panels, column titles, and a
// first page whose texts look as a user expects (numbers right, dates dd.MM.yyyy, amounts
// with two decimals).
TEST_F(ReportWindow, TheTwelveReports)
{
    const ReportCase cases[] = {
        {CmdSalesSummary, rkSalesSummary, "Продажби Обобщени", 15},
        {CmdSalesDetail, rkSalesDetail, "Продажби детайлни", 15},
        {CmdSalePayments, rkPayments, "Плащания", 15},
        {CmdSalesReturn, rkReversedSales, "Сторнирани продажби", 15},
        {CmdRevokedSales, rkRevokedSales, "Анулирани продажби", 15},
        {CmdItemsData, rkItems, "Стоки", 0},
        {CmdPartners, rkPartners, "Клиенти / Доставчици", 0},
        {CmdActivityTypes, rkActivityTypes, "Видове Операции", 0},
        {CmdPayTypes, rkPayTypes, "Видове плащания", 0},
        {CmdStores, rkStores, "Търговски обекти", 0},
        {CmdUsers, rkUsers, "Потребители", 0},
        {CmdActionsLog, rkUsersLog, "Лог на действията", 1},
    };
    QTemporaryDir dir;
    BuildApplicationRibbonMarkup();
    TUIRibbon::SetSettingsFolders(dir.path(), dir.path());
    TMainForm main({kPostgresDsn, kPgPassword});
    main.ExeDir = dir.path();
    main.show();
    main.LoadRibbon();
    ASSERT_TRUE(main.Repository());
    const QJsonObject all = ExpectedNumbers()[QStringLiteral("filters")].toArray()[0].toObject();
    ASSERT_EQ(all[QStringLiteral("name")].toString(), QStringLiteral("all"));
    const QRegularExpression date(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4}( \\d\\d:\\d\\d:\\d\\d)?$"));
    const QRegularExpression amount(QStringLiteral("^-?\\d+\\.\\d{2,}$"));

    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.caption);
        dynamic_cast<TUICommandAction*>(main.Ribbon()->CommandById(c.command))->Execute();
        auto* form = dynamic_cast<TAbsReportBaseForm*>(main.MdiArea()->activeSubWindow()->widget());
        ASSERT_TRUE(form);
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8(c.caption));
        EXPECT_EQ(form->ReportUIFilters(), c.filters);
        EXPECT_EQ(!form->PeriodFilterPanel->isHidden(), bool(c.filters & rfPeriod));
        EXPECT_EQ(!form->StoreFilterPanel->isHidden(), bool(c.filters & rfStore));
        EXPECT_EQ(!form->FpFilterPanel->isHidden(), bool(c.filters & rfFP));
        EXPECT_EQ(!form->UserFilterPanel->isHidden(), bool(c.filters & rfUser));
        EXPECT_FALSE(form->ReportButtonPanel->isHidden());
        EXPECT_GT(form->UserFilterLookup->count(), 1); // the lookups are loaded for every report

        form->FromDateFilterPicker->setDate(QDate(2000, 1, 1));
        form->ToDateFilterPicker->setDate(QDate(2099, 12, 31));
        form->ReportButtonClick();
        ASSERT_TRUE(WaitIdle(*form));
        const TReportDef& def = ReportDef(c.kind);
        const int expected = all[QStringLiteral("counts")][QString::fromUtf16(def.View)].toInt();
        EXPECT_EQ(form->CurrentRecCount(), expected);
        EXPECT_EQ(form->DataSource().rowCount(), std::min(expected, 500));
        QStringList titles, want;
        for (int i = 0; i < form->DataSource().columnCount(); ++i)
            titles << form->DataSource().headerData(i, Qt::Horizontal).toString();
        for (int i = 0; i < def.ColumnCount; ++i)
            want << QString::fromUtf16(def.Columns[i].Caption);
        EXPECT_EQ(titles, want);

        TQuery& page = form->PageQuery();
        for (int col = 0; col < page.FieldCount(); ++col) {
            const TField& f = page.Fields(col);
            const int align = form->DataSource().data(form->DataSource().index(0, col), Qt::TextAlignmentRole).toInt();
            EXPECT_EQ(bool(align & Qt::AlignRight), IsNumericFieldType(f.DataType())) << f.FieldName().toStdString();
            for (int r = 0; r < std::min(form->DataSource().rowCount(), 50); ++r) {
                const QString text = form->DataSource().CellText(r, col);
                if (text.isEmpty())
                    continue;
                if (IsTemporalFieldType(f.DataType()) && f.DataType() != ftTime) {
                    EXPECT_TRUE(date.match(text).hasMatch()) << text.toStdString();
                }
                if (f.DataType() == ftBCD || f.DataType() == ftFMTBcd || f.DataType() == ftFloat) {
                    EXPECT_TRUE(amount.match(text).hasMatch()) << f.FieldName().toStdString() << " " << text.toStdString();
                }
            }
        }
    }
    EXPECT_EQ(main.MdiArea()->subWindowList().size(), 12);
}

// Two windows load at the same time, each on its own connection.
TEST_F(ReportWindow, TwoWindowsLoadSideBySide)
{
    auto detail = Open<TSalesDetailForm>(dbPostgres);
    auto payments = Open<TPaymentsForm>(dbPostgres);
    for (TAbsReportBaseForm* f : {static_cast<TAbsReportBaseForm*>(detail.get()), static_cast<TAbsReportBaseForm*>(payments.get())}) {
        f->FromDateFilterPicker->setDate(QDate(2000, 1, 1));
        f->ToDateFilterPicker->setDate(QDate(2099, 12, 31));
    }
    const int pid1 = detail->SqlManager().FastSql(QStringLiteral("select pg_backend_pid()")).toInt();
    const int pid2 = payments->SqlManager().FastSql(QStringLiteral("select pg_backend_pid()")).toInt();
    EXPECT_NE(pid1, pid2);
    detail->ReportButtonClick();
    payments->ReportButtonClick();
    EXPECT_EQ(detail->LoadingState(), TLoadingState::lsLoading);
    EXPECT_EQ(payments->LoadingState(), TLoadingState::lsLoading);
    ASSERT_TRUE(WaitIdle(*detail));
    ASSERT_TRUE(WaitIdle(*payments));
    const QJsonObject counts = ExpectedNumbers()[QStringLiteral("filters")].toArray()[0][QStringLiteral("counts")].toObject();
    EXPECT_EQ(detail->CurrentRecCount(), counts[QStringLiteral("SalesDetailsAudit")].toInt());
    EXPECT_EQ(payments->CurrentRecCount(), counts[QStringLiteral("SalesPaymentsAudit")].toInt());
    EXPECT_EQ(detail->DataSource().rowCount(), 500);
    EXPECT_EQ(payments->DataSource().rowCount(), 500);
    EXPECT_EQ(detail->DataSource().columnCount(), 10);
    EXPECT_EQ(payments->DataSource().columnCount(), 14);
}

// A failing count or page query leaves the window usable: the driver's message in the error
// box, no loading picture, the Report button, the page size and the pager enabled again.
TEST_F(ReportWindow, FailuresGiveTheWindowBack)
{
    for (TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "SQLite" : "PostgreSQL");
        const QString dsn = type == dbSqlite ? kScratchDsn : kScratchPgDsn;
        auto db = TestManager(type, dsn);
        BuildScratchReports(*db, 20);
        DialogAnswerer& answerer = dialogs;
        answerer.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); };

        // The page fails in the background; its count works.
        auto payTypes = Open<TPayTypesForm>(type, dsn);
        payTypes->ReportButtonClick();
        ASSERT_TRUE(WaitIdle(*payTypes));
        EXPECT_EQ(payTypes->CurrentRecCount(), 20);
        ASSERT_TRUE(PumpUntil([&] { return answerer.seen.size() == 1; }));
        EXPECT_TRUE(answerer.seen[0].startsWith(QStringLiteral("QMessageBox: ["))) << answerer.seen[0].toStdString();
        EXPECT_TRUE(answerer.seen[0].contains(type == dbSqlite ? QStringLiteral("integer overflow")
                                                               : QStringLiteral("division by zero")))
            << answerer.seen[0].toStdString();
        EXPECT_EQ(payTypes->LoadingState(), TLoadingState::lsBlank);
        EXPECT_FALSE(payTypes->LoadingGifImage->isVisible());
        EXPECT_TRUE(payTypes->cbRecordsPerPage->isEnabled());
        EXPECT_TRUE(payTypes->PagesPanel->isEnabled());

        // The count fails: the view is gone.
        answerer.seen.clear();
        auto items = Open<TItemsForm>(type, dsn);
        db->FastSql(type == dbSqlite ? QStringLiteral("drop table ItemsAudit")
                                     : QStringLiteral("drop table ItemsAudit cascade"));
        items->ReportButtonClick();
        ASSERT_TRUE(PumpUntil([&] { return answerer.seen.size() == 1; }));
        EXPECT_TRUE(answerer.seen[0].contains(QStringLiteral("itemsaudit"), Qt::CaseInsensitive))
            << answerer.seen[0].toStdString();
        EXPECT_EQ(items->LoadingState(), TLoadingState::lsBlank);
        EXPECT_TRUE(items->ReportButton->isEnabled());
        EXPECT_TRUE(items->cbRecordsPerPage->isEnabled());
        EXPECT_TRUE(items->PagesPanel->isEnabled());
        EXPECT_EQ(items->CurrentFilters().RecordsPerPage, 0); // the failed run left no trace
        answerer.seen.clear();
    }
}

// The count runs on the window's worker ahead of its page: a click returns while a slow
// count is still running on the server, and closing the window then stops it.
TEST_F(ReportWindow, CountRunsInTheBackgroundAndClosingStopsIt)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    // The items table stands behind a view whose every row sleeps, in the count as in the
    // page (a volatile function); the table comes back when the test ends, however it ends.
    struct TSlowItems {
        TSqlDataManager& Db;
        explicit TSlowItems(TSqlDataManager& db) : Db(db)
        {
            Restore();
            BuildScratchReports(Db, 20);
            Db.FastSql(QStringLiteral("alter table ItemsAudit rename to ItemsBase"));
            Db.FastSql(QStringLiteral("create or replace function slow_row() returns integer language plpgsql "
                                      "volatile as $$ begin perform pg_sleep(0.5); return 1; end $$"));
            Db.FastSql(QStringLiteral("create view ItemsAudit as select * from ItemsBase where slow_row() = 1"));
        }
        ~TSlowItems() { Restore(); }
        void Restore()
        {
            if (Db.FastSql(QStringLiteral("select count(*) from pg_views where viewname = 'itemsaudit'")).toInt() > 0)
                Db.FastSql(QStringLiteral("drop view ItemsAudit"));
            if (Db.FastSql(QStringLiteral("select count(*) from pg_tables where tablename = 'itemsbase'")).toInt() > 0) {
                Db.FastSql(QStringLiteral("drop table if exists ItemsAudit"));
                Db.FastSql(QStringLiteral("alter table ItemsBase rename to ItemsAudit"));
            }
        }
    } slowItems(*db);
    auto activeCounts = [&] {
        return db->FastSql(QStringLiteral("select count(*) from pg_stat_activity where state = 'active' and "
                                          "query ilike '%count(%ItemsAudit%' and pid <> pg_backend_pid()"))
            .toInt();
    };
    auto form = Open<TItemsForm>(dbPostgres, kScratchPgDsn);
    form->ReportButtonClick();
    EXPECT_TRUE(form->PageLoading());
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoading);
    ASSERT_TRUE(PumpUntil([&] { return activeCounts() == 1; }, 10000)); // the click has long returned
    EXPECT_EQ(form->CurrentRecCount(), 0);                              // no count yet
    form->close();
    form.reset();
    EXPECT_TRUE(PumpUntil([&] { return activeCounts() == 0; }, 10000));
}

// The filter fields and the pager as a user meets them: Enter in a filter field runs the
// report, the page buttons say what they do, the calendars are Bulgarian whatever the
// system's language.
TEST_F(ReportWindow, FilterFieldsPagerTipsAndBulgarianCalendars)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); // the system's, say
    TAuditorApplication::ApplyLocale();
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    QCalendarWidget* calendar = form->FromDateFilterPicker->calendarWidget();
    ASSERT_TRUE(calendar);
    EXPECT_EQ(calendar->locale().language(), QLocale::Bulgarian);
    EXPECT_EQ(calendar->locale().standaloneMonthName(3), QStringLiteral("март"));
    EXPECT_EQ(form->FromDateFilterPicker->displayFormat(), QStringLiteral("dd.MM.yyyy")); // the format stays

    const std::pair<QPushButton*, const char*> tips[] = {
        {form->FirstPageButton, "Първа страница"},     {form->PreviousPageButton, "Предишна страница"},
        {form->CurrentPageButton, "Текуща страница"},  {form->NextPageButton, "Следваща страница"},
        {form->LastPageButton, "Последна страница"},
    };
    for (const auto& [button, tip] : tips)
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(tip)) << button->objectName().toStdString();

    for (QWidget* field : std::initializer_list<QWidget*>{form->StoreFilterLookup, form->ToDateFilterPicker}) {
        SCOPED_TRACE(field->objectName().toStdString());
        if (form->FiltersPanel->isHidden()) // the run before hid it; a click on the bar shows it
            QTest::mouseClick(form->FiltersShowHidePanel, Qt::LeftButton);
        ASSERT_FALSE(form->FiltersPanel->isHidden());
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_TRUE(form->PageLoading()); // the run has begun
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
        EXPECT_TRUE(form->FiltersPanel->isHidden());
    }
}

// The summary bar says what the grid holds once the filter panel is hidden: the count, the
// filters of the latest run in words, and the data source; later changes to the filter
// fields do not change it until the next run.
TEST_F(ReportWindow, SummaryBarSaysWhatTheGridHolds)
{
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral("Източник: AuditDemo")));
    form->FromDateFilterPicker->setDate(QDate(2026, 3, 1));
    form->ToDateFilterPicker->setDate(QDate(2026, 3, 31));
    form->StoreFilterLookup->setCurrentIndex(1);
    const QString store = form->StoreFilterLookup->currentText();
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    const QString expected = QStringLiteral("Период: 01.03.2026 – 31.03.2026&nbsp;&nbsp;·&nbsp;&nbsp;Обект: %1"
                                            "&nbsp;&nbsp;·&nbsp;&nbsp;Източник: AuditDemo")
                                 .arg(store.toHtmlEscaped());
    EXPECT_TRUE(form->SummaryLabel->text().endsWith(expected)) << form->SummaryLabel->text().toStdString();
    EXPECT_TRUE(form->SummaryLabel->text().contains(QStringLiteral(" записа")));
    EXPECT_FALSE(form->SummaryLabel->text().contains(QStringLiteral("Оператор")));
    if (!qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
        form->grab().save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/report-summary.png"));

    form->StoreFilterLookup->setCurrentIndex(0);
    form->FirstPageButtonClick(); // a move keeps the filters of the latest run
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_TRUE(form->SummaryLabel->text().endsWith(expected)) << form->SummaryLabel->text().toStdString();
}

// Closing a window while its page loads cancels the statement and frees the window and its
// connection.
TEST_F(ReportWindow, ClosingMidLoadFreesWindowAndConnection)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*db, 10);
    auto backends = [&] { return OtherBackends(*db); };
    const int before = backends();

    QTemporaryDir dir;
    auto mainForm = MainWithScratchPartners(dir);
    TMainForm& main = *mainForm;
    ASSERT_EQ(main.MdiArea()->subWindowList().size(), 1);
    QMdiSubWindow* sub = main.MdiArea()->subWindowList().front();
    QPointer<QWidget> form = sub->widget();
    auto* partners = dynamic_cast<TPartnersForm*>(form.data());
    ASSERT_TRUE(partners);
    EXPECT_EQ(backends(), before + 1);
    partners->ReportButtonClick();
    Pump(300);
    ASSERT_TRUE(partners->PageLoading()); // 500 rows at 0.2 s each: far from done
    EXPECT_EQ(db->FastSql(QStringLiteral("select count(*) from pg_stat_activity where query like '%PartnersAudit%' "
                                         "and state = 'active' and pid <> pg_backend_pid()"))
                  .toInt(),
              1);

    sub->close();
    ASSERT_TRUE(PumpUntil([&] { return form.isNull(); }, 10000));
    EXPECT_TRUE(PumpUntil([&] { return backends() == before; }, 10000));
}

// Heap bytes in use, once freed memory has been given back.
size_t HeapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

// A window opened and closed again and again leaves nothing behind, whether its page
// arrived or it was closed while the page was loading: past the first ten cycles, a hundred
// more grow the heap by less than 2 MB.
TEST_F(ReportWindow, OpeningAndClosingKeepsMemoryFlat)
{
    if (HeapInUse() == 0)
        GTEST_SKIP() << "the allocator in use does not report its heap";
    auto pg = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*pg, 10);
    const struct {
        const char* name;
        TDbType type;
        QString dsn;
        bool closeWhileLoading; // the partners view of the scratch database is slow
    } cases[] = {
        {"SQLite, page loaded", dbSqlite, kSqliteDsn, false},
        {"PostgreSQL, page loaded", dbPostgres, kPostgresDsn, false},
        {"PostgreSQL, closed while its page loads", dbPostgres, kScratchPgDsn, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TSqlDBModel model = TestModel(c.type, c.dsn);
        TRepository repository(c.type);
        size_t afterTen = 0;
        for (int cycle = 1; cycle <= 110; ++cycle) {
            std::unique_ptr<TAbsReportBaseForm> form;
            if (c.closeWhileLoading)
                form = std::make_unique<TPartnersForm>(nullptr, &model, &repository);
            else
                form = std::make_unique<TItemsForm>(nullptr, &model, &repository);
            form->setAttribute(Qt::WA_DeleteOnClose, false);
            form->show();
            form->ReportButtonClick();
            if (c.closeWhileLoading)
                ASSERT_TRUE(form->PageLoading());
            else
                ASSERT_TRUE(WaitIdle(*form));
            form->close();
            form.reset();
            Pump(5);
            if (cycle == 10)
                afterTen = HeapInUse();
        }
        const size_t grown = HeapInUse() - std::min(afterTen, HeapInUse());
        EXPECT_LT(grown, 2u << 20) << grown << " bytes";
    }
}

// A server that stops answering (its backend stopped) while a page loads: closing the
// window, or the main window with it, returns at once and the report window leaves its
// frame; once the server answers again, the window and its connection are freed.
TEST_F(ReportWindow, ClosingWhileTheServerHangsReturnsAtOnce)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*db, 10);
    auto backends = [&] { return OtherBackends(*db); };
    const int before = backends();
    QTemporaryDir dir;

    for (const bool wholeProgram : {false, true}) {
        SCOPED_TRACE(wholeProgram ? "the main window closed" : "the report window closed");
        auto main = MainWithScratchPartners(dir);
        ASSERT_EQ(main->MdiArea()->subWindowList().size(), 1);
        QMdiSubWindow* sub = main->MdiArea()->subWindowList().front();
        QPointer<QWidget> form = sub->widget();
        auto* partners = dynamic_cast<TPartnersForm*>(form.data());
        ASSERT_TRUE(partners);
        partners->ReportButtonClick();
        int pid = 0;
        PumpUntil([&] {
            pid = db->FastSql(QStringLiteral("select pid from pg_stat_activity where query like '%PartnersAudit%' "
                                             "and state = 'active' and pid <> pg_backend_pid()"))
                      .toInt();
            return pid != 0;
        });
        ASSERT_NE(pid, 0);
        struct TStopped { // the backend goes on again however the test ends
            int Pid;
            ~TStopped() { ::kill(Pid, SIGCONT); }
        } stopped{pid};
        ASSERT_EQ(::kill(pid, SIGSTOP), 0);

        // Returns: the cancel is not answered, nothing waits for it.
        if (wholeProgram) {
            main->close();
            main.reset();
        } else {
            sub->close();
            Pump(100);
            EXPECT_TRUE(main->MdiArea()->subWindowList().isEmpty());
        }
        ASSERT_FALSE(form.isNull()); // still held by its worker
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(partners->PageQuery().Executing());

        ::kill(pid, SIGCONT); // the cancel is taken, the worker lets go, the window is freed
        EXPECT_TRUE(PumpUntil([&] { return form.isNull(); }, 20000));
        EXPECT_TRUE(PumpUntil([&] { return backends() == before; }, 10000));
    }
}

// An export request while a page loads is refused; after the page it exports the whole
// result of the latest run, and the pager keeps its page size.
TEST_F(ReportWindow, ExportRequestsWaitForThePage)
{
    auto form = OpenScratchItems(1001);
    int exports = 0;
    QStringList exported;
    int expectedCount = -1;
    TAbsReportBaseForm::SetExportHandler(
        [&](TQuery& query, const RExportOptions& opts, int expectedRecords) {
            ++exports;
            EXPECT_EQ(opts.Title, QStringLiteral("Стоки"));
            EXPECT_EQ(opts.ExportKind, exports == 1 ? ekExcel : ekTextFile);
            EXPECT_FALSE(opts.Header);
            EXPECT_EQ(opts.ClmDelimiter, QStringLiteral("\t"));
            expectedCount = expectedRecords;
            for (; !query.Eof(); query.Next())
                exported << query.Fields(0).AsString();
        });
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    QTest::mouseClick(form->NextPageButton, Qt::LeftButton);
    QTest::mouseClick(form->NextPageButton, Qt::LeftButton); // disabled while loading: nothing
    ASSERT_TRUE(form->PageLoading()); // its arrival waits for the event loop
    QEvent csv(WM_EXPORT_CSV);
    QCoreApplication::sendEvent(form.get(), &csv);
    EXPECT_EQ(exports, 0);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentPageButton->text(), QStringLiteral("2"));

    exports = 0;
    exported.clear();
    QEvent excel(WM_EXPORT_EXCEL);
    QCoreApplication::sendEvent(form.get(), &excel);
    EXPECT_EQ(exports, 1);
    EXPECT_EQ(exported, Numbers(1, 1001));
    EXPECT_EQ(expectedCount, 1001);
    EXPECT_EQ(form->CurrentFilters().RecordsPerPage, 500);
    EXPECT_EQ(form->DataSource().CellText(0, 0), QStringLiteral("501"));
    TAbsReportBaseForm::SetExportHandler(nullptr);
}

// An export's statement runs while the progress dialog waits for it ("Initalizing
// Export"), the window handling events all along; Cancel gives it up, whether the server
// answers the cancel or is stopped, and a window closed afterwards is freed once its
// worker lets go.
TEST_F(ReportWindow, ExportWaitsForItsStatementWithoutHoldingTheWindow)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*db, 10); // the partners' rows take 0.2 s each: 200 s in all
    dialogs.ignore = [](QWidget* w) { return dynamic_cast<TExportForm*>(w) != nullptr; };
    const auto opener = TExportExcelStrategy::OpenWorkbook;
    int opened = 0;
    TExportExcelStrategy::OpenWorkbook = [&](const QString&) { return ++opened > 0; };
    auto exportBackend = [&] {
        return db->FastSql(QStringLiteral("select pid from pg_stat_activity where query like '%PartnersAudit%' "
                                          "and query not like '%count%' and state = 'active' "
                                          "and pid <> pg_backend_pid()"))
            .toInt();
    };

    for (const bool serverStopped : {false, true}) {
        SCOPED_TRACE(serverStopped ? "server stopped" : "server answers");
        auto form = Open<TPartnersForm>(dbPostgres, kScratchPgDsn);
        QPointer<QWidget> alive = form.get();
        int pid = 0;
        QString waitingText, outcome;
        bool cancelled = false;
        struct TStopped {
            int Pid = 0;
            ~TStopped()
            {
                if (Pid)
                    ::kill(Pid, SIGCONT);
            }
        } stopped;
        TExportForm::OnShowing = [&](TExportForm& f) {
            auto* poll = new QTimer(&f);
            QObject::connect(poll, &QTimer::timeout, &f, [&] {
                if (f.btnOk->isVisible()) {
                    outcome = f.lblInfo->text();
                    f.btnOk->click();
                    return;
                }
                if (cancelled || !f.WaitingForStatement() || !(pid = exportBackend()))
                    return;
                waitingText = f.lblInfo->text();
                if (serverStopped) {
                    stopped.Pid = pid;
                    ::kill(pid, SIGSTOP);
                }
                cancelled = true;
                f.btnCancel->click();
            });
            poll->start(20);
        };
        QEvent excel(WM_EXPORT_EXCEL);
        QCoreApplication::sendEvent(form.get(), &excel);
        TExportForm::OnShowing = nullptr;
        EXPECT_NE(pid, 0);
        EXPECT_EQ(waitingText, QStringLiteral("Initalizing Export"));
        EXPECT_EQ(outcome, QStringLiteral("Data was not exported!"));
        EXPECT_EQ(opened, 0);
        if (!serverStopped) {
            EXPECT_TRUE(PumpUntil([&] { return exportBackend() == 0; }, 10000)); // the cancel was taken
            continue;
        }
        // The statement is still with the stopped server: another export is refused at once
        // (no dialog), closing the window returns at once, and it is freed when the server
        // goes on.
        bool shown = false;
        TExportForm::OnShowing = [&](TExportForm& f) {
            shown = true;
            f.btnCancel->click();
        };
        QCoreApplication::sendEvent(form.get(), &excel);
        TExportForm::OnShowing = nullptr;
        EXPECT_FALSE(shown);
        form->setAttribute(Qt::WA_DeleteOnClose, true);
        form->close();
        form.release();
        ASSERT_FALSE(alive.isNull());
        EXPECT_FALSE(alive->isVisible());
        ::kill(pid, SIGCONT);
        stopped.Pid = 0;
        EXPECT_TRUE(PumpUntil([&] { return alive.isNull(); }, 20000));
    }
    TExportExcelStrategy::OpenWorkbook = opener;
}

// A connection the server dropped (its backend terminated, as when the server restarts)
// is made anew by the next action, once, with the same login: the Report button, a pager
// move and an export go on without a word; a server that cannot be reached at all is said.
TEST_F(ReportWindow, LostConnectionIsMadeAnewOnce)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*db, 1001);
    auto form = Open<TItemsForm>(dbPostgres, kScratchPgDsn);
    auto windowBackend = [&] {
        return db->FastSql(QStringLiteral("select pid from pg_stat_activity where datname = current_database() and "
                                          "pid <> pg_backend_pid() and application_name <> 'psql'"))
            .toInt();
    };
    auto dropConnection = [&] {
        const int pid = windowBackend();
        ASSERT_NE(pid, 0);
        db->FastSql(QStringLiteral("select pg_terminate_backend(%1)").arg(pid));
        ASSERT_TRUE(PumpUntil([&] { return windowBackend() != pid; }));
    };
    int exports = 0;
    TAbsReportBaseForm::SetExportHandler([&](TQuery& query, const RExportOptions&, int) {
        for (; !query.Eof(); query.Next())
            ++exports;
    });
    const struct {
        const char* name;
        std::function<void()> action;
        QString firstItem; // of the page shown afterwards
    } steps[] = {
        {"Report", [&] { form->ReportButtonClick(); }, QStringLiteral("1")},
        {"Next", [&] { form->NextPageButtonClick(); }, QStringLiteral("501")},
        {"export", [&] {
             QEvent csv(WM_EXPORT_CSV);
             QCoreApplication::sendEvent(form.get(), &csv);
         }, QStringLiteral("501")},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        dropConnection();
        step.action();
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_TRUE(dialogs.seen.isEmpty()) << dialogs.seen.join(QLatin1String(" | ")).toStdString();
        EXPECT_EQ(form->CurrentRecCount(), 1001);
        EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
        EXPECT_EQ(form->DataSource().CellText(0, 0), step.firstItem);
    }
    EXPECT_EQ(exports, 1001);
    TAbsReportBaseForm::SetExportHandler(nullptr);

    // No server to reach: the new connection fails, and its reason is shown.
    dialogs.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); };
    auto admin = TestManager(dbPostgres); // on another database
    admin->FastSql(QStringLiteral("alter database auditscratch_test with allow_connections false"));
    struct TAllow {
        TSqlDataManager& Db;
        ~TAllow() { Db.FastSql(QStringLiteral("alter database auditscratch_test with allow_connections true")); }
    } allow{*admin};
    dropConnection();
    form->FirstPageButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    ASSERT_EQ(dialogs.seen.size(), 1);
    EXPECT_TRUE(dialogs.seen[0].contains(QStringLiteral("not currently accepting connections"))) << dialogs.seen[0].toStdString();
    dialogs.seen.clear();
}

} // namespace
