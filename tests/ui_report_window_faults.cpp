// Report windows under faults and while they work: failures that give the window back, the
// count in the background, closing mid-load and while the server hangs, memory over many
// windows, exports asked for while a page or a statement is on its way, a lost connection.
#include "ReportWindowFixture.h"

namespace {

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
TEST_F(ReportWindow, ClosingMidLoadFreesWindowAndConnection)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchReports(*db, 10);
    auto backends = [&] { return OtherBackends(*db); };
    const int before = backends();

    QTemporaryDir dir;
    auto mainForm = MainWithScratchReport(dir, rkPartners);
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

// The style keeps the pictures it draws in the application's picture cache under the
// identity of the icon and of the palette: windows share theirs, so that each window opened
// adds nothing there (a window's own magnifier icon and current-page palette added about
// 7 KB a window, up to the cache's limit of 10 MB). The current page still shows its number
// in the highlight colour.
TEST_F(ReportWindow, WindowsShareTheIconAndPaletteTheStyleCachesBy)
{
    auto first = Open<TSalesDetailForm>(dbSqlite);
    auto second = Open<TSalesDetailForm>(dbSqlite);
    EXPECT_EQ(first->ReportButton->icon().cacheKey(), second->ReportButton->icon().cacheKey());
    for (TAbsReportBaseForm* form : {first.get(), second.get()}) {
        form->ReportButtonClick();
        ASSERT_TRUE(WaitIdle(*form));
        QPushButton* current = form->CurrentPageButton;
        ASSERT_EQ(current->text(), QStringLiteral("1"));
        EXPECT_FALSE(current->testAttribute(Qt::WA_SetPalette));
        EXPECT_EQ(current->palette().cacheKey(), form->NextPageButton->palette().cacheKey());
        ASSERT_FALSE(current->isEnabled());
        const QColor highlight = current->palette().color(QPalette::Active, QPalette::Highlight);
        const QImage drawn = current->grab().toImage();
        int highlighted = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                highlighted += drawn.pixelColor(x, y) == highlight ? 1 : 0;
        EXPECT_GT(highlighted, 0) << "the page number is not in the highlight colour";
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
        auto main = MainWithScratchReport(dir, rkPartners);
        ASSERT_EQ(main->MdiArea()->subWindowList().size(), 1);
        QMdiSubWindow* sub = main->MdiArea()->subWindowList().front();
        QPointer<QWidget> form = sub->widget();
        auto* partners = dynamic_cast<TPartnersForm*>(form.data());
        ASSERT_TRUE(partners);
        partners->ReportButtonClick();
        // The window's session, stopped in the middle of its page: the only one asleep in the
        // slow view's function.
        const int pid = SleepingBackend(*db);
        ASSERT_NE(pid, 0);
        const TStoppedBackend stopped(pid);
        ASSERT_TRUE(stopped.Stopped);

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
        EXPECT_TRUE(partners->LoadingPageQuery().Executing());

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
