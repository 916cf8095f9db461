// Temporary names that carry their process's id, and the removal of stale ones (see
// StalePartUnit.h).
#include "StalePartUnit.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ProcessIsGone(const QString& pidText)
{
    bool ok = false;
    const qlonglong pid = pidText.toLongLong(&ok);
    // 0 and negative ids would name process groups.
    if (!ok || pid <= 0 || pid > INT_MAX)
        return false;
    return ::kill(pid_t(pid), 0) == -1 && errno == ESRCH;
}

// Empties the folder `name` of `parent` (files only; the folder is opened without following
// a link, and must still be the one looked at) and removes it.
void RemoveFolder(int parent, const QByteArray& name, const struct stat& seen)
{
    const int fd = ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_dev != seen.st_dev || st.st_ino != seen.st_ino) {
        ::close(fd);
        return;
    }
    DIR* dir = ::fdopendir(fd); // takes the descriptor
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (std::strcmp(n, ".") != 0 && std::strcmp(n, "..") != 0)
            ::unlinkat(::dirfd(dir), n, 0); // a folder inside fails, and so keeps this one
    }
    ::closedir(dir);
    ::unlinkat(parent, name.constData(), AT_REMOVEDIR);
}

} // namespace

QString ProcessTag() { return QString::number(::getpid()); }

QStringList RemoveStaleParts(const QString& folder, const QRegularExpression& pattern, TPartKind kind)
{
    QStringList removed;
    const int parent = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return removed;
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = pattern.match(name, 0, QRegularExpression::NormalMatch,
                                                        QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch() || m.capturedLength() != name.size() || !ProcessIsGone(m.captured(u"pid")))
            continue;
        const QByteArray bytes = QFile::encodeName(name);
        struct stat st {};
        if (::fstatat(parent, bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_uid != ::geteuid())
            continue;
        if (kind == TPartKind::File && S_ISREG(st.st_mode)) {
            if (::unlinkat(parent, bytes.constData(), 0) == 0)
                removed << name;
        } else if (kind == TPartKind::Folder && S_ISDIR(st.st_mode)) {
            RemoveFolder(parent, bytes, st);
            if (::fstatat(parent, bytes.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
                removed << name;
        }
    }
    ::close(parent);
    return removed;
}
