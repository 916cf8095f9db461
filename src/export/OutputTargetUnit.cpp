// Which paths an export may write to (see OutputTargetUnit.h).
#include "OutputTargetUnit.h"

#include "db/OdbcConnectionUnit.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUrl>
#include <cerrno>
#include <sys/stat.h>

namespace {

// The file a SQLite "file:" URI names: its path without the query, percent-decoded.
QString PathOfSqliteUri(const QString& uri)
{
    QString rest = uri.mid(5); // after "file:"
    const qsizetype end = rest.indexOf(QRegularExpression(QStringLiteral("[?#]")));
    if (end >= 0)
        rest.truncate(end);
    if (rest.startsWith(QLatin1String("//"))) { // an authority: empty or "localhost"
        const qsizetype slash = rest.indexOf(QLatin1Char('/'), 2);
        rest = slash < 0 ? QString() : rest.mid(slash);
    }
    return QUrl::fromPercentEncoding(rest.toUtf8());
}

} // namespace

QStringList DataSourceFiles(const TSqlDBModel& model)
{
    if (model.DbType() != dbSqlite || model.DSN.isEmpty())
        return {};
    QString file = OdbcDataSourceSetting(model.DSN, "Database");
    if (file.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        file = PathOfSqliteUri(file);
    if (file.isEmpty())
        return {};
    // SQLite opens a relative name from the working folder, as this does.
    file = QDir::current().absoluteFilePath(file);
    return {file, file + QStringLiteral("-journal"), file + QStringLiteral("-wal"), file + QStringLiteral("-shm")};
}

TOutputCheck CheckOutputTarget(const QString& path, const QStringList& keepOut)
{
    TOutputCheck check;
    const QByteArray name = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(name.constData(), &link) != 0) {
        // Nothing there (or a path through a file, which fails when it is written).
        if (errno != ENOENT && errno != ENOTDIR) {
            check.Refusal = TOutputRefusal::Unreadable;
            check.Reason = qt_error_string(errno);
        }
        return check;
    }
    check.ThroughLink = S_ISLNK(link.st_mode);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        // A symbolic link to nothing names a new file where it points.
        if (errno != ENOENT && errno != ENOTDIR) {
            check.Refusal = TOutputRefusal::Unreadable;
            check.Reason = qt_error_string(errno);
        }
        return check;
    }
    check.Exists = true;
    if (S_ISDIR(st.st_mode))
        check.Refusal = TOutputRefusal::Folder;
    else if (S_ISFIFO(st.st_mode))
        check.Refusal = TOutputRefusal::Fifo;
    else if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        check.Refusal = TOutputRefusal::Device;
    else if (S_ISSOCK(st.st_mode))
        check.Refusal = TOutputRefusal::Socket;
    else if (!S_ISREG(st.st_mode))
        check.Refusal = TOutputRefusal::OtherKind;
    if (check.Refused())
        return check;
    for (const QString& kept : keepOut) {
        struct stat other {};
        if (::stat(QFile::encodeName(kept).constData(), &other) == 0 && other.st_dev == st.st_dev &&
            other.st_ino == st.st_ino) {
            check.Refusal = TOutputRefusal::DatabaseFile;
            break;
        }
    }
    return check;
}

QString OutputRefusalText(const TOutputCheck& check, const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    QString what;
    switch (check.Refusal) {
    case TOutputRefusal::None: return {};
    case TOutputRefusal::Folder: what = QStringLiteral("папка"); break;
    case TOutputRefusal::Fifo: what = QStringLiteral("именуван канал (FIFO)"); break;
    case TOutputRefusal::Device: what = QStringLiteral("устройство"); break;
    case TOutputRefusal::Socket: what = QStringLiteral("сокет"); break;
    case TOutputRefusal::OtherKind: what = QStringLiteral("нещо различно от обикновен файл"); break;
    case TOutputRefusal::DatabaseFile:
        return QStringLiteral("„%1“ е файл на базата данни, от която е справката. Изберете друго име.").arg(shown);
    case TOutputRefusal::Unreadable:
        return QStringLiteral("„%1“ не може да бъде проверен: %2. Изберете друго име.").arg(shown, check.Reason);
    }
    return QStringLiteral("„%1“ е %2%3, а не обикновен файл: справката не може да бъде записана там. "
                          "Изберете друго име.")
        .arg(shown, check.ThroughLink ? QStringLiteral("връзка към ") : QString(), what);
}
