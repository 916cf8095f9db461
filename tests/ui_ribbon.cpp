// The ribbon of the main window on real widgets: its tabs, groups, buttons and
// application menu as built from the program's markup, the command objects handed to
// the hosting window, execution of commands, and the ribbon state file.

#include "TestSupport.h"
#include "app/ribbon/RibbonMarkup.h"
#include "app/ribbon/UIRibbonFormUnit.h"
#include "app/ribbon/UIRibbonUnit.h"
#include "db/Exception.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

std::string U8(const QString& s) { return s.toStdString(); }

const QString kAppFolder = QStringLiteral("Дравик Одитор Продажби");
const QString kStateFile = QStringLiteral("MainForm_RibbonOptions.xml");

// A ribbon window that records what the ribbon hands it.
class TRecordingForm : public TUIRibbonForm {
public:
    std::vector<TUICommand*> Created;
    int AfterLoadCalls = 0;
    int CreatedBeforeAfterLoad = -1;

protected:
    void RibbonCommandCreated(TUIRibbon* sender, TUICommand* command) override
    {
        EXPECT_EQ(sender, Ribbon());
        Created.push_back(command);
    }
    void AfterRibbonLoad() override
    {
        ++AfterLoadCalls;
        CreatedBeforeAfterLoad = static_cast<int>(Created.size());
    }
};

// Every test runs with its own executable folder and user config folder, so no state
// file of the user is read or written.
class RibbonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        FExeDir = FDir.filePath("exe");
        FConfigDir = FDir.filePath("config");
        QDir().mkpath(FExeDir);
        TUIRibbon::SetSettingsFolders(FExeDir, FConfigDir);
    }
    void TearDown() override { TUIRibbon::SetSettingsFolders({}, {}); }

    QString ConfigStateFile() const { return FConfigDir + "/" + kAppFolder + "/" + kStateFile; }
    QString ExeStateFile() const { return FExeDir + "/" + kStateFile; }

    static std::unique_ptr<TRecordingForm> ShownForm()
    {
        auto form = std::make_unique<TRecordingForm>();
        form->setCentralWidget(new QMdiArea);
        form->resize(1200, 700);
        form->LoadRibbon();
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }

    QTemporaryDir FDir;
    QString FExeDir;
    QString FConfigDir;
};

// Widgets of a role ("tab", "group", "button") that the user can see, left to right.
std::vector<QWidget*> Visible(QWidget* root, const char* role)
{
    std::vector<QWidget*> out;
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->property("ribbonRole").toString() == QLatin1String(role) && w->isVisible())
            out.push_back(w);
    std::sort(out.begin(), out.end(), [](QWidget* a, QWidget* b) {
        return a->mapToGlobal(QPoint(0, 0)).x() < b->mapToGlobal(QPoint(0, 0)).x();
    });
    return out;
}

std::vector<std::string> Texts(const std::vector<QWidget*>& widgets)
{
    std::vector<std::string> out;
    for (QWidget* w : widgets)
        out.push_back(U8(static_cast<QAbstractButton*>(w)->text()));
    return out;
}

QAbstractButton* Button(QWidget* root, const char* name)
{
    auto* button = root->findChild<QAbstractButton*>(QLatin1String(name));
    EXPECT_NE(button, nullptr) << name;
    return button;
}

std::string PlainTooltip(const QString& html)
{
    QTextDocument document;
    document.setHtml(html);
    return U8(document.toPlainText());
}

void ClickTab(TUIRibbon* ribbon, const char* name)
{
    QTest::mouseClick(Button(ribbon, name), Qt::LeftButton);
    QApplication::processEvents();
}

// ---- Layout ---------------------------------------------------------------------------------

TEST_F(RibbonTest, HostsTheRibbonAboveTheCentralWidget)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    EXPECT_EQ(form->menuWidget(), ribbon);
    EXPECT_EQ(ribbon->parentWidget(), form.get());
    EXPECT_EQ(ribbon->height(), 117);
    EXPECT_EQ(ribbon->width(), form->width());
    EXPECT_EQ(ribbon->geometry().top(), 0);
    EXPECT_GE(form->centralWidget()->geometry().top(), ribbon->geometry().bottom());
    EXPECT_EQ(ribbon->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(ribbon->autoFillBackground());
}

TEST_F(RibbonTest, TwoTabsTablesThenTools)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    EXPECT_EQ(Texts(Visible(ribbon, "tab")), (std::vector<std::string>{"Таблици", "Инструменти"}));
    EXPECT_EQ(ribbon->TabCount(), 2);
    EXPECT_EQ(ribbon->ActiveTabIndex(), 0);
    EXPECT_FALSE(ribbon->Minimized());
    // The application menu button sits left of the tabs.
    QAbstractButton* menuButton = Button(ribbon, "CmdApplicationMenu");
    ASSERT_NE(menuButton, nullptr);
    EXPECT_EQ(U8(menuButton->text()), "Системни");
    EXPECT_LT(menuButton->mapToGlobal(QPoint()).x(), Visible(ribbon, "tab").front()->mapToGlobal(QPoint()).x());
}

TEST_F(RibbonTest, GroupsAndButtonsInDisplayOrderOnEachTab)
{
    using Group = std::pair<std::string, std::vector<std::string>>;
    struct Case {
        const char* tab;
        std::vector<Group> groups;
    };
    const Case cases[] = {
        {"CmdReports",
         {{"Продажби",
           {"Продажби обобщено", "Плащания", "Продажби детайлни", "Сторнирани продажби", "Анулирани продажби"}},
          {"Номенклатури",
           {"Стоки", "Клиенти / Доставчици", "Видове Операции ", "Видове плащания", "Търговски обекти", "Потребители",
            "Лог на действията"}}}},
        {"CmdTools", {{"Инструменти", {"Експорт в Ексел", "Експорт в CSV"}}}},
    };
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    for (const Case& c : {cases[1], cases[0]}) {
        SCOPED_TRACE(c.tab);
        ClickTab(ribbon, c.tab);
        std::vector<Group> shown;
        for (QWidget* group : Visible(ribbon, "group")) {
            auto* caption = group->findChild<QLabel*>();
            ASSERT_NE(caption, nullptr);
            shown.emplace_back(U8(caption->text()), Texts(Visible(group, "button")));
            // The whole group is inside the ribbon: nothing is cut off at 1200 px.
            EXPECT_LE(group->mapTo(ribbon, QPoint(group->width(), 0)).x(), ribbon->width());
        }
        EXPECT_EQ(shown, c.groups);
    }
}

TEST_F(RibbonTest, ApplicationMenuHasTwoGroupsOfMajorItems)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    QMenu* menu = ribbon->ApplicationMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->isVisible());

    std::vector<std::string> items;
    for (QAction* action : menu->actions()) {
        items.push_back(action->isSeparator() ? "|" : U8(action->text()));
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->icon().isNull()) << U8(action->text());
        }
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Избор на база данни", "|", "Информация за \"Дравик Одитор Продажби\"",
                                               "И&зход"}));

    QTest::mousePress(Button(ribbon, "CmdApplicationMenu"), Qt::LeftButton);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_LE(menu->pos().y(), ribbon->mapToGlobal(QPoint(0, ribbon->height())).y());
    menu->close();
}

TEST_F(RibbonTest, UnplacedCommandsExistButAppearNowhere)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();

    QStringList shown;
    for (QWidget* w : ribbon->findChildren<QWidget*>()) {
        shown << w->toolTip() << w->accessibleName();
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            shown << button->text();
        if (auto* label = qobject_cast<QLabel*>(w))
            shown << label->text();
    }
    for (QAction* action : ribbon->ApplicationMenu()->actions())
        shown << action->text() << action->toolTip();
    const QString all = shown.join('\n');
    ASSERT_TRUE(all.contains("Лог на действията")); // the walk does see the placed buttons
    for (const char* hidden : {"Работни места", "Потребителски роли", "Потребителски права"})
        EXPECT_FALSE(all.contains(QString::fromUtf8(hidden))) << hidden;

    const std::pair<int, const char*> unplaced[] = {
        {CmdWorkplaces, "Работни места"}, {CmdUserRoles, "Потребителски роли"}, {CmdUserRights, "Потребителски права"}};
    for (const auto& [id, caption] : unplaced) {
        TUICommand* command = ribbon->CommandById(id);
        ASSERT_NE(command, nullptr) << id;
        EXPECT_NE(dynamic_cast<TUICommandAction*>(command), nullptr) << id;
        EXPECT_EQ(U8(command->Caption()), caption);
        EXPECT_EQ(ribbon->findChild<QAbstractButton*>(command->Name()), nullptr) << id;
    }
}

// ---- Texts and pictures -----------------------------------------------------------------

TEST_F(RibbonTest, LabelsAndTooltipsComeFromTheStringTable)
{
    struct Case {
        const char* button;
        const char* label;
        const char* tooltip; // as the user reads it
    };
    const Case cases[] = {
        {"CmdSalesSummary", "Продажби обобщено", "Продажби обобщено\nОбобщени данни за продажбите"},
        {"CmdSalePayments", "Плащания", "Плащания по продажби\nДанни за плащанията по продажбите"},
        {"CmdSalesReturn", "Сторнирани продажби", "Сторнирани продажби"},
        {"CmdActivityTypes", "Видове Операции ", "Видове Операции\nВидове операции (типове документи)"},
        {"CmdStores", "Търговски обекти", "Търговски обекти\nТърговски обекти (Складове) дефинирани в системата"},
        {"CmdActionsLog", "Лог на действията", ""},
        {"CmdExportExcel", "Експорт в Ексел",
         "Експорт в Ексел\nЕкспорт на данните от текущо избраната справка във Ексел"},
        {"CmdExportCSV", "Експорт в CSV", "Експорт в CSV\nЕкспорт на данните от текущо избраната справка във CSV"},
        {"CmdApplicationMenu", "Системни", "Системни"},
    };
    auto form = ShownForm();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        QAbstractButton* button = Button(form->Ribbon(), c.button);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(U8(button->text()), c.label);
        EXPECT_EQ(PlainTooltip(button->toolTip()), c.tooltip);
    }

    // The command objects carry all four texts of their descriptor.
    TUICommand* menu = form->Ribbon()->CommandById(CmdApplicationMenu);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(U8(menu->LabelDescription()), "Системни");
    EXPECT_EQ(U8(menu->TooltipTitle()), "Системни");
    EXPECT_TRUE(menu->TooltipDescription().isEmpty());
    TUICommand* about = form->Ribbon()->CommandById(CmdAbout);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(U8(about->Caption()), "Информация за \"Дравик Одитор Продажби\"");
    EXPECT_TRUE(about->TooltipTitle().isEmpty());
}

TEST_F(RibbonTest, PlacedButtonsAndMenuItemsShowTheirPictures)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    int checked = 0;
    for (TUICommand* command : ribbon->Commands()) {
        if (!dynamic_cast<TUICommandAction*>(command))
            continue;
        SCOPED_TRACE(U8(command->Name()));
        for (const QIcon* icon : {&command->SmallImage(), &command->LargeImage()}) {
            ASSERT_FALSE(icon->isNull());
            // Drawn at the size it is shown at: not an empty, transparent picture.
            const QImage image = icon->pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
            int opaque = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    opaque += qAlpha(image.pixel(x, y)) > 200;
            EXPECT_GT(opaque, 150);
        }
        ++checked;
    }
    EXPECT_EQ(checked, 20); // 17 placed buttons and menu items + 3 unplaced commands
}

// ---- Commands -------------------------------------------------------------------------------

TEST_F(RibbonTest, EveryCommandIsHandedToTheWindowOnceThenAfterLoadRuns)
{
    auto form = std::make_unique<TRecordingForm>();
    form->LoadRibbon();
    std::vector<int> ids;
    for (TUICommand* command : form->Created)
        ids.push_back(command->CommandId());
    std::sort(ids.begin(), ids.end());
    std::vector<int> expected;
    for (int id = 2; id <= 27; ++id)
        expected.push_back(id);
    EXPECT_EQ(ids, expected);
    EXPECT_EQ(form->AfterLoadCalls, 1);
    EXPECT_EQ(form->CreatedBeforeAfterLoad, 26);

    // Tabs, groups and the application menu are not actions; everything else is.
    const std::set<int> anchors{CmdApplicationMenu, CmdReports, CmdTableSalesGroup, CmdTableNomenclatureGroups,
                                CmdTools, CmdToolsGroup};
    for (TUICommand* command : form->Created)
        EXPECT_EQ(dynamic_cast<TUICommandAction*>(command) == nullptr, anchors.count(command->CommandId()) == 1)
            << U8(command->Name());

    // A second load is ignored, whichever way it is asked for.
    const auto widgets = form->Ribbon()->findChildren<QWidget*>().size();
    form->LoadRibbon();
    form->Ribbon()->Load("APPLICATION");
    EXPECT_EQ(form->Created.size(), 26u);
    EXPECT_EQ(form->AfterLoadCalls, 1);
    EXPECT_EQ(form->Ribbon()->Commands().size(), 26);
    EXPECT_EQ(form->Ribbon()->findChildren<QWidget*>().size(), widgets);
}

TEST_F(RibbonTest, ClickingAButtonOrMenuItemRunsItsHandlerWithTheCommand)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    std::vector<TUICommandActionEventArgs> calls;
    for (TUICommand* command : ribbon->Commands())
        if (auto* action = dynamic_cast<TUICommandAction*>(command))
            action->OnExecute = [&calls](const TUICommandActionEventArgs& args) { calls.push_back(args); };

    struct Case {
        const char* tab;
        const char* button;
        int id;
    };
    for (const Case& c : {Case{"CmdReports", "CmdSalesSummary", CmdSalesSummary},
                          Case{"CmdReports", "CmdActionsLog", CmdActionsLog},
                          Case{"CmdTools", "CmdExportCSV", CmdExportCSV}}) {
        SCOPED_TRACE(c.button);
        calls.clear();
        ClickTab(ribbon, c.tab);
        QTest::mouseClick(Button(ribbon, c.button), Qt::LeftButton);
        ASSERT_EQ(calls.size(), 1u);
        ASSERT_NE(calls[0].Command, nullptr);
        EXPECT_EQ(calls[0].Command, ribbon->CommandById(c.id));
        EXPECT_EQ(calls[0].Command->CommandId(), c.id);
        EXPECT_EQ(calls[0].Verb, 0);
        EXPECT_EQ(calls[0].Properties, nullptr);
    }

    // Application menu items run their commands too.
    calls.clear();
    for (QAction* action : ribbon->ApplicationMenu()->actions())
        if (!action->isSeparator())
            action->trigger();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].Command->CommandId(), CmdChooseDb);
    EXPECT_EQ(calls[1].Command->CommandId(), CmdAbout);
    EXPECT_EQ(calls[2].Command->CommandId(), CmdExit);

    // A disabled command shows a disabled button and does not run.
    calls.clear();
    ClickTab(ribbon, "CmdTools");
    ribbon->CommandById(CmdExportExcel)->SetEnabled(false);
    QAbstractButton* excel = Button(ribbon, "CmdExportExcel");
    EXPECT_FALSE(excel->isEnabled());
    QTest::mouseClick(excel, Qt::LeftButton);
    EXPECT_TRUE(calls.empty());
    ribbon->CommandById(CmdExportExcel)->SetEnabled(true);
    QTest::mouseClick(excel, Qt::LeftButton);
    EXPECT_EQ(calls.size(), 1u);
}

TEST_F(RibbonTest, KeysTheWindowDoesNotUseAreOfferedToTheCommands)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    std::vector<int> ran;
    for (TUICommand* command : ribbon->Commands())
        if (auto* action = dynamic_cast<TUICommandAction*>(command))
            action->OnExecute = [&ran](const TUICommandActionEventArgs& args) { ran.push_back(args.Command->CommandId()); };

    // No command of the markup declares a key: keys reach no command.
    QTest::keyClick(form.get(), Qt::Key_E, Qt::ControlModifier);
    QTest::keyClick(form.get(), Qt::Key_F5);
    EXPECT_TRUE(ran.empty());

    ribbon->CommandById(CmdExportExcel)->SetShortcut(QKeySequence("Ctrl+E"));
    QTest::keyClick(form.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(ran, std::vector<int>{CmdExportExcel});

    // The window's own shortcut comes first.
    int windowShortcut = 0;
    auto* own = new QAction(form.get());
    own->setShortcut(QKeySequence("Ctrl+E"));
    form->addAction(own);
    QObject::connect(own, &QAction::triggered, [&windowShortcut] { ++windowShortcut; });
    QTest::keyClick(form.get(), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(windowShortcut, 1);
    EXPECT_EQ(ran.size(), 1u);
}

TEST_F(RibbonTest, MissingMarkupRaisesNamingTheResource)
{
    {
        TUIRibbon ribbon(nullptr);
        try {
            ribbon.Load("NOSUCH");
            FAIL() << "no exception";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message().contains("NOSUCH_RIBBON")) << U8(e.Message());
        }
        EXPECT_FALSE(ribbon.Loaded());
        EXPECT_TRUE(ribbon.Commands().isEmpty());
    }
    // At start-up the window says so in the error box, naming it, and the program can end.
    {
        class TMissingMarkupForm : public TUIRibbonForm {
        protected:
            QString RibbonResourceName() const override { return QStringLiteral("NOSUCH"); }
        } form;
        DialogAnswerer dialogs;
        dialogs.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); };
        EXPECT_FALSE(form.LoadRibbonOrSay());
        ASSERT_EQ(dialogs.seen.size(), 1);
        EXPECT_TRUE(dialogs.seen[0].contains("NOSUCH_RIBBON")) << U8(dialogs.seen[0]);
        EXPECT_FALSE(form.Ribbon()->Loaded());
    }
    // A ribbon that never loaded leaves no state file behind.
    EXPECT_FALSE(QFile::exists(ConfigStateFile()));
    EXPECT_FALSE(QFile::exists(ExeStateFile()));
}

// ---- Minimised ribbon ---------------------------------------------------------------------

TEST_F(RibbonTest, DoubleClickOnATabMinimisesAndRestoresTheRibbon)
{
    auto form = ShownForm();
    TUIRibbon* ribbon = form->Ribbon();
    std::vector<int> ran;
    for (TUICommand* command : ribbon->Commands())
        if (auto* action = dynamic_cast<TUICommandAction*>(command))
            action->OnExecute = [&ran](const TUICommandActionEventArgs& args) { ran.push_back(args.Command->CommandId()); };

    QTest::mouseDClick(Button(ribbon, "CmdReports"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_TRUE(ribbon->Minimized());
    EXPECT_LT(ribbon->height(), 40);
    EXPECT_FALSE(Button(ribbon, "CmdSalesSummary")->isVisible());
    EXPECT_GE(form->centralWidget()->geometry().top(), ribbon->geometry().bottom());

    // A click on a tab opens its band over the window; a command there closes it again.
    ClickTab(ribbon, "CmdTools");
    QAbstractButton* csv = Button(ribbon, "CmdExportCSV");
    ASSERT_TRUE(csv->isVisible());
    EXPECT_NE(csv->window(), form.get());
    EXPECT_LT(ribbon->height(), 40);
    QTest::mouseClick(csv, Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_EQ(ran, std::vector<int>{CmdExportCSV});
    EXPECT_FALSE(csv->isVisible());
    EXPECT_TRUE(ribbon->Minimized());

    QTest::mouseDClick(Button(ribbon, "CmdTools"), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(ribbon->Minimized());
    EXPECT_EQ(ribbon->height(), 117);
    EXPECT_TRUE(csv->isVisible());
    EXPECT_EQ(csv->window(), form.get());

    // Closing the window while the band is open over it keeps the minimised state.
    ribbon->SetMinimized(true);
    ClickTab(ribbon, "CmdReports");
    ASSERT_TRUE(Button(ribbon, "CmdSalesSummary")->isVisible());
    form.reset();
    QFile state(ConfigStateFile());
    ASSERT_TRUE(state.open(QIODevice::ReadOnly));
    const QByteArray xml = state.readAll();
    EXPECT_TRUE(xml.contains("<Minimized>true</Minimized>")) << xml.toStdString();
    EXPECT_TRUE(xml.contains("<SelectedTab>CmdReports</SelectedTab>")) << xml.toStdString();
}

// ---- Ribbon state file ----------------------------------------------------------------------

TEST_F(RibbonTest, StateFileLivesBesideTheExecutableWhenItExistsThereElseInTheConfigFolder)
{
    EXPECT_EQ(TUIRibbon::SettingsFileName(), ConfigStateFile());
    QFile beside(ExeStateFile());
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.close();
    EXPECT_EQ(TUIRibbon::SettingsFileName(), ExeStateFile());

    // With a state file beside the executable, that one is read and rewritten; the
    // config folder is not touched.
    {
        auto form = ShownForm();
        ClickTab(form->Ribbon(), "CmdTools");
    }
    EXPECT_FALSE(QDir(FConfigDir).exists());
    auto form = ShownForm();
    EXPECT_EQ(form->Ribbon()->ActiveTabIndex(), 1);
}

TEST_F(RibbonTest, StateIsWrittenOnDestructionReadBackAndDeletingItRestoresTheDefault)
{
    {
        auto form = ShownForm();
        ClickTab(form->Ribbon(), "CmdTools");
        form->Ribbon()->SetMinimized(true);
        EXPECT_FALSE(QFile::exists(ConfigStateFile()));
    }
    ASSERT_TRUE(QFile::exists(ConfigStateFile())); // folder named after the application created

    {
        auto form = ShownForm();
        EXPECT_EQ(form->Ribbon()->ActiveTabIndex(), 1);
        EXPECT_TRUE(form->Ribbon()->Minimized());
        EXPECT_LT(form->Ribbon()->height(), 40);
        form->Ribbon()->SetMinimized(false);
    }
    {
        auto form = ShownForm();
        EXPECT_EQ(form->Ribbon()->ActiveTabIndex(), 1);
        EXPECT_FALSE(form->Ribbon()->Minimized());
        EXPECT_TRUE(Button(form->Ribbon(), "CmdExportExcel")->isVisible());
    }

    ASSERT_TRUE(QFile::remove(ConfigStateFile()));
    auto form = ShownForm();
    EXPECT_EQ(form->Ribbon()->ActiveTabIndex(), 0);
    EXPECT_FALSE(form->Ribbon()->Minimized());
    EXPECT_EQ(form->Ribbon()->height(), 117);
    EXPECT_TRUE(Button(form->Ribbon(), "CmdSalesSummary")->isVisible());
}

TEST_F(RibbonTest, StateFileContentsThatDoNotFitAreIgnored)
{
    struct Case {
        const char* name;
        const char* content;
        int tab;
        bool minimized;
    };
    const Case cases[] = {
        {"valid", "<RibbonOptions><SelectedTab>CmdTools</SelectedTab><Minimized>true</Minimized></RibbonOptions>", 1,
         true},
        {"unknown tab", "<RibbonOptions><SelectedTab>CmdNothing</SelectedTab></RibbonOptions>", 0, false},
        {"a group is no tab", "<RibbonOptions><SelectedTab>CmdToolsGroup</SelectedTab></RibbonOptions>", 0, false},
        {"other root", "<Settings><SelectedTab>CmdTools</SelectedTab></Settings>", 0, false},
        {"not XML", "\x01garbage", 0, false},
        {"empty", "", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir().mkpath(FConfigDir + "/" + kAppFolder);
        QFile file(ConfigStateFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        auto form = ShownForm();
        EXPECT_EQ(form->Ribbon()->ActiveTabIndex(), c.tab);
        EXPECT_EQ(form->Ribbon()->Minimized(), c.minimized);
    }
}

TEST_F(RibbonTest, AStateFileThatCannotBeWrittenIsIgnored)
{
    // The config folder's place is taken by a file: neither folder nor file can be made.
    QFile blocker(FConfigDir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    {
        auto form = ShownForm();
        ClickTab(form->Ribbon(), "CmdTools");
    }
    EXPECT_FALSE(QFile::exists(ConfigStateFile()));
    EXPECT_TRUE(QFileInfo(FConfigDir).isFile());
}

} // namespace
