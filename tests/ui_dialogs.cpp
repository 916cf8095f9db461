// The log-in dialog and the About dialog as real widgets: shown modally through their Run
// functions and answered by the test like a user would.

#include "app/AboutUnit.h"
#include "db/EnterPasswordUnit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrlQuery>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

const QString kLoginPrompt = QStringLiteral(
    "Не може да се направи връзка с базата данни без парола. Въведете данни за достъп до базата данни!");

// Runs `answer` on the modal dialog of type T as soon as it is up (polling, since the
// dialog appears inside the nested event loop of exec()). Gives up after five seconds.
template <class T>
void WhenModal(std::function<void(T*)> answer)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [=] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget()); dialog && dialog->isVisible()) {
            answer(dialog);
            return;
        }
        if (timer->elapsed() > 5000) {
            ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " appeared";
            if (QWidget* other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

template <class W>
W* Child(QWidget* dialog, const char* name)
{
    W* w = dialog->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Every label shows its whole text: one-line labels are wide and high enough for it,
// word-wrapped ones high enough for their lines.
void ExpectNoClippedLabels(QWidget* dialog)
{
    for (QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        SCOPED_TRACE(label->objectName().toStdString());
        const QRect inside = label->contentsRect();
        const QFontMetrics fm(label->font());
        if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height());
        } else {
            EXPECT_LE(fm.horizontalAdvance(label->text()), inside.width());
            EXPECT_LE(fm.height(), inside.height());
        }
        // And nothing of it lies outside the window.
        const QRect inDialog(label->mapTo(dialog, QPoint(0, 0)), label->size());
        EXPECT_TRUE(dialog->rect().contains(inDialog));
    }
}

// Types `text` key by key into `w`; works for Cyrillic too (QTest::keyClicks takes ASCII only).
void Type(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }
}

// Screenshots for a person to look at: written when AUDITOR_SCREENSHOT_DIR names a folder.
void SaveScreenshot(QWidget* dialog, const QString& name)
{
    const QString dir = qEnvironmentVariable("AUDITOR_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        dialog->grab().save(QDir(dir).filePath(name));
}

// ---------------------------------------------------------------------------------------
// Log-in dialog

TEST(EnterPasswordForm, EditsStartEmptyAndOkCopiesTheTextsAsTyped)
{
    QString user = QStringLiteral("old user");
    QString password = QStringLiteral("old password");
    bool answered = false;
    WhenModal<TEnterPasswordForm>([&](TEnterPasswordForm* dialog) {
        answered = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Идентифициране потребител"));
        EXPECT_EQ(Child<QLabel>(dialog, "TitleLabel")->text(), kLoginPrompt);
        auto* userEdit = Child<QLineEdit>(dialog, "UserNameEdit");
        auto* passwordEdit = Child<QLineEdit>(dialog, "PasswordEdit");
        // The caller's values are not shown.
        EXPECT_TRUE(userEdit->text().isEmpty());
        EXPECT_TRUE(passwordEdit->text().isEmpty());
        EXPECT_EQ(dialog->focusWidget(), userEdit);
        ExpectNoClippedLabels(dialog);
        SaveScreenshot(dialog, QStringLiteral("enter-password.png"));

        Type(userEdit, QStringLiteral(" Иван "));
        QTest::keyClicks(passwordEdit, QStringLiteral("s q"));
        EXPECT_EQ(passwordEdit->displayText(), QStringLiteral("***"));
        SaveScreenshot(dialog, QStringLiteral("enter-password-typed.png"));
        QTest::mouseClick(Child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
    });
    EXPECT_EQ(TEnterPasswordForm::Run(kLoginPrompt, user, password), TEnterPasswordForm::mrOk);
    EXPECT_TRUE(answered);
    EXPECT_EQ(user, QStringLiteral(" Иван ")); // not trimmed
    EXPECT_EQ(password, QStringLiteral("s q"));
}

TEST(EnterPasswordForm, OkWithEmptyEditsClearsTheCallersTexts)
{
    QString user = QStringLiteral("dba");
    QString password = QStringLiteral("sql");
    WhenModal<TEnterPasswordForm>([](TEnterPasswordForm* dialog) {
        // Enter in an edit presses the default button.
        QTest::keyClick(Child<QLineEdit>(dialog, "PasswordEdit"), Qt::Key_Return);
    });
    EXPECT_EQ(TEnterPasswordForm::Run(QStringLiteral("x"), user, password), TEnterPasswordForm::mrOk);
    EXPECT_EQ(user, QString());
    EXPECT_EQ(password, QString());
}

TEST(EnterPasswordForm, CancelEscapeAndCloseBoxKeepTheCallersTexts)
{
    const std::vector<std::pair<const char*, std::function<void(TEnterPasswordForm*)>>> ways = {
        {"Отказ", [](TEnterPasswordForm* d) { QTest::mouseClick(Child<QPushButton>(d, "btnCancel"), Qt::LeftButton); }},
        {"Escape", [](TEnterPasswordForm* d) { QTest::keyClick(Child<QLineEdit>(d, "PasswordEdit"), Qt::Key_Escape); }},
        {"close box", [](TEnterPasswordForm* d) { d->close(); }},
    };
    for (const auto& [name, cancel] : ways) {
        SCOPED_TRACE(name);
        QString user = QStringLiteral("dba");
        QString password = QStringLiteral("sql");
        WhenModal<TEnterPasswordForm>([cancel = cancel](TEnterPasswordForm* dialog) {
            QTest::keyClicks(Child<QLineEdit>(dialog, "UserNameEdit"), QStringLiteral("typed"));
            QTest::keyClicks(Child<QLineEdit>(dialog, "PasswordEdit"), QStringLiteral("typed"));
            cancel(dialog);
        });
        EXPECT_EQ(TEnterPasswordForm::Run(kLoginPrompt, user, password), TEnterPasswordForm::mrCancel);
        EXPECT_EQ(user, QStringLiteral("dba"));
        EXPECT_EQ(password, QStringLiteral("sql"));
    }
}

TEST(EnterPasswordForm, TabOrderAndFixedSize)
{
    TEnterPasswordForm dialog;
    dialog.SetTitleMessage(QStringLiteral("Кратко"));
    const QList<QWidget*> expected = {Child<QLineEdit>(&dialog, "UserNameEdit"), Child<QLineEdit>(&dialog, "PasswordEdit"),
                                      Child<QPushButton>(&dialog, "btnOk"), Child<QPushButton>(&dialog, "btnCancel")};
    QList<QWidget*> chain;
    QWidget* w = expected.front();
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            chain << w;
        w = w->nextInFocusChain();
    } while (w != expected.front());
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(dialog.size(), QSize(323, 188));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_TRUE(Child<QPushButton>(&dialog, "btnOk")->isDefault());
}

TEST(EnterPasswordForm, LongPromptMakesTheTitleAreaTallerInsteadOfCuttingIt)
{
    TEnterPasswordForm dialog;
    const QString longPrompt = kLoginPrompt + u' ' + kLoginPrompt;
    dialog.SetTitleMessage(longPrompt);
    auto* title = Child<QLabel>(&dialog, "TitleLabel");
    auto* panel = Child<QWidget>(&dialog, "TitlePanel");
    EXPECT_LE(title->heightForWidth(title->width()), title->height());
    EXPECT_LE(panel->geometry().bottom(), Child<QLabel>(&dialog, "UserNameLabel")->geometry().top());
    EXPECT_LE(Child<QPushButton>(&dialog, "btnOk")->geometry().bottom(), dialog.height());
    ExpectNoClippedLabels(&dialog);

    // The reason of the last failed attempt under the prompt: the dialog grows, nothing is cut.
    const int before = dialog.height();
    dialog.SetReason(QStringLiteral("[08001] could not connect to server: Connection refused\n"
                                    "\tIs the server running on host \"127.0.0.1\" and accepting TCP/IP connections on port 55432?"));
    auto* reason = Child<QLabel>(&dialog, "ReasonLabel");
    EXPECT_TRUE(reason->isVisibleTo(&dialog));
    EXPECT_GT(dialog.height(), before);
    EXPECT_LE(title->geometry().bottom(), reason->geometry().top());
    EXPECT_LE(reason->heightForWidth(reason->width()), reason->height());
    EXPECT_LE(panel->geometry().bottom(), Child<QLabel>(&dialog, "UserNameLabel")->geometry().top());
    EXPECT_LE(Child<QPushButton>(&dialog, "btnOk")->geometry().bottom(), dialog.height());
    ExpectNoClippedLabels(&dialog);
    if (!qEnvironmentVariableIsEmpty("AUDITOR_SHOTS"))
        dialog.grab().save(qEnvironmentVariable("AUDITOR_SHOTS") + QStringLiteral("/password-reason.png"));
    dialog.SetReason({});
    EXPECT_EQ(dialog.height(), before);
}

TEST(EnterPasswordForm, CentredOnTheMainWindow)
{
    QMainWindow main;
    main.setGeometry(100, 80, 900, 600);
    main.show();
    main.activateWindow();
    QApplication::setActiveWindow(&main);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    QString user, password;
    QPoint dialogCentre;
    WhenModal<TEnterPasswordForm>([&](TEnterPasswordForm* dialog) {
        EXPECT_EQ(dialog->parentWidget(), &main);
        dialogCentre = dialog->frameGeometry().center();
        dialog->reject();
    });
    TEnterPasswordForm::Run(kLoginPrompt, user, password);
    EXPECT_LE((dialogCentre - main.frameGeometry().center()).manhattanLength(), 4);
}

TEST(EnterPasswordForm, MainWindowGoingAwayWhileUpCountsAsCancel)
{
    auto* main = new QMainWindow;
    main->show();
    QApplication::setActiveWindow(main);
    QString user = QStringLiteral("dba"), password = QStringLiteral("sql");
    WhenModal<TEnterPasswordForm>([&](TEnterPasswordForm* dialog) {
        Type(Child<QLineEdit>(dialog, "UserNameEdit"), QStringLiteral("x"));
        delete main; // takes its child dialog along
    });
    EXPECT_EQ(TEnterPasswordForm::Run(kLoginPrompt, user, password), TEnterPasswordForm::mrCancel);
    EXPECT_EQ(user, QStringLiteral("dba"));
    EXPECT_EQ(password, QStringLiteral("sql"));
}

// ---------------------------------------------------------------------------------------
// About dialog

class AboutForm : public ::testing::Test {
protected:
    std::vector<QUrl> opened;
    bool openResult = true;
    void SetUp() override
    {
        TAboutForm::SetUrlOpener([this](const QUrl& url) {
            opened.push_back(url);
            return openResult;
        });
    }
    void TearDown() override { TAboutForm::SetUrlOpener({}); }
};

TEST(AboutVersion, FourPartsFromTheBuild)
{
    const struct {
        const char* version;
        const char* text;
    } cases[] = {
        {"1.0.0.0", "1.0.0.0"},     {"2.5", "2.5.0.0"},         {"65535.1.2.3", "65535.1.2.3"},
        {"", "0.0.0.0"},            {"1.2.3.4.5", "0.0.0.0"},   {"1.x", "0.0.0.0"},
        {"65536.0.0.0", "0.0.0.0"}, {"1..2", "0.0.0.0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileVersionText(ParseFileVersion(QString::fromLatin1(c.version))), QString::fromLatin1(c.text))
            << c.version;
    EXPECT_EQ(FileVersionText(0x0001000200030004ULL), QStringLiteral("1.2.3.4"));
    EXPECT_EQ(FileVersionText(0xFFFF0000FFFF0000ULL), QStringLiteral("65535.0.65535.0"));
    EXPECT_EQ(ApplicationVersionText(), QStringLiteral(AUDITOR_VERSION));
}

TEST_F(AboutForm, ShowsTheProductAndOpensTheMakersLinks)
{
    bool answered = false;
    WhenModal<TAboutForm>([&](TAboutForm* dialog) {
        answered = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Информация"));
        EXPECT_EQ(dialog->size(), QSize(388, 295));
        EXPECT_EQ(Child<QLabel>(dialog, "av")->text(), QStringLiteral("1.0.0.0"));
        EXPECT_EQ(Child<QLabel>(dialog, "ProductName")->text(), QStringLiteral("Dravik Engineering Ltd."));
        EXPECT_EQ(Child<QLabel>(dialog, "Label2")->text(), QStringLiteral("Дравик Одитор Продажби"));
        EXPECT_EQ(Child<QLabel>(dialog, "Label3")->text(), QStringLiteral("Версия на \"Дравик одитор продажби\" :"));
        EXPECT_EQ(Child<QLabel>(dialog, "lblWeb")->text(), kMakerWebHost);
        EXPECT_EQ(Child<QLabel>(dialog, "lblMail")->text(), kMakerMail);
        auto* group = Child<QGroupBox>(dialog, "gbDatabaseInfo");
        EXPECT_EQ(group->title(), QStringLiteral(" Информация за одитираната база данни "));
        EXPECT_TRUE(group->findChildren<QWidget*>().isEmpty()); // nothing about the database is shown

        // The two pictures are there and drawn: the red mark, the product icon.
        const QImage mark = Child<QLabel>(dialog, "ProgramIcon")->pixmap().toImage();
        ASSERT_FALSE(mark.isNull());
        int redPixels = 0;
        for (int y = 0; y < mark.height(); ++y)
            for (int x = 0; x < mark.width(); ++x) {
                const QColor c = mark.pixelColor(x, y);
                redPixels += c.alpha() > 200 && c.red() > 180 && c.green() < 60 && c.blue() < 60;
            }
        EXPECT_GT(redPixels, 100);
        const QPixmap logo = Child<QLabel>(dialog, "ImgProductLogo")->pixmap();
        EXPECT_EQ(logo.deviceIndependentSize().toSize(), QSize(32, 32));
        ExpectNoClippedLabels(dialog);
        SaveScreenshot(dialog, QStringLiteral("about.png"));

        QTest::mouseClick(Child<QLabel>(dialog, "lblMail"), Qt::LeftButton);
        QTest::mouseClick(Child<QLabel>(dialog, "lblWeb"), Qt::LeftButton);
        EXPECT_TRUE(dialog->isVisible()); // links leave the dialog open
        QTest::mouseClick(Child<QPushButton>(dialog, "btnClose"), Qt::LeftButton);
    });
    TAboutForm::Run();
    EXPECT_TRUE(answered);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    ASSERT_EQ(opened.size(), 2u);
    const QUrl& mail = opened[0];
    EXPECT_EQ(mail.scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(mail.path(), kMakerMail);
    const QUrlQuery query(mail);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("Subject")), QStringLiteral("[DravikZaravAZUzizuvi]"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("Body"), QUrl::FullyDecoded), QStringLiteral(" "));
    EXPECT_EQ(TAboutForm::MailUrl(kMakerMail),
              QStringLiteral("mailto:office@dravik.bg?Subject=[DravikZaravAZUzizuvi]&Body= "));
    EXPECT_EQ(opened[1], QUrl(QStringLiteral("http://www.dravik.bg")));
}

TEST_F(AboutForm, EscapeClosesAndAFailedLinkIsSilent)
{
    openResult = false;
    bool stillOpenAfterLink = false;
    WhenModal<TAboutForm>([&](TAboutForm* dialog) {
        QTest::mouseClick(Child<QLabel>(dialog, "lblWeb"), Qt::LeftButton);
        // No message box came up over the dialog, and it is still there.
        stillOpenAfterLink = QApplication::activeModalWidget() == dialog && dialog->isVisible();
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    TAboutForm::Run();
    EXPECT_TRUE(stillOpenAfterLink);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AboutForm, ClicksOutsideTheLinksOpenNothing)
{
    WhenModal<TAboutForm>([](TAboutForm* dialog) {
        QTest::mouseClick(Child<QLabel>(dialog, "lblMail"), Qt::RightButton);
        QTest::mouseClick(Child<QLabel>(dialog, "Label2"), Qt::LeftButton);
        QTest::mouseClick(Child<QLabel>(dialog, "ProductName"), Qt::LeftButton);
        dialog->close();
    });
    TAboutForm::Run();
    EXPECT_TRUE(opened.empty());
}

} // namespace
