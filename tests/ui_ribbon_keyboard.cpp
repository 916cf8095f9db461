// The ribbon from the keyboard (key tips: Alt or F10, letters, Esc) and in a window
// narrower than its groups (groups collapse into drop-down buttons from the right).

#include "app/ribbon/RibbonKeyTips.h"
#include "app/ribbon/RibbonMarkup.h"
#include "app/ribbon/UIRibbonFormUnit.h"
#include "app/ribbon/UIRibbonUnit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

std::string U8(const QString& s) { return s.toStdString(); }

class TPlainRibbonForm : public TUIRibbonForm {};

class RibbonKeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FDir.isValid());
        TUIRibbon::SetSettingsFolders(FDir.filePath("exe"), FDir.filePath("config"));
        FForm = std::make_unique<TPlainRibbonForm>();
        FForm->setCentralWidget(new QMdiArea);
        FForm->resize(1200, 700);
        FForm->LoadRibbon();
        FForm->show();
        FForm->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FForm.get()));
        for (TUICommand* command : Ribbon()->Commands())
            if (auto* action = dynamic_cast<TUICommandAction*>(command))
                action->OnExecute = [this](const TUICommandActionEventArgs& args) {
                    FRan.push_back(args.Command->CommandId());
                };
    }
    void TearDown() override
    {
        FForm.reset();
        TUIRibbon::SetSettingsFolders({}, {});
    }

    TUIRibbon* Ribbon() const { return FForm->Ribbon(); }

    // Keys go where the platform would send them: an open popup, else the focus widget.
    static QWidget* KeyTarget(QWidget* fallback)
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            return popup;
        if (QWidget* focus = QApplication::focusWidget())
            return focus;
        return fallback;
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(KeyTarget(FForm.get()), key, modifiers);
        QApplication::processEvents();
    }
    void Type(const QString& letter)
    {
        QTest::sendKeyEvent(QTest::Click, KeyTarget(FForm.get()), Qt::Key_unknown, letter, Qt::NoModifier);
        QApplication::processEvents();
    }
    void AltAlone()
    {
        QWidget* target = KeyTarget(FForm.get());
        QTest::keyPress(target, Qt::Key_Alt);
        QTest::keyRelease(target, Qt::Key_Alt);
        QApplication::processEvents();
    }

    // The key tips on screen: the name of the widget each sits on, and its letter.
    static std::map<std::string, std::string> Tips()
    {
        std::map<std::string, std::string> tips;
        for (QWidget* window : QApplication::topLevelWidgets())
            for (QLabel* badge : window->findChildren<QLabel*>(QStringLiteral("RibbonKeyTip")))
                if (badge->isVisible())
                    tips[U8(badge->property("keyTipTarget").toString())] = U8(badge->text());
        return tips;
    }

    QTemporaryDir FDir;
    std::unique_ptr<TPlainRibbonForm> FForm;
    std::vector<int> FRan;
};

} // namespace

TEST(RibbonKeyTipLetters, AreUniqueAndFollowTheCaptions)
{
    struct Case {
        QStringList captions;
        QStringList expected;
    };
    const std::vector<Case> cases = {
        // Initials first.
        {{"Системни", "Таблици", "Инструменти"}, {"С", "Т", "И"}},
        // A taken initial gives way to the next initial, then to the next letter.
        {{"Продажби обобщено", "Плащания", "Продажби детайлни"}, {"П", "Л", "Д"}},
        // The access key wins; letters are upper case whatever the caption's.
        {{"И&зход", "изглед"}, {"З", "И"}},
        // Out of letters: digits.
        {{"Аа", "А", "а"}, {"А", "1", "2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.captions.join(" | ")));
        EXPECT_EQ(AssignKeyTips(c.captions), c.expected);
    }
}

TEST(RibbonKeyTipLetters, MatchTheTypedLetterOrItsPhoneticKey)
{
    const auto press = [](const QString& text) { return QKeyEvent(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text); };
    EXPECT_TRUE(KeyTipMatches("Т", press("т")));
    EXPECT_TRUE(KeyTipMatches("Т", press("t")));  // Latin layout active
    EXPECT_TRUE(KeyTipMatches("Ж", press("v")));
    EXPECT_TRUE(KeyTipMatches("Ч", press("`")));
    EXPECT_TRUE(KeyTipMatches("2", press("2")));
    EXPECT_FALSE(KeyTipMatches("Т", press("р")));
    EXPECT_FALSE(KeyTipMatches("Т", press("")));
    EXPECT_FALSE(KeyTipMatches("", press("t")));
}

TEST_F(RibbonKeyboardTest, AltShowsTabLettersATabLetterShowsItsCommandsAndACommandLetterRunsIt)
{
    EXPECT_TRUE(Tips().empty());
    AltAlone();
    const std::map<std::string, std::string> tabs = {{"CmdApplicationMenu", "С"}, {"CmdReports", "Т"}, {"CmdTools", "И"}};
    EXPECT_EQ(Tips(), tabs);

    // The tools tab by its letter: its two commands get letters.
    Type("и");
    EXPECT_EQ(Ribbon()->ActiveTabIndex(), 1);
    std::map<std::string, std::string> tools = Tips();
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_TRUE(tools.count("CmdExportExcel") && tools.count("CmdExportCSV"));

    // Esc steps back to the tabs, and from there out.
    Key(Qt::Key_Escape);
    EXPECT_EQ(Tips(), tabs);
    Key(Qt::Key_Escape);
    EXPECT_TRUE(Tips().empty());
    EXPECT_TRUE(FRan.empty());

    // F10 and a Latin key work as well: the tables tab, every command with its own letter.
    Key(Qt::Key_F10);
    Type("t");
    EXPECT_EQ(Ribbon()->ActiveTabIndex(), 0);
    const std::map<std::string, std::string> tables = Tips();
    EXPECT_EQ(tables.size(), 12u);
    std::set<std::string> letters;
    for (const auto& [target, letter] : tables)
        letters.insert(letter);
    EXPECT_EQ(letters.size(), tables.size());
    EXPECT_FALSE(letters.count(""));

    Type(QString::fromStdString(tables.at("CmdStores")));
    EXPECT_EQ(FRan, std::vector<int>{CmdStores});
    EXPECT_TRUE(Tips().empty());

    // Once hidden, letters are the window's again.
    Type(QString::fromStdString(tables.at("CmdUsers")));
    EXPECT_EQ(FRan, std::vector<int>{CmdStores});
}

TEST_F(RibbonKeyboardTest, AltWithAnotherKeyADisabledCommandAndAMousePressShowOrRunNothing)
{
    // Alt held for a chord is not Alt alone.
    QWidget* target = KeyTarget(FForm.get());
    QTest::keyPress(target, Qt::Key_Alt);
    QTest::keyClick(target, Qt::Key_Tab, Qt::AltModifier);
    QTest::keyRelease(target, Qt::Key_Alt);
    EXPECT_TRUE(Tips().empty());

    // A disabled command keeps its letter, which does nothing; other keys are swallowed.
    Ribbon()->CommandById(CmdExportCSV)->SetEnabled(false);
    AltAlone();
    Type("и");
    const std::string csv = Tips().at("CmdExportCSV");
    Type(QString::fromStdString(csv));
    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(FRan.empty());
    EXPECT_EQ(Tips().size(), 2u);

    // A mouse press anywhere hides them; Alt again shows the tabs' letters from the start.
    QTest::mouseClick(FForm->centralWidget(), Qt::LeftButton);
    EXPECT_TRUE(Tips().empty());
    AltAlone();
    EXPECT_EQ(Tips().size(), 3u);
    AltAlone();
    EXPECT_TRUE(Tips().empty());
}

TEST_F(RibbonKeyboardTest, TheApplicationButtonsLetterOpensItsMenuAtTheFirstItem)
{
    AltAlone();
    Type("с");
    QMenu* menu = Ribbon()->ApplicationMenu();
    ASSERT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    EXPECT_TRUE(Tips().empty());
    ASSERT_NE(menu->activeAction(), nullptr);
    EXPECT_EQ(menu->activeAction()->objectName(), "CmdChooseDb");
    QTest::keyClick(menu, Qt::Key_Down);
    QTest::keyClick(menu, Qt::Key_Return);
    EXPECT_EQ(FRan, std::vector<int>{CmdAbout});
}

TEST_F(RibbonKeyboardTest, OnAMinimisedRibbonATabsLetterOpensItsBandWithLetters)
{
    Ribbon()->SetMinimized(true);
    AltAlone();
    Type("и");
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    const std::map<std::string, std::string> tools = Tips();
    ASSERT_EQ(tools.size(), 2u);
    // The letters sit on the popup's buttons.
    for (QLabel* badge : popup->findChildren<QLabel*>(QStringLiteral("RibbonKeyTip")))
        EXPECT_TRUE(popup->rect().contains(badge->geometry()));

    // Esc closes the band and shows the tabs' letters; the letter again, then a command.
    Key(Qt::Key_Escape);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(Tips().size(), 3u);
    Type("и");
    Type(QString::fromStdString(tools.at("CmdExportExcel")));
    EXPECT_EQ(FRan, std::vector<int>{CmdExportExcel});
    EXPECT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));
    EXPECT_TRUE(Tips().empty());
}

TEST_F(RibbonKeyboardTest, InANarrowWindowGroupsCollapseFromTheRightIntoDropDowns)
{
    const auto dropDown = [this](const char* group) {
        return Ribbon()->findChild<QAbstractButton*>(QString::fromLatin1(group) + "DropDown");
    };
    const auto shown = [](QWidget* w) { return w && w->isVisible(); };
    ASSERT_NE(dropDown("CmdTableSalesGroup"), nullptr);
    EXPECT_FALSE(shown(dropDown("CmdTableSalesGroup")));
    EXPECT_FALSE(shown(dropDown("CmdTableNomenclatureGroups")));

    // Narrower than both groups: the right one collapses, the left keeps its buttons.
    FForm->resize(620, 500);
    QApplication::processEvents();
    QAbstractButton* nomenclatures = dropDown("CmdTableNomenclatureGroups");
    EXPECT_TRUE(shown(nomenclatures));
    EXPECT_FALSE(shown(Ribbon()->findChild<QWidget*>("CmdStores")));
    EXPECT_TRUE(shown(Ribbon()->findChild<QWidget*>("CmdSalesSummary")));
    EXPECT_FALSE(shown(dropDown("CmdTableSalesGroup")));
    // Nothing is cut off: the drop-down ends inside the ribbon.
    EXPECT_LE(nomenclatures->mapTo(Ribbon(), QPoint(nomenclatures->width(), 0)).x(), Ribbon()->width());

    // The drop-down's menu lists the group's commands; an item runs its command.
    QTest::mouseClick(nomenclatures, Qt::LeftButton);
    auto* menu = nomenclatures->findChild<QMenu*>();
    ASSERT_TRUE(menu && QTest::qWaitFor([menu] { return menu->isVisible(); }));
    std::vector<std::string> items;
    for (QAction* action : menu->actions())
        items.push_back(U8(action->objectName()));
    EXPECT_EQ(items, (std::vector<std::string>{"CmdItemsData", "CmdPartners", "CmdActivityTypes", "CmdPayTypes",
                                               "CmdStores", "CmdUsers", "CmdActionsLog"}));
    menu->actions().at(4)->trigger();
    menu->close();
    EXPECT_EQ(FRan, std::vector<int>{CmdStores});

    // Key tips: the collapsed group has one letter, which opens its menu.
    AltAlone();
    Type("т");
    const std::map<std::string, std::string> tips = Tips();
    EXPECT_EQ(tips.size(), 6u); // five sales buttons and the drop-down
    Type(QString::fromStdString(tips.at("CmdTableNomenclatureGroupsDropDown")));
    EXPECT_TRUE(QTest::qWaitFor([menu] { return menu->isVisible(); }));
    EXPECT_EQ(menu->activeAction(), menu->actions().constFirst());
    menu->close();

    // Narrower still: both collapse; wide again: both expand.
    FForm->resize(300, 500);
    QApplication::processEvents();
    EXPECT_TRUE(shown(dropDown("CmdTableSalesGroup")));
    FForm->resize(1200, 700);
    QApplication::processEvents();
    EXPECT_FALSE(shown(dropDown("CmdTableSalesGroup")));
    EXPECT_FALSE(shown(nomenclatures));
    EXPECT_TRUE(shown(Ribbon()->findChild<QWidget*>("CmdStores")));
}
