// Opening a written workbook, or saving it where the user says (see WorkbookOpenerUnit.h).
#include "WorkbookOpenerUnit.h"

#include "OutputTargetUnit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

const QString kWorkbookType = QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet");

QString WithWorkbookExtension(const QString& path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".xlsx") : path;
}

// Moves the file, also onto another file system; the target replaced only when whole.
bool MoveFile(const QString& from, const QString& to, QString& error)
{
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    if (::rename(src.constData(), dst.constData()) == 0)
        return true;
    if (errno != EXDEV) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const QString part = to + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(from, part) || ::rename(QFile::encodeName(part).constData(), dst.constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(part);
        return false;
    }
    QFile::remove(from);
    return true;
}

void SayError(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace

bool HasWorkbookHandler()
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), kWorkbookType});
    if (!query.waitForFinished(5000) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return false;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

bool OpenWorkbookWithDesktop(const QString& path, std::function<void()> onFailure)
{
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty() || !HasWorkbookHandler())
        return false;
    auto* opener = new QProcess(qApp); // owned by the application until it ends
    QObject::connect(opener, &QProcess::finished, opener,
                     [opener, onFailure = std::move(onFailure)](int code, QProcess::ExitStatus status) {
                         opener->deleteLater();
                         if ((status != QProcess::NormalExit || code != 0) && onFailure)
                             onFailure();
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener, [opener](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            opener->deleteLater();
    });
    opener->start(xdgOpen, {path});
    return opener->waitForStarted(5000);
}

void OfferToSaveWorkbook(const QString& path)
{
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Запис на работната книга"));
    dialog.setObjectName(QStringLiteral("SaveWorkbookDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("Работни книги (*.xlsx)"), QStringLiteral("Всички файлове (*)")});
    dialog.setDirectory(QDir::homePath());
    dialog.selectFile(QFileInfo(path).fileName());
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString target = WithWorkbookExtension(dialog.selectedFiles().constFirst());
        const TOutputCheck check = CheckOutputTarget(target, {path});
        if (check.Refused()) {
            QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), OutputRefusalText(check, target),
                            QMessageBox::Ok, QApplication::activeWindow());
            box.exec();
            continue;
        }
        QString error;
        if (!MoveFile(path, target, error)) {
            SayError(QStringLiteral("Работната книга не може да бъде записана като „%1“: %2")
                          .arg(QDir::toNativeSeparators(target), error));
            continue;
        }
        // A file saved where the user says gets the permissions of any new file of the user.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(QFile::encodeName(target).constData(), 0666 & ~mask);
        return;
    }
    SayError(QStringLiteral("Работната книга е записана, но не може да бъде отворена:\n%1")
                  .arg(QDir::toNativeSeparators(path)));
}
