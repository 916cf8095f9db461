// A report window opens with the filters, page size, order and find of the report's last
// run on the same data source, also after the program was started anew.
#include "ReportWindowFixture.h"
#include "reports/ReportMemoryUnit.h"

namespace {

TEST_F(ReportWindow, OpensWithTheLastRunOfItsReportOnItsDataSource)
{
    auto first = Open<TSalesSummaryForm>(dbSqlite);
    first->FromDateFilterPicker->setDate(QDate(2026, 3, 1));
    first->ToDateFilterPicker->setDate(QDate(2026, 3, 31));
    first->StoreFilterLookup->setCurrentIndex(2);
    const QString store = first->StoreFilterLookup->currentData().toString();
    first->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*first));
    first->cbRecordsPerPage->setCurrentIndex(first->cbRecordsPerPage->findText(QStringLiteral("100")));
    ASSERT_TRUE(WaitIdle(*first));
    first->NextPageButtonClick(); // a page move is no new run
    ASSERT_TRUE(WaitIdle(*first));
    const TReportFilters ran = first->CurrentFilters();
    ASSERT_EQ(ran.RecordsPerPage, 100);
    first->close();
    first.reset();

    auto again = Open<TSalesSummaryForm>(dbSqlite);
    EXPECT_EQ(again->FromDateFilterPicker->date(), QDate(2026, 3, 1));
    EXPECT_EQ(again->ToDateFilterPicker->date(), QDate(2026, 3, 31));
    EXPECT_EQ(again->StoreFilterLookup->currentData().toString(), store);
    EXPECT_EQ(again->cbRecordsPerPage->currentText(), QStringLiteral("100"));
    EXPECT_EQ(again->LoadingState(), TLoadingState::lsBlank); // nothing runs before the click
    again->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*again));
    EXPECT_EQ(again->CurrentFilters().StoreN, ran.StoreN);
    EXPECT_EQ(again->CurrentFilters().FromDate, ran.FromDate);
    EXPECT_EQ(again->CurrentFilters().PageNumber, 0);

    // Another report, or the same one on another data source, knows nothing of that run.
    const QDate today = QDate::currentDate();
    auto payments = Open<TPaymentsForm>(dbSqlite);
    auto onPostgres = Open<TSalesSummaryForm>(dbPostgres);
    for (TAbsReportBaseForm* other : {static_cast<TAbsReportBaseForm*>(payments.get()),
                                      static_cast<TAbsReportBaseForm*>(onPostgres.get())}) {
        EXPECT_EQ(other->FromDateFilterPicker->date(), today);
        EXPECT_EQ(other->StoreFilterLookup->currentIndex(), 0);
        EXPECT_EQ(other->cbRecordsPerPage->currentText(), QStringLiteral("500"));
    }
}

// What the memory holds is taken as far as the window still offers it: a store no longer in
// its list leaves every store; the order and find go into the first run.
TEST_F(ReportWindow, ARememberedRunIsTakenAsFarAsItStillHolds)
{
    TReportMemory::Remember(kSqliteDsn, rkSalesSummary,
                            TReportFilters{.FromDate = DateToDays(QDate(2026, 3, 1)),
                                           .ToDate = DateToDays(QDate(2026, 3, 2)),
                                           .StoreN = 987654,
                                           .RecordsPerPage = 333,
                                           .SortColumn = 10,
                                           .SortDescending = true,
                                           .FindText = QStringLiteral("0000")});
    auto form = Open<TSalesSummaryForm>(dbSqlite);
    EXPECT_EQ(form->StoreFilterLookup->currentIndex(), 0);
    EXPECT_EQ(form->cbRecordsPerPage->currentText(), QStringLiteral("500")); // no such page size
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->CurrentFilters().StoreN, 0);
    EXPECT_EQ(form->CurrentFilters().SortColumn, 10);
    EXPECT_TRUE(form->CurrentFilters().SortDescending);
    EXPECT_EQ(form->CurrentFilters().FindText, QStringLiteral("0000"));
    EXPECT_EQ(form->FromDateFilterPicker->date(), QDate(2026, 3, 1));
}

} // namespace
