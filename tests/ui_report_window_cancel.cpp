// Giving up a page that is loading (Esc, the Cancel button on the loading picture): the
// statement stops on the server and the window is as it was before the click.
#include "ReportWindowFixture.h"

namespace {

// What a user sees of a window: the rows, the count, the summary, the pager and the panels.
struct TWindowLook {
    QStringList Codes;
    int Count = 0;
    int Page = 0;
    QString Summary;
    QStringList Pager;
    QString PageSize;
    TLoadingState State = TLoadingState::lsBlank;
    bool FiltersShown = false;
    bool operator==(const TWindowLook&) const = default;
};

TWindowLook LookOf(TAbsReportBaseForm& form)
{
    TWindowLook look;
    look.Codes = Column(form, 0);
    look.Count = form.CurrentRecCount();
    look.Page = form.CurrentFilters().PageNumber;
    look.Summary = form.SummaryLabel->text();
    for (QPushButton* b : {form.FirstPageButton, form.PreviousPageButton, form.CurrentPageButton,
                           form.NextPageButton, form.LastPageButton})
        look.Pager << b->text() + (b->isEnabled() ? QStringLiteral("+") : QStringLiteral("-"));
    look.PageSize = form.cbRecordsPerPage->currentText();
    look.State = form.LoadingState();
    look.FiltersShown = !form.FiltersPanel->isHidden();
    return look;
}

void PrintTo(const TWindowLook& l, std::ostream* os)
{
    *os << "rows " << l.Codes.size() << " first " << l.Codes.value(0).toStdString() << " count " << l.Count
        << " page " << l.Page << " size " << l.PageSize.toStdString() << " state " << int(l.State) << " filters "
        << l.FiltersShown << " pager " << l.Pager.join(QLatin1Char(' ')).toStdString();
}

// The items table held in ACCESS EXCLUSIVE mode by another session while it lives: the
// window's statements wait for it on the server until they are cancelled.
class TItemsLocked {
public:
    TItemsLocked() : FSession(TestManager(dbPostgres, kScratchPgDsn))
    {
        FSession->OpenConnection().SetAutoCommit(false);
        FSession->FastSql(QStringLiteral("LOCK TABLE ItemsAudit IN ACCESS EXCLUSIVE MODE"));
    }
    ~TItemsLocked() { FSession->Connection().EndTransaction(); }

private:
    std::unique_ptr<TSqlDataManager> FSession;
};

TEST_F(ReportWindow, APageGivenUpLeavesTheWindowAsBefore)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*db, 1234);
    const auto waiting = [&] {
        return db->FastSql(QStringLiteral("select count(*) from pg_stat_activity where wait_event_type = 'Lock' "
                                          "and datname = current_database()"))
            .toInt();
    };
    auto form = Open<TItemsForm>(dbPostgres, kScratchPgDsn);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

    enum TGiveUp { Esc, Button };
    // Gives up the load once its statement waits on the server; the cancel reaches it.
    const auto giveUp = [&](TGiveUp how) {
        ASSERT_TRUE(form->PageLoading());
        ASSERT_TRUE(PumpUntil([&] { return waiting() == 1; }, 10000));
        if (how == Esc) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), Qt::Key_Escape);
        } else {
            // The picture and its button come up also for a page move, after a moment.
            ASSERT_TRUE(PumpUntil([&] { return form->CancelLoadButton->isVisible(); }, 5000));
            EXPECT_TRUE(form->LoadingGifImage->isVisible());
            QTest::mouseClick(form->CancelLoadButton, Qt::LeftButton);
        }
        EXPECT_FALSE(form->PageLoading());
        EXPECT_TRUE(PumpUntil([&] { return waiting() == 0; }, 10000)) << "the statement still waits on the server";
    };

    // From the blank window, the first run given up: blank again, the filter panel open.
    const TWindowLook blank = LookOf(*form);
    ASSERT_TRUE(blank.FiltersShown);
    {
        TItemsLocked locked;
        form->ReportButtonClick();
        EXPECT_FALSE(form->FiltersPanel->isVisible());
        giveUp(Esc);
        EXPECT_EQ(LookOf(*form), blank);
        EXPECT_TRUE(form->ReportButton->isEnabled());
    }

    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    form->NextPageButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    const TWindowLook second = LookOf(*form);
    ASSERT_EQ(second.Count, 1234);
    ASSERT_EQ(second.Codes.value(0), QStringLiteral("501"));
    ASSERT_EQ(second.State, TLoadingState::lsLoaded);

    const struct {
        const char* name;
        bool filtersOpen;
        std::function<void()> click;
        TGiveUp how;
    } clicks[] = {
        {"Next", false, [&] { form->NextPageButtonClick(); }, Button},
        {"Last", false, [&] { form->LastPageButtonClick(); }, Esc},
        {"Report", false, [&] { form->ReportButtonClick(); }, Esc},
        {"Report with the filter panel open", true, [&] { form->ReportButtonClick(); }, Button},
        {"page size", false,
         [&] { form->cbRecordsPerPage->setCurrentIndex(form->cbRecordsPerPage->currentIndex() + 1); }, Esc},
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.name);
        if (c.filtersOpen) {
            QCoreApplication::postEvent(form.get(), new QEvent(WM_TOGGLE_FILTERS));
            ASSERT_TRUE(PumpUntil([&] { return form->FiltersPanel->isVisible(); }));
        }
        const TWindowLook before = LookOf(*form);
        {
            TItemsLocked locked;
            c.click();
            giveUp(c.how);
            EXPECT_EQ(LookOf(*form), before);
            EXPECT_TRUE(form->ReportDBGrid->isVisible());
            EXPECT_FALSE(form->LoadingGifImage->isVisible());
            EXPECT_TRUE(form->ReportButton->isEnabled());
            EXPECT_TRUE(form->PagesPanel->isEnabled());
        }
        if (form->FiltersPanel->isVisible())
            QCoreApplication::postEvent(form.get(), new QEvent(WM_TOGGLE_FILTERS));
        Pump(50);
    }

    // With the lock gone the same moves work from where the window stood.
    form->NextPageButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(Column(*form, 0).value(0), QStringLiteral("1001"));
    EXPECT_EQ(form->CurrentFilters().PageNumber, 2);
}

// A server that does not take the cancel (its backend stopped): the window is given back at
// once, its controls wait until the statement has let go of the connection.
TEST_F(ReportWindow, AGivenUpPageOnAHungServerKeepsTheControlsUntilItLetsGo)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*db, 10);
    auto form = Open<TPartnersForm>(dbPostgres, kScratchPgDsn); // its rows sleep on the server
    form->ReportButtonClick();
    const int pid = SleepingBackend(*db);
    ASSERT_NE(pid, 0);
    const TStoppedBackend stopped(pid);
    ASSERT_TRUE(stopped.Stopped);

    QTest::mouseClick(form->CancelLoadButton, Qt::LeftButton);
    EXPECT_FALSE(form->PageLoading());
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsBlank);
    EXPECT_TRUE(form->FiltersPanel->isVisible());
    EXPECT_TRUE(form->LoadingPageQuery().Executing());
    Pump(600);
    EXPECT_FALSE(form->ReportButton->isEnabled()) << "a second statement would wait behind the first";

    ::kill(pid, SIGCONT);
    EXPECT_TRUE(PumpUntil([&] { return form->ReportButton->isEnabled(); }, 20000));
    EXPECT_FALSE(form->LoadingPageQuery().Executing());
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsBlank); // the late page is not shown
    EXPECT_EQ(form->CurrentRecCount(), 0);
}

// The totals row goes back too: the sums of the run before, not those of the run given up.
TEST_F(ReportWindow, AGivenUpRunKeepsTheSumsOfTheRunBefore)
{
    auto form = Open<TSalesSummaryForm>(dbPostgres);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->FromDateFilterPicker->setDate(QDate(2026, 3, 1));
    form->ToDateFilterPicker->setDate(QDate(2026, 3, 31));
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    ASSERT_TRUE(form->Totals());
    ASSERT_EQ(form->Totals()->State(), TReportTotals::TState::Done);
    const QStringList sums = form->Totals()->Sums();
    const QString summary = form->SummaryLabel->text();

    auto db = TestManager(dbPostgres);
    auto locker = TestManager(dbPostgres);
    locker->OpenConnection().SetAutoCommit(false);
    locker->FastSql(QStringLiteral("LOCK TABLE Sales IN ACCESS EXCLUSIVE MODE"));
    form->StoreFilterLookup->setCurrentIndex(1);
    form->ReportButtonClick();
    EXPECT_TRUE(PumpUntil([&] {
        return db->FastSql(QStringLiteral("select count(*) from pg_stat_activity where wait_event_type = 'Lock' "
                                          "and datname = current_database()"))
                   .toInt() == 1;
    }, 10000));
    EXPECT_EQ(form->Totals()->State(), TReportTotals::TState::Waiting);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : form.get(), Qt::Key_Escape);
    locker->Connection().EndTransaction();
    EXPECT_FALSE(form->PageLoading());
    EXPECT_EQ(form->Totals()->State(), TReportTotals::TState::Done);
    EXPECT_EQ(form->Totals()->Sums(), sums);
    EXPECT_EQ(form->SummaryLabel->text(), summary);

    // With the lock gone the same click runs, with the sums of its store.
    form->ReportButtonClick();
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->Totals()->State(), TReportTotals::TState::Done);
    EXPECT_NE(form->Totals()->Sums(), sums);
}

} // namespace
