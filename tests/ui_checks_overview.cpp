// The checks tab of the ribbon and the overview of the checks: the tab's commands follow the
// catalogue and open their windows; the overview runs every check, gives up on Esc, and a
// line opens its check with the overview's filters.
#include "CheckWindowFixture.h"
#include "app/ribbon/RibbonKeyTips.h"
#include "app/ribbon/RibbonLook.h"
#include "checks/CheckCommandsUnit.h"

#include <QAbstractButton>
#include <QMenu>
#include <QProgressBar>
#include <QStandardItemModel>

namespace {

const TCheckDef& UnpForm() { return *FindCheckByKey(u"unp-form"); }

// The index of the overview's line of the check `key`, or of the first line in `state`; -1
// for none.
int LineOf(const TCheckOverviewForm& overview, const TCheckDef& def)
{
    for (size_t i = 0; i < overview.Lines().size(); ++i)
        if (overview.Lines()[i].Def == &def)
            return int(i);
    return -1;
}
int LineIn(const TCheckOverviewForm& overview, TCheckOverviewForm::TLine::TState state)
{
    for (size_t i = 0; i < overview.Lines().size(); ++i)
        if (overview.Lines()[i].State == state)
            return int(i);
    return -1;
}

std::map<QString, QString> KeyTips()
{
    std::map<QString, QString> tips;
    for (QWidget* window : QApplication::topLevelWidgets())
        for (QLabel* badge : window->findChildren<QLabel*>(QStringLiteral("RibbonKeyTip")))
            if (badge->isVisible())
                tips[badge->property("keyTipTarget").toString()] = badge->text();
    return tips;
}

void TypeKey(const QString& letter)
{
    QWidget* target = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::focusWidget();
    QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, letter, Qt::NoModifier);
    QApplication::processEvents();
}

TEST_F(CheckWindow, TheChecksTabFollowsTheCatalogueAndOpensTheirWindows)
{
    QTemporaryDir dir;
    const std::unique_ptr<TMainForm> main = MainOnDemo(dir);
    TUIRibbon* ribbon = main->Ribbon();
    ASSERT_EQ(ribbon->TabCount(), 3);
    // Every command id once, the markup's own and the tab's.
    std::set<int> ids;
    for (TUICommand* command : ribbon->Commands())
        EXPECT_TRUE(ids.insert(command->CommandId()).second) << command->Name().toStdString();
    EXPECT_EQ(ribbon->CommandById(CmdChecks)->Caption(), QStringLiteral("Проверки"));
    EXPECT_EQ(ribbon->CommandById(CmdChecksOverview)->Caption(), QStringLiteral("Обобщение на проверките"));

    // A command per check, in its group, with its title and purpose.
    const std::span<const TCheckDef> checks = CheckList();
    std::vector<const TCheckDef*> onTab;
    for (const TCheckCommandGroup& group : CheckCommandGroups())
        for (const TCheckCommand& c : group.Commands)
            if (c.Def) {
                onTab.push_back(c.Def);
                EXPECT_EQ(group.Group.Caption, CheckGroupCaption(c.Def->Group));
                TUICommand* command = ribbon->CommandById(c.Id);
                ASSERT_TRUE(command);
                EXPECT_EQ(command->TooltipTitle(), QString::fromUtf16(c.Def->Title));
                EXPECT_EQ(command->TooltipDescription(), QString::fromUtf16(c.Def->Purpose));
                auto* button = ribbon->findChild<QAbstractButton*>(command->Name());
                ASSERT_TRUE(button);
                EXPECT_EQ(StripMnemonic(button->text()), QString::fromUtf16(c.Def->Title));
            }
    ASSERT_EQ(onTab.size(), checks.size());
    for (size_t i = 0; i < checks.size(); ++i)
        EXPECT_EQ(onTab[i], &checks[i]);

    // Each opens its window once; the overview too.
    for (size_t i = 0; i < checks.size(); ++i) {
        for (int twice = 0; twice < 2; ++twice)
            dynamic_cast<TUICommandAction*>(ribbon->CommandById(CmdCheckFirst + int(i)))->Execute();
        auto* form = dynamic_cast<TCheckForm*>(main->MdiArea()->activeSubWindow()->widget());
        ASSERT_TRUE(form);
        EXPECT_EQ(&form->Def(), &checks[i]);
        EXPECT_EQ(form->windowTitle(), QString::fromUtf16(checks[i].Title));
    }
    for (int twice = 0; twice < 2; ++twice)
        dynamic_cast<TUICommandAction*>(ribbon->CommandById(CmdChecksOverview))->Execute();
    EXPECT_TRUE(dynamic_cast<TCheckOverviewForm*>(main->MdiArea()->activeSubWindow()->widget()));
    EXPECT_EQ(main->MdiArea()->subWindowList().size(), qsizetype(checks.size() + 1));
    main->CloseAllReports();
}

// A tab added to the markup's may take no id or name the ribbon has already.
TEST(RibbonAddedTab, MayTakeNoCommandOfTheMarkup)
{
    BuildApplicationRibbonMarkup();
    QTemporaryDir dir;
    TUIRibbon::SetSettingsFolders(dir.path(), dir.path());
    for (const TUIRibbonAddedCommand& taken :
         {TUIRibbonAddedCommand{CmdSalesSummary, QStringLiteral("CmdNew")}, TUIRibbonAddedCommand{990, QStringLiteral("CmdTools")}}) {
        TUIRibbonForm form;
        form.Ribbon()->AddTab(TUIRibbonAddedTab{{980, QStringLiteral("CmdNewTab"), QStringLiteral("Нов")},
                                               {TUIRibbonAddedGroup{{981, QStringLiteral("CmdNewGroup")}, {taken}}}});
        EXPECT_THROW(form.LoadRibbon(), Exception);
    }
    TUIRibbon::SetSettingsFolders({}, {});
}

TEST_F(CheckWindow, TheChecksTabHasKeyTipsAndCollapsesInANarrowWindow)
{
    QTemporaryDir dir;
    const std::unique_ptr<TMainForm> main = MainOnDemo(dir);
    main->resize(1280, 700);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    TUIRibbon* ribbon = main->Ribbon();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : main.get(), Qt::Key_F10);
    QApplication::processEvents();
    const std::map<QString, QString> tabs = KeyTips();
    ASSERT_TRUE(tabs.count(QStringLiteral("CmdChecks")));
    EXPECT_EQ(tabs.at(QStringLiteral("CmdChecks")), QStringLiteral("П"));
    TypeKey(QStringLiteral("п"));
    EXPECT_EQ(ribbon->ActiveTabIndex(), 2);
    const std::map<QString, QString> commands = KeyTips();
    // For each group (the overview's too), its commands or (collapsed) its drop-down.
    EXPECT_GE(commands.size(), size_t(CheckCommandGroups().size()));
    EXPECT_LE(commands.size(), CheckList().size() + 1);
    std::set<QString> letters;
    for (const auto& [target, letter] : commands)
        letters.insert(letter);
    EXPECT_EQ(letters.size(), commands.size());
    Shot(*ribbon, "ribbon-checks-1280.png");
    // The overview by its letter.
    TypeKey(commands.at(QStringLiteral("CmdChecksOverview")));
    EXPECT_TRUE(PumpUntil([&] {
        return main->MdiArea()->activeSubWindow() &&
               dynamic_cast<TCheckOverviewForm*>(main->MdiArea()->activeSubWindow()->widget());
    }));

    // Narrow: the groups of the checks collapse into a drop-down listing their commands.
    main->resize(800, 600);
    QApplication::processEvents();
    Shot(*ribbon, "ribbon-checks-800.png");
    main->resize(120, 600);
    QApplication::processEvents();
    const QList<TCheckCommandGroup> groups = CheckCommandGroups();
    const QString group = groups.last().Group.Name;
    auto* dropDown = ribbon->findChild<QAbstractButton*>(group + QStringLiteral("DropDown"));
    ASSERT_TRUE(dropDown && dropDown->isVisible()) << ribbon->width() << " " << main->width();
    auto* menu = dropDown->findChild<QMenu*>();
    ASSERT_TRUE(menu);
    QStringList items;
    for (QAction* action : menu->actions())
        items << action->objectName();
    QStringList expected;
    for (const TCheckCommand& c : groups.last().Commands)
        expected << c.Name;
    EXPECT_EQ(items, expected);
    main->CloseAllReports();
}

// The overview's counts are each check's own count for the same filters.
TEST_F(CheckWindow, TheOverviewCountsWhatEachCheckFinds)
{
    auto db = TestManager(dbSqlite, kScratchDsn);
    QStringList unps{GoodUnp(1), QStringLiteral("bad-1"), QStringLiteral("bad-2"), QString()};
    BuildScratchSales(*db, unps);
    auto overview = OpenOverview(dbSqlite, kScratchDsn);
    ASSERT_EQ(overview->Model->rowCount(), int(CheckList().size()));
    overview->FromDateField->setDate(QDate(2026, 3, 1));
    overview->ToDateField->setDate(QDate(2026, 3, 31));
    overview->Run();
    ASSERT_TRUE(PumpUntil([&] { return !overview->Running(); }));
    EXPECT_EQ(overview->ProgressBar->value(), int(CheckList().size()));
    for (int i = 0; i < int(CheckList().size()); ++i) {
        const TCheckOverviewForm::TLine& line = overview->Lines()[size_t(i)];
        SCOPED_TRACE(line.Def->Key);
        ASSERT_EQ(line.State, TCheckOverviewForm::TLine::TState::Done) << line.Note.toStdString();
        EXPECT_EQ(overview->Model->item(i, TCheckOverviewForm::colTitle)->text(), QString::fromUtf16(line.Def->Title));
        EXPECT_EQ(overview->Model->item(i, TCheckOverviewForm::colPurpose)->text(),
                  QString::fromUtf16(line.Def->Purpose));
        const TReportFilters filters = overview->RunFilters();
        auto form = OpenCheck(dbSqlite, kScratchDsn, *line.Def, &filters);
        form->ReportButtonClick();
        ASSERT_TRUE(WaitIdle(*form));
        EXPECT_EQ(line.Count, form->CurrentRecCount());
        // A check with findings stands out.
        EXPECT_EQ(overview->Model->item(i, TCheckOverviewForm::colCount)->font().bold(), line.Count > 0);
    }
    EXPECT_EQ(overview->Lines()[size_t(LineOf(*overview, UnpForm()))].Count, 3); // two malformed UNPs and a missing one
    Shot(*overview, "overview-light.png");
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xe0, 0xe0, 0xe0));
    overview->setPalette(dark);
    overview->Run();
    ASSERT_TRUE(PumpUntil([&] { return !overview->Running(); }));
    Shot(*overview, "overview-dark.png");
}

// A check that fails says why in its line, and the run ends as usual.
TEST_F(CheckWindow, AFailingCheckShowsItsErrorInItsLine)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchSales(*db, {QStringLiteral("bad-1")});
    db->FastSql(QStringLiteral("drop table SalesRevokedAudit"));
    auto overview = OpenOverview(dbPostgres, kScratchPgDsn);
    overview->Run();
    ASSERT_TRUE(PumpUntil([&] { return !overview->Running(); }));
    // unp-form reads the revoked sales too.
    const int at = LineOf(*overview, UnpForm());
    const TCheckOverviewForm::TLine& line = overview->Lines()[size_t(at)];
    EXPECT_EQ(line.State, TCheckOverviewForm::TLine::TState::Failed);
    EXPECT_TRUE(line.Note.contains(QStringLiteral("salesrevokedaudit"), Qt::CaseInsensitive)) << line.Note.toStdString();
    EXPECT_EQ(overview->Model->item(at, TCheckOverviewForm::colNote)->text(), line.Note);
    EXPECT_EQ(overview->Model->item(at, TCheckOverviewForm::colCount)->text(), QStringLiteral("грешка"));
    // The checks that do not read it ran.
    EXPECT_EQ(overview->Lines()[size_t(LineOf(*overview, *FindCheckByKey(u"time-long-open")))].State,
              TCheckOverviewForm::TLine::TState::Done);
    EXPECT_TRUE(overview->RunButton->isEnabled());
}

// Esc gives the run up: the running statement stops on the server, the checks not run say
// so; on a server that does not answer the window is free at once and runs again once it has.
TEST_F(CheckWindow, TheOverviewRunCanBeGivenUp)
{
    auto db = TestManager(dbPostgres, kScratchPgDsn);
    BuildScratchSales(*db, {QStringLiteral("bad-1")}, rkSalesSummary);
    auto overview = OpenOverview(dbPostgres, kScratchPgDsn);
    overview->FromDateField->setDate(QDate(2026, 3, 1));
    overview->ToDateField->setDate(QDate(2026, 3, 31));
    overview->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(overview.get()));
    for (bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped server" : "sleeping statement");
        ASSERT_TRUE(PumpUntil([&] { return overview->RunButton->isEnabled(); }));
        overview->Run();
        ASSERT_TRUE(overview->Running());
        const int pid = SleepingBackend(*db, QStringLiteral("%SalesSummaryAudit%"));
        ASSERT_NE(pid, 0) << overview->ProgressLabel->text().toStdString();
        const int at = LineIn(*overview, TCheckOverviewForm::TLine::TState::Running);
        ASSERT_GE(at, 0);
        EXPECT_EQ(overview->ProgressLabel->text(), QStringLiteral("Проверка %1 от %2: %3")
                                                       .arg(at + 1)
                                                       .arg(CheckList().size())
                                                       .arg(QString::fromUtf16(overview->Lines()[size_t(at)].Def->Title)));
        std::optional<TStoppedBackend> halt;
        if (stopped) {
            halt.emplace(pid);
            ASSERT_TRUE(halt->Stopped);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        EXPECT_FALSE(overview->Running());
        EXPECT_EQ(overview->Lines()[size_t(at)].State, TCheckOverviewForm::TLine::TState::Cancelled);
        EXPECT_EQ(overview->Model->item(at, TCheckOverviewForm::colCount)->text(), QStringLiteral("не е проверено"));
        EXPECT_EQ(overview->Lines().back().State, TCheckOverviewForm::TLine::TState::Cancelled);
        EXPECT_EQ(overview->RunButton->isEnabled(), !stopped);
        halt.reset();
        EXPECT_TRUE(PumpUntil([&] { return Sleepers(*db) == 0; }));
    }
    EXPECT_TRUE(PumpUntil([&] { return overview->RunButton->isEnabled(); }));
}

// A line opens its check with the overview's filters, and runs it.
TEST_F(CheckWindow, AnOverviewLineOpensItsCheckWithTheSameFilters)
{
    QTemporaryDir dir;
    const std::unique_ptr<TMainForm> main = MainOnDemo(dir);
    dynamic_cast<TUICommandAction*>(main->Ribbon()->CommandById(CmdChecksOverview))->Execute();
    auto* overview = dynamic_cast<TCheckOverviewForm*>(main->MdiArea()->activeSubWindow()->widget());
    ASSERT_TRUE(overview);
    overview->FromDateField->setDate(QDate(2025, 2, 1));
    overview->ToDateField->setDate(QDate(2025, 2, 28));
    overview->StoreLookup->setCurrentIndex(2);
    overview->UserLookup->setCurrentIndex(1);
    overview->Run();
    ASSERT_TRUE(PumpUntil([&] { return !overview->Running(); }));
    const TReportFilters ran = overview->RunFilters();
    ASSERT_NE(ran.StoreN, 0);
    // A check with every filter.
    const int at = LineOf(*overview, *FindCheckByKey(u"time-long-open"));
    overview->Table->setCurrentIndex(overview->Model->index(at, TCheckOverviewForm::colTitle));
    QTest::keyClick(overview->Table, Qt::Key_Return);
    auto* form = dynamic_cast<TCheckForm*>(main->MdiArea()->activeSubWindow()->widget());
    ASSERT_TRUE(form);
    EXPECT_EQ(&form->Def(), overview->Lines()[size_t(at)].Def);
    ASSERT_TRUE(WaitIdle(*form));
    EXPECT_EQ(form->LoadingState(), TLoadingState::lsLoaded); // it ran
    EXPECT_EQ(form->CurrentFilters().FromDate, ran.FromDate);
    EXPECT_EQ(form->CurrentFilters().ToDate, ran.ToDate);
    EXPECT_EQ(form->CurrentFilters().StoreN, ran.StoreN);
    EXPECT_EQ(form->CurrentFilters().UserN, ran.UserN);
    EXPECT_EQ(form->CurrentRecCount(), overview->Lines()[size_t(at)].Count);
    main->CloseAllReports();
}

} // namespace
