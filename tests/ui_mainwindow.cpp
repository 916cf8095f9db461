// The main window on the offscreen platform against the test databases: start-up flows,
// connection sequence, one window per report, export commands without a report window.
#include "TestSupport.h"
#include "app/MainUnit.h"
#include "app/ribbon/RibbonMarkup.h"
#include "app/ribbon/UIRibbonUnit.h"
#include "db/ChooseDBUnit.h"
#include "db/EnterPasswordUnit.h"
#include "reports/ItemsUnit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <QLabel>
#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildApplicationRibbonMarkup();
        TUIRibbon::SetSettingsFolders(dir.path(), dir.path());
    }
    std::unique_ptr<TMainForm> Start(const QStringList& args)
    {
        auto form = std::make_unique<TMainForm>(args);
        form->ExeDir = dir.path(); // no stored password here
        form->show();
        form->LoadRibbon();
        Pump(300);
        return form;
    }
    QTemporaryDir dir;
};

struct StartCase {
    const char* name;
    QStringList args;
    bool connected;     // a repository was adopted
    QStringList dialogs; // prefixes of the dialogs seen, in order
};

TEST_F(MainWindow, StartUpFlows)
{
    const StartCase cases[] = {
        {"no argument", {}, false, {"TChooseDBForm"}},
        {"one argument", {kPostgresDsn}, false,
         {"QMessageBox: Not enough parameters for DravikZaravAZUzizuvi!", "TChooseDBForm"}},
        {"empty first argument", {QString(), QStringLiteral("x")}, false, {"TChooseDBForm"}},
        {"right password", {kPostgresDsn, kPgPassword}, true, {}},
        {"three arguments", {kPostgresDsn, kPgPassword, QStringLiteral("ignored")}, true, {}},
        // Wrong password: the silent attempts fail, then the dialog (cancelled here), then
        // the chooser because the final connection test fails too.
        {"wrong password", {kPostgresDsn, QStringLiteral("wrong")}, false, {"TEnterPasswordForm", "TChooseDBForm"}},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        DialogAnswerer answerer;
        auto form = Start(c.args);
        EXPECT_EQ(form->Repository() != nullptr, c.connected);
        ASSERT_EQ(answerer.seen.size(), c.dialogs.size()) << answerer.seen.join(QLatin1String(" | ")).toStdString();
        for (int i = 0; i < c.dialogs.size(); ++i)
            EXPECT_TRUE(answerer.seen[i].startsWith(c.dialogs[i])) << answerer.seen[i].toStdString();
        if (c.connected) {
            EXPECT_EQ(form->DBModel().DbType(), dbPostgres);
            EXPECT_EQ(form->DBModel().UserName, kPgUser);
        }
    }
}

TEST_F(MainWindow, PasswordDialogLoopConnectsWithTypedCredentials)
{
    DialogAnswerer answerer;
    int attempt = 0;
    QStringList reasons; // under the dialog's prompt: why the attempt before it failed
    answerer.answer = [&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            box->accept();
            return;
        }
        auto* form = qobject_cast<TEnterPasswordForm*>(w);
        ASSERT_TRUE(form);
        auto* reason = form->findChild<QLabel*>(QStringLiteral("ReasonLabel"));
        reasons << (reason && reason->isVisible() ? reason->text() : QString());
        form->findChild<QLineEdit*>(QStringLiteral("UserNameEdit"))->setText(kPgUser);
        form->findChild<QLineEdit*>(QStringLiteral("PasswordEdit"))
            ->setText(++attempt == 1 ? QStringLiteral("still wrong") : kPgPassword);
        form->accept();
    };
    auto form = Start({kPostgresDsn, QStringLiteral("wrong")});
    ASSERT_TRUE(form->Repository());
    ASSERT_EQ(answerer.seen.size(), 3) << answerer.seen.join(QLatin1String(" | ")).toStdString();
    EXPECT_TRUE(answerer.seen[1].contains(QStringLiteral(
        "Не може да бъде осъществена връзка с базата данни. Системна грешка : ")));
    EXPECT_EQ(form->DBModel().Password, kPgPassword);
    ASSERT_EQ(reasons.size(), 2);
    EXPECT_TRUE(reasons[0].contains(QStringLiteral("no password supplied"))) << reasons[0].toStdString();
    EXPECT_TRUE(reasons[1].contains(QStringLiteral("password authentication failed"))) << reasons[1].toStdString();
}

// A data source that no password can reach: the dialog says why.
TEST_F(MainWindow, PasswordDialogShowsWhyTheLastAttemptFailed)
{
    DialogAnswerer answerer;
    QString reason;
    answerer.answer = [&](QWidget* w) {
        if (auto* form = qobject_cast<TEnterPasswordForm*>(w)) {
            auto* label = form->findChild<QLabel*>(QStringLiteral("ReasonLabel"));
            reason = label && label->isVisible() ? label->text() : QString();
            form->reject();
        } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
            dialog->reject();
        }
    };
    auto form = Start({QStringLiteral("NoSuchDataSource"), QStringLiteral("x")});
    EXPECT_FALSE(form->Repository());
    EXPECT_TRUE(reason.contains(QStringLiteral("IM002"))) << reason.toStdString();
}

TEST_F(MainWindow, OneWindowPerReportAndExportWithoutWindow)
{
    DialogAnswerer answerer;
    auto form = Start({kPostgresDsn, kPgPassword});
    ASSERT_TRUE(form->Repository());
    EXPECT_EQ(form->SendToActiveReport(WM_EXPORT_CSV), nullptr); // nothing to send to

    form->OpenReportWindow(rkItems);
    form->OpenReportWindow(rkSalesSummary);
    form->OpenReportWindow(rkItems); // brought to the front, not created again
    Pump(50);
    ASSERT_EQ(form->MdiArea()->subWindowList().size(), 2);
    auto* active = dynamic_cast<TItemsForm*>(form->MdiArea()->activeSubWindow()->widget());
    ASSERT_TRUE(active);
    EXPECT_EQ(active->windowTitle(), QStringLiteral("Стоки"));

    // A new connection closes every report window.
    TSqlDBModel again = TestModel(dbPostgres);
    EXPECT_TRUE(form->ConnectTo(again));
    Pump(50);
    EXPECT_TRUE(form->MdiArea()->subWindowList().isEmpty());
    EXPECT_TRUE(answerer.seen.isEmpty());
}

// The font is Tahoma at 11 pixels, a real Tahoma (the install script brings one), in the
// main window, the report windows inside it and the dialogs; the ribbon keeps its own.
TEST_F(MainWindow, TahomaElevenPixelsInWindowsAndDialogs)
{
    DialogAnswerer answerer;
    const QFont before = QApplication::font();
    TAuditorApplication::ApplyFont();
    auto form = Start({kPostgresDsn, kPgPassword});
    ASSERT_TRUE(form->Repository());
    form->OpenReportWindow(rkItems);
    Pump(50);
    ASSERT_EQ(form->MdiArea()->subWindowList().size(), 1);
    QWidget* report = form->MdiArea()->subWindowList().front()->widget();
    QMessageBox box(QMessageBox::Critical, QStringLiteral("t"), QStringLiteral("x"));
    TEnterPasswordForm password;
    const QList<QWidget*> widgets = {form.get(), report, report->findChild<QLabel*>(), &box, &password};
    for (QWidget* w : widgets) {
        ASSERT_NE(w, nullptr);
        SCOPED_TRACE(w->metaObject()->className());
        EXPECT_EQ(QFontInfo(w->font()).family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(w->font().pixelSize(), 11);
    }
    EXPECT_NE(QFontInfo(form->Ribbon()->font()).family(), QStringLiteral("Tahoma"));
    QApplication::setFont(before);
    EXPECT_TRUE(answerer.seen.isEmpty());
}

// The ribbon's "choose database" command: a cancelled chooser keeps the connection and the
// report windows; a new choice connects to it and closes every report window.
TEST_F(MainWindow, ChooseDatabaseThroughTheRibbon)
{
    DialogAnswerer answerer;
    auto form = Start({kPostgresDsn, kPgPassword});
    ASSERT_TRUE(form->Repository());
    form->OpenReportWindow(rkItems);
    form->OpenReportWindow(rkStores);
    Pump(50);
    ASSERT_EQ(form->MdiArea()->subWindowList().size(), 2);
    auto* command = dynamic_cast<TUICommandAction*>(form->Ribbon()->CommandById(CmdChooseDb));
    ASSERT_TRUE(command);

    command->Execute(); // the chooser is cancelled
    Pump(50);
    ASSERT_EQ(answerer.seen, QStringList{QStringLiteral("TChooseDBForm")});
    EXPECT_EQ(form->DBModel().DSN, kPostgresDsn);
    EXPECT_TRUE(form->Repository());
    EXPECT_EQ(form->MdiArea()->subWindowList().size(), 2);

    answerer.seen.clear();
    answerer.answer = [](QWidget* w) {
        auto* list = w->findChild<QListWidget*>(QStringLiteral("lbDSN"));
        ASSERT_TRUE(list);
        const auto items = list->findItems(kSqliteDsn, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        list->setCurrentItem(items.front());
        qobject_cast<QDialog*>(w)->accept();
    };
    command->Execute();
    Pump(50);
    EXPECT_EQ(answerer.seen, QStringList{QStringLiteral("TChooseDBForm")});
    EXPECT_EQ(form->DBModel().DSN, kSqliteDsn);
    EXPECT_EQ(form->DBModel().DbType(), dbSqlite);
    EXPECT_TRUE(form->Repository());
    EXPECT_TRUE(form->MdiArea()->subWindowList().isEmpty());
}

TEST_F(MainWindow, DatabaseWithoutAuditViewsIsAdoptedWithItsMessage)
{
    DialogAnswerer answerer; // the chooser at start-up is cancelled
    auto form = Start({});
    answerer.seen.clear();
    answerer.answer = [](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); };
    TSqlDBModel scratch = TestModel(dbSqlite, kScratchDsn);
    EXPECT_TRUE(form->ConnectTo(scratch));
    Pump(50);
    ASSERT_EQ(answerer.seen.size(), 1);
    EXPECT_EQ(answerer.seen[0], QStringLiteral("QMessageBox: Избраната база данни не е валидна Дравик база!"));
    EXPECT_EQ(form->DBModel().DSN, kScratchDsn);
    EXPECT_EQ(form->Repository(), nullptr);
    form->OpenReportWindow(rkItems); // no repository: nothing happens
    EXPECT_TRUE(form->MdiArea()->subWindowList().isEmpty());

    // With a repository from an audit database of another engine, the one kept writes the
    // SQL of the engine now in use: the report runs there.
    TSqlDBModel pg = TestModel(dbPostgres);
    EXPECT_TRUE(form->ConnectTo(pg));
    ASSERT_TRUE(form->Repository());
    EXPECT_EQ(form->Repository()->Dialect(), dbPostgres);
    answerer.seen.clear();
    EXPECT_TRUE(form->ConnectTo(scratch));
    ASSERT_EQ(answerer.seen.size(), 1); // not an audit database
    answerer.seen.clear();
    ASSERT_TRUE(form->Repository());
    EXPECT_EQ(form->Repository()->Dialect(), dbSqlite);
}

TEST(ErrorBox, FullStopRule)
{
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Грешка")), QStringLiteral("Грешка."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Done!")), QStringLiteral("Done!"));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("(x)")), QStringLiteral("(x)"));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("end.")), QStringLiteral("end."));
    EXPECT_EQ(ErrorBoxText(QStringLiteral("1")), QStringLiteral("1.")); // '1' comes after '.'
}

} // namespace
