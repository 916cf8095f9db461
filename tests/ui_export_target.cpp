// The report window's save dialog takes a regular file or a new name only: a FIFO, a folder
// or the data source's own database file (here through a symbolic link) is refused in a
// message box and the dialog opens again; the name chosen then gets the export.
#include "DatabaseCopy.h"
#include "TestSupport.h"
#include "common/CodePage1251.h"
#include "export/ExportTextUnit.h"
#include "reports/StoresUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

TEST(WindowExportTarget, SaveDialogRefusesWhatIsNoFileAndTheDatabase)
{
    const TDatabaseCopy copy;
    const QByteArray database = ReadAll(copy.File());
    const QByteArray oldIni = qgetenv("ODBCINI");
    qputenv("ODBCINI", copy.Ini().toUtf8());
    struct TRestore {
        QByteArray Ini;
        ~TRestore() { qputenv("ODBCINI", Ini); }
    } restore{oldIni};

    QTemporaryDir out;
    const QString fifo = out.filePath(QStringLiteral("fifo.csv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = out.filePath(QStringLiteral("database.csv"));
    ASSERT_TRUE(QFile::link(copy.File(), link));
    const QStringList chosen = {fifo, link, out.filePath(QStringLiteral("stores.csv"))};

    TSqlDBModel model = TestModel(dbSqlite, copy.Dsn);
    TRepository repository(dbSqlite);
    TStoresForm window(nullptr, &model, &repository);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    window.ReportButtonClick();
    ASSERT_TRUE(PumpUntil([&] { return window.LoadingState() == TLoadingState::lsLoaded; }));

    DialogAnswerer dialogs;
    dialogs.ignore = [](QWidget* w) { return dynamic_cast<TExportForm*>(w) != nullptr; };
    QString outcome;
    TExportForm::OnShowing = [&outcome](TExportForm& f) {
        auto* poll = new QTimer(&f);
        QObject::connect(poll, &QTimer::timeout, &f, [&outcome, &f] {
            if (f.btnOk->isVisible()) {
                outcome = f.lblInfo->text();
                f.btnOk->click();
            }
        });
        poll->start(10);
    };
    struct TUnhook {
        ~TUnhook() { TExportForm::OnShowing = nullptr; }
    } unhook;
    int asked = 0;
    dialogs.answer = [&](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            EXPECT_EQ(box->objectName(), QStringLiteral("OutputRefused"));
            box->accept();
            return;
        }
        auto* fd = qobject_cast<QFileDialog*>(w);
        ASSERT_TRUE(fd);
        fd->findChild<QLineEdit*>()->setText(QFileInfo(chosen.value(asked++)).fileName()); // as a user types it
        static_cast<QDialog*>(fd)->accept();
    };
    TExportTextStrategy::LastExportDir = out.path();
    QEvent request(WM_EXPORT_CSV);
    QCoreApplication::sendEvent(&window, &request);

    EXPECT_EQ(outcome, QStringLiteral("Data was exported succesfully!"));
    EXPECT_EQ(asked, 3);
    ASSERT_EQ(dialogs.seen.size(), 5) << dialogs.seen.join(QLatin1String(" | ")).toStdString();
    EXPECT_EQ(dialogs.seen[1], QStringLiteral("QMessageBox: „%1“ е именуван канал (FIFO), а не обикновен файл: справката "
                                              "не може да бъде записана там. Изберете друго име.")
                                   .arg(fifo));
    EXPECT_EQ(dialogs.seen[3],
              QStringLiteral("QMessageBox: „%1“ е файл на базата данни, от която е справката. Изберете друго име.").arg(link));
    EXPECT_TRUE(ReadAll(copy.File()) == database) << "the database was written";
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(ReadAll(chosen[2]).startsWith(ToWindows1251(u"Код\t")));
    window.close();
}

} // namespace
