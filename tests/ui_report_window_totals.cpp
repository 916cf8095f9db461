// The totals row under a report's grid, the figures of the selected cells and their copy:
// on the demo databases and on scratch sales whose amounts or rows the tests choose.
#include "ReportWindowFixture.h"
#include "reports/GridSelectionUnit.h"
#include "reports/TotalsRowUnit.h"

#include <QAction>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QScrollBar>

namespace {

constexpr int kTotalSumWithVAT = 10; // the sales summary's column

// Scratch sales of today under the view of the sales summary: the table ScratchSales (x,
// amount) with one sale a row, the amount as `amount` and the customer's name as
// `partnerName` turn them into the view's columns. The lookups come with them.
void BuildScratchSales(TSqlDataManager& db, const QStringList& amounts, const QString& amount = QStringLiteral("amount"),
                       const QString& partnerName = QStringLiteral("'Клиент'"))
{
    BuildScratchReports(db, 1);
    const bool pg = db.DbModel().DbType() == dbPostgres;
    if (pg) {
        db.FastSql(QStringLiteral("drop view if exists SalesSummaryAudit"));
    } else {
        const QString kind =
            db.FastSql(QStringLiteral("select type from sqlite_master where name = 'SalesSummaryAudit'")).toString();
        if (!kind.isEmpty())
            db.FastSql(QStringLiteral("drop %1 SalesSummaryAudit").arg(kind));
    }
    db.FastSql(QStringLiteral("drop table if exists ScratchSales"));
    db.FastSql(QStringLiteral("create table ScratchSales (x integer, amount numeric(12,2))"));
    for (int i = 0; i < amounts.size(); ++i)
        db.FastSql(QStringLiteral("insert into ScratchSales values (%1, %2)").arg(i + 1).arg(amounts[i]));
    if (pg)
        db.FastSql(QStringLiteral(
            "create or replace function slow_amount(a numeric) returns numeric language plpgsql stable as "
            "$$ begin perform pg_sleep(0.2); return a; end $$"));
    const QString today = pg ? QStringLiteral("current_date") : QStringLiteral("date('now', 'localtime')");
    db.FastSql(QStringLiteral(
                   "create view SalesSummaryAudit as select 'UNP' || x as UNP, x as DocNomer, 'Обект' as StoreName, "
                   "%1 as StartDocDate, '10:00:00' as StartDocTime, 1 as PosId, 3 as UserKod, %2 as TotalSumNoVat, "
                   "0 as SumDiscounts, 0 as SumVAT, %2 as TotalSumWithVAT, null as InvoiceNumber, "
                   "null as InvoiceDate, %1 as EndDocDate, '10:05:00' as EndDocTime, 'P' || x as PartnerCode, "
                   "%3 as PartnerName, 1 as StoreN, 7 as FiscalDeviceN, 3 as UserN from ScratchSales")
                   .arg(today, amount, partnerName));
}

// Drops those scratch sales when a test ends (made before its windows, so gone after them):
// left there, they would make the scratch database an audit database to the tests that follow.
struct TScratchSalesGone {
    TSqlDataManager& Db;
    ~TScratchSalesGone()
    {
        Db.FastSql(QStringLiteral("drop view if exists SalesSummaryAudit"));
        Db.FastSql(QStringLiteral("drop table if exists ScratchSales"));
    }
};

QString SumCell(const TAbsReportBaseForm& form, int column = kTotalSumWithVAT)
{
    const auto& cells = form.TotalsRow->Cells();
    return column < int(cells.size()) ? cells[size_t(column)].Text : QString();
}

QItemSelection Cells(TAbsReportBaseForm& form, std::initializer_list<std::pair<int, int>> cells)
{
    QItemSelection selection;
    for (const auto& [r, c] : cells)
        selection.select(form.DataSource().index(r, c), form.DataSource().index(r, c));
    return selection;
}

} // namespace

// On the demo database: the sums of the whole result under their columns, kept over page
// moves and a new page size, computed anew for new filters; absent where no column is an
// amount. The row follows the columns when the grid scrolls sideways.
TEST_F(ReportWindow, TotalsFollowTheFiltersNotThePages)
{
    QJsonObject all, store;
    for (const QJsonValue v : ExpectedNumbers()[QStringLiteral("filters")].toArray()) {
        if (v[QStringLiteral("name")] == QLatin1String("all"))
            all = v.toObject();
        if (v[QStringLiteral("name")] == QLatin1String("store"))
            store = v.toObject();
    }
    ASSERT_FALSE(all.isEmpty());
    ASSERT_FALSE(store.isEmpty());
    const auto sum = [](const QJsonObject& rec) {
        return rec[QStringLiteral("sums")][QStringLiteral("SalesSummaryAudit.TotalSumWithVAT")].toString();
    };
    const QJsonObject totals = ExpectedNumbers()[QStringLiteral("totals")].toObject();

    for (const TDbType type : {dbSqlite, dbPostgres}) {
        SCOPED_TRACE(type == dbSqlite ? "SQLite" : "PostgreSQL");
        auto form = Open<TSalesSummaryForm>(type);
        ASSERT_TRUE(form->Totals());
        EXPECT_FALSE(form->TotalsRow->isVisible()); // no grid yet
        form->FromDateFilterPicker->setDate(QDate(2025, 1, 1));
        form->ToDateFilterPicker->setDate(QDate(2026, 12, 31));
        form->ReportButtonClick();
        EXPECT_EQ(form->Totals()->State(), TReportTotals::TState::Waiting);
        ASSERT_TRUE(WaitIdle(*form));
        ASSERT_EQ(form->Totals()->State(), TReportTotals::TState::Done) << form->Totals()->Failure().toStdString();
        EXPECT_TRUE(form->TotalsRow->isVisible());
        EXPECT_EQ(form->TotalsRow->Caption(), QStringLiteral("Общо"));
        // Under the grid's rows, above the pager.
        const auto top = [&](QWidget* w) { return w->mapTo(form.get(), QPoint(0, 0)).y(); };
        EXPECT_GE(top(form->TotalsRow), top(form->ReportDBGrid) + form->ReportDBGrid->height());
        EXPECT_LE(top(form->TotalsRow) + form->TotalsRow->height(), top(form->PagingPanel));
        EXPECT_EQ(SumCell(*form), sum(all));
        EXPECT_EQ(SumCell(*form, 7), totals[QStringLiteral("SalesSummaryAudit.TotalSumNoVat")].toString());
        EXPECT_EQ(SumCell(*form, 8), totals[QStringLiteral("SalesSummaryAudit.SumDiscounts")].toString());
        EXPECT_EQ(SumCell(*form, 9), totals[QStringLiteral("SalesSummaryAudit.SumVAT")].toString());
        EXPECT_TRUE(SumCell(*form, 0).isEmpty());

        // Page moves and another page size leave the sums as they are: nothing runs again.
        const QString sql = form->Totals()->SQL();
        form->NextPageButtonClick();
        EXPECT_EQ(form->Totals()->State(), TReportTotals::TState::Done);
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(form->CurrentPageButton->text(), QStringLiteral("2"));
        form->cbRecordsPerPage->setCurrentIndex(0);
        EXPECT_EQ(form->Totals()->State(), TReportTotals::TState::Done);
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(form->Totals()->SQL(), sql);
        EXPECT_EQ(SumCell(*form), sum(all));

        // Under its column, also scrolled sideways.
        for (const int scroll : {0, form->ReportDBGrid->horizontalScrollBar()->maximum()}) {
            form->ReportDBGrid->horizontalScrollBar()->setValue(scroll);
            // The grid lays its headers out again on a later turn of the event loop (the row
            // numbers of another page size take another width): the row follows it there.
            const auto aligned = [&] {
                const QRect c = form->TotalsRow->CellRect(kTotalSumWithVAT);
                const QRect g = form->ReportDBGrid->visualRect(form->DataSource().index(0, kTotalSumWithVAT));
                return form->TotalsRow->mapTo(form.get(), c.topLeft()).x() ==
                       form->ReportDBGrid->viewport()->mapTo(form.get(), g.topLeft()).x();
            };
            PumpUntil(aligned, 2000);
            const QRect cell = form->TotalsRow->CellRect(kTotalSumWithVAT);
            const QRect gridCell = form->ReportDBGrid->visualRect(form->DataSource().index(0, kTotalSumWithVAT));
            const QPoint gridLeft = form->ReportDBGrid->viewport()->mapTo(form.get(), gridCell.topLeft());
            EXPECT_EQ(form->TotalsRow->mapTo(form.get(), cell.topLeft()).x(), gridLeft.x()) << "scrolled " << scroll;
            EXPECT_EQ(cell.width(), form->ReportDBGrid->columnWidth(kTotalSumWithVAT));
        }
        ASSERT_GT(form->ReportDBGrid->horizontalScrollBar()->maximum(), 0);

        // A new filter: "…" until its sums come.
        form->StoreFilterLookup->setCurrentIndex(
            form->StoreFilterLookup->findData(QString::number(store[QStringLiteral("StoreN")].toInt())));
        form->ReportButtonClick();
        EXPECT_EQ(SumCell(*form), QStringLiteral("…"));
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(SumCell(*form), sum(store));
        EXPECT_NE(form->Totals()->SQL(), sql);
    }

    auto items = Open<TItemsForm>(dbSqlite);
    EXPECT_FALSE(items->Totals());
    EXPECT_FALSE(items->TotalsRow);
}

// Values of a hostile SQLite database in an amount column are left out of the sum and said
// in the row; the selected numbers are counted, summed and averaged exactly; the copy has
// the selected block with its titles.
TEST_F(ReportWindow, SelectedNumbersAndLeftOutValues)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    TScratchSalesGone gone{*db};
    BuildScratchSales(*db, {QStringLiteral("1234.50"), QStringLiteral("0.10"), QStringLiteral("0.20"),
                            QStringLiteral("'12,50'")},
                      QStringLiteral("amount"), QStringLiteral("'Име' || char(9) || '\"' || x"));
    auto form = Open<TSalesSummaryForm>(dbSqlite, kScratchDsn);
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    ASSERT_EQ(form->DataSource().rowCount(), 4);
    ASSERT_EQ(form->Totals()->State(), TReportTotals::TState::Done);
    EXPECT_EQ(SumCell(*form), QStringLiteral("1234.80 *"));
    EXPECT_TRUE(form->TotalsRow->Cells()[kTotalSumWithVAT].Marked);
    EXPECT_TRUE(form->TotalsRow->Cells()[kTotalSumWithVAT].ToolTip.contains(u"1 стойност, която не е число"));
    EXPECT_TRUE(form->TotalsRow->Caption().contains(u'*'));
    EXPECT_TRUE(form->TotalsRow->CaptionToolTip().contains(u"„Дължима сума“"));
    EXPECT_EQ(Column(*form, kTotalSumWithVAT).last(), QStringLiteral("12,50")); // shown as stored

    // The figures of the selected numbers; the text and the text column are not counted.
    const QString nbsp = QLocale(QLocale::Bulgarian).groupSeparator();
    QItemSelectionModel* selection = form->ReportDBGrid->selectionModel();
    const struct {
        QItemSelection Cells;
        QString Figures; // empty: hidden
    } cases[] = {
        {Cells(*form, {{0, kTotalSumWithVAT}, {1, kTotalSumWithVAT}, {2, kTotalSumWithVAT}, {3, kTotalSumWithVAT},
                       {0, 0}, {1, 0}}),
         QStringLiteral("Избрани: 3 · Сума: 1") + nbsp + QStringLiteral("234,80 · Средно: 411,60")},
        {Cells(*form, {{1, kTotalSumWithVAT}, {2, kTotalSumWithVAT}, {1, 1}}),
         QStringLiteral("Избрани: 3 · Сума: 2,30 · Средно: 0,77")},
        {Cells(*form, {{0, kTotalSumWithVAT}, {3, kTotalSumWithVAT}, {0, 0}}), {}},
        {Cells(*form, {{1, 0}, {2, 16}}), {}},
    };
    for (const auto& c : cases) {
        selection->select(c.Cells, QItemSelectionModel::ClearAndSelect);
        EXPECT_EQ(form->GridSelection->Label()->text(), c.Figures);
        EXPECT_EQ(form->GridSelection->Label()->isVisible(), !c.Figures.isEmpty()) << c.Figures.toStdString();
    }

    // Ctrl+C: the rows and columns of the selection, titles first, unselected cells empty,
    // a cell with a TAB quoted.
    selection->select(Cells(*form, {{0, 0}, {0, 16}, {2, 16}}), QItemSelectionModel::ClearAndSelect);
    const QString expected = QStringLiteral("УНП\tКлиент име\nUNP1\t\"Име\t\"\"1\"\n\t\"Име\t\"\"3\"\n");
    QApplication::clipboard()->clear();
    form->ReportDBGrid->setFocus();
    QTest::keyClick(form->ReportDBGrid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), expected);
    QStringList menu;
    for (QAction* a : form->ReportDBGrid->actions())
        menu << a->text();
    EXPECT_EQ(menu, (QStringList{QStringLiteral("Копирай"), QStringLiteral("Копирай със заглавията")}));
    form->ReportDBGrid->actions().front()->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), expected.section(u'\n', 1));
}

// On PostgreSQL the count, the page and the sums read one snapshot: a sale added while the
// page is on its way is in none of them; the next run has it everywhere.
TEST_F(ReportWindow, TotalsSeeTheDataOfTheirCountAndPage)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    TScratchSalesGone gone{*db};
    BuildScratchSales(*db, {QStringLiteral("1.00"), QStringLiteral("2.00"), QStringLiteral("3.00"),
                            QStringLiteral("4.00"), QStringLiteral("5.00")},
                      QStringLiteral("amount"), QStringLiteral("slow_text(x)"));
    auto form = Open<TSalesSummaryForm>(dbPostgres, kScratchPgDsn);
    form->ReportButtonClick();
    ASSERT_TRUE(PumpUntil([&] {
        return db->FastSql(QStringLiteral("select count(*) from pg_stat_activity where wait_event = 'PgSleep' and "
                                          "state = 'active' and pid <> pg_backend_pid()"))
                   .toInt() > 0;
    }));
    db->FastSql(QStringLiteral("insert into ScratchSales values (6, 1000.00)"));
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), 5);
    EXPECT_EQ(form->DataSource().rowCount(), 5);
    EXPECT_EQ(SumCell(*form), QStringLiteral("15.00"));

    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentRecCount(), 6);
    EXPECT_EQ(SumCell(*form), QStringLiteral("1015.00"));
}

// A server that stops answering while the sums run: closing the window returns at once,
// the window leaves its frame and is freed, with its connection, once the server answers.
TEST_F(ReportWindow, ClosingWhileTheTotalsHangReturnsAtOnce)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    TScratchSalesGone gone{*db};
    BuildScratchSales(*db, {QStringLiteral("1.00"), QStringLiteral("2.00"), QStringLiteral("3.00")},
                      QStringLiteral("slow_amount(amount)"));
    const int before = OtherBackends(*db);
    QTemporaryDir dir;
    auto main = MainWithScratchReport(dir, rkSalesSummary, true);
    ASSERT_EQ(main->MdiArea()->subWindowList().size(), 1);
    QMdiSubWindow* sub = main->MdiArea()->subWindowList().front();
    QPointer<QWidget> form = sub->widget();
    auto* sales = dynamic_cast<TSalesSummaryForm*>(form.data());
    ASSERT_TRUE(sales);
    sales->ReportButtonClick();

    // The window's session asleep in the sums (the page before them has come).
    const int pid = SleepingBackend(*db, QStringLiteral("%sum(CAST%"));
    ASSERT_NE(pid, 0);
    EXPECT_EQ(sales->LoadingState(), TLoadingState::lsLoaded);
    EXPECT_EQ(SumCell(*sales), QStringLiteral("…"));
    const TStoppedBackend stopped(pid);
    ASSERT_TRUE(stopped.Stopped);

    sub->close();
    Pump(100);
    EXPECT_TRUE(main->MdiArea()->subWindowList().isEmpty());
    ASSERT_FALSE(form.isNull()); // still held by the sums' worker
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(sales->Totals()->Executing());

    ::kill(pid, SIGCONT);
    EXPECT_TRUE(PumpUntil([&] { return form.isNull(); }, 20000));
    EXPECT_TRUE(PumpUntil([&] { return OtherBackends(*db) == before; }, 10000));
}

// An export asked for while the sums run goes first, with the rows of the count; the sums
// go on after it.
TEST_F(ReportWindow, AnExportWhileTheTotalsRunGoesFirst)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    TScratchSalesGone gone{*db};
    BuildScratchSales(*db, {QStringLiteral("1.00"), QStringLiteral("2.00"), QStringLiteral("3.00")},
                      QStringLiteral("slow_amount(amount)"));
    QStringList exported;
    int expectedRecords = -1;
    TAbsReportBaseForm::SetExportHandler([&](TQuery& query, const RExportOptions&, int expected) {
        expectedRecords = expected;
        for (; !query.Eof(); query.Next())
            exported << query.Fields(0).AsString();
    });
    struct TRestoreHandler {
        ~TRestoreHandler() { TAbsReportBaseForm::SetExportHandler(nullptr); }
    } restoreHandler;
    auto form = Open<TSalesSummaryForm>(dbPostgres, kScratchPgDsn);
    form->ReportButtonClick();
    ASSERT_TRUE(PumpUntil([&] {
        return form->LoadingState() == TLoadingState::lsLoaded &&
               form->Totals()->State() == TReportTotals::TState::Running;
    }));
    QEvent csv(WM_EXPORT_CSV);
    QCoreApplication::sendEvent(form.get(), &csv);
    EXPECT_EQ(expectedRecords, 3);
    EXPECT_EQ(exported.size(), 3);
    EXPECT_EQ(form->Totals()->State(), TReportTotals::TState::Running);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(SumCell(*form), QStringLiteral("6.00"));
}

// Sums the engine cannot compute (a hostile PostgreSQL view with texts for amounts) fail
// in the row, with the engine's reason and no message box; the page is shown.
TEST_F(ReportWindow, ATotalsFailureIsSaidInTheRow)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    TScratchSalesGone gone{*db};
    BuildScratchSales(*db, {QStringLiteral("1.50"), QStringLiteral("2.25")},
                      QStringLiteral("replace(CAST(amount AS text), '.', ',')"));
    auto form = Open<TSalesSummaryForm>(dbPostgres, kScratchPgDsn);
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded);
    EXPECT_EQ(Column(*form, kTotalSumWithVAT), (QStringList{QStringLiteral("1,50"), QStringLiteral("2,25")}));
    ASSERT_EQ(form->Totals()->State(), TReportTotals::TState::Failed);
    EXPECT_TRUE(form->TotalsRow->Caption().startsWith(u"Общо: сумите не са изчислени – "));
    EXPECT_TRUE(form->TotalsRow->CaptionToolTip().contains(u"1,50")) << form->TotalsRow->CaptionToolTip().toStdString();
    EXPECT_TRUE(SumCell(*form).isEmpty());
    EXPECT_TRUE(form->ReportButton->isEnabled());
}
