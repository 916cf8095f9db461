// Output put in place only when it is whole (see TempOutputUnit.h).
#include "app/TempOutputUnit.h"

#include "db/Exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The temporary output while it exists, for the signal handler.
enum : int { kNone, kFile, kFolder };
char gTempPath[4096];
volatile std::sig_atomic_t gTempKind = kNone;

void Remember(const QByteArray& path, int kind)
{
    if (size_t(path.size()) < sizeof gTempPath) {
        std::memcpy(gTempPath, path.constData(), size_t(path.size()) + 1);
        gTempKind = kind;
    }
}

// Empties and removes the temporary folder with system calls only (a signal may come at
// any point); the bundle writes no subfolders.
void EmptyAndRemoveFolder(const char* path)
{
    const int fd = ::open(path, O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        alignas(8) char buf[8192];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buf, sizeof buf);
            if (n <= 0)
                break;
            for (long off = 0; off < n;) {
                // struct linux_dirent64: d_ino (8), d_off (8), d_reclen (2), d_type (1), d_name
                unsigned short reclen;
                std::memcpy(&reclen, buf + off + 16, sizeof reclen);
                const char* name = buf + off + 19;
                if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0)
                    ::unlinkat(fd, name, 0);
                off += reclen;
            }
        }
        ::close(fd);
    }
    ::rmdir(path);
}

extern "C" void RemoveTempOutputAndDie(int sig)
{
    if (gTempKind == kFile)
        ::unlink(gTempPath);
    else if (gTempKind == kFolder)
        EmptyAndRemoveFolder(gTempPath);
    gTempKind = kNone;
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

void RemoveTempOutputOnSignals()
{
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, RemoveTempOutputAndDie);
}

void SyncToDisk(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool TTempTarget::Create(const QString& target, QString& error)
{
    const QFileInfo info(target);
    QTemporaryFile file(info.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX.part").arg(info.fileName())));
    file.setAutoRemove(false);
    if (!file.open()) {
        error = file.errorString();
        return false;
    }
    FPath = file.fileName();
    file.close();
    Remember(QFile::encodeName(FPath), kFile);
    return true;
}

bool TTempTarget::Commit(const QString& target, mode_t umaskValue, QString& error)
{
    const QByteArray from = QFile::encodeName(FPath);
    const QByteArray to = QFile::encodeName(target);
    struct stat st {};
    const mode_t mode = ::stat(to.constData(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~umaskValue);
    ::chmod(from.constData(), mode);
    SyncToDisk(from);
    if (::rename(from.constData(), to.constData()) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    gTempKind = kNone;
    FPath.clear();
    return true;
}

void TTempTarget::Discard()
{
    if (FPath.isEmpty())
        return;
    gTempKind = kNone;
    QFile::remove(FPath);
    FPath.clear();
}

TTempFolder::TTempFolder(const QString& target)
{
    const QFileInfo info(target);
    QByteArray pattern =
        QFile::encodeName(info.absoluteDir().filePath(QStringLiteral(".%1.part.XXXXXX").arg(info.fileName())));
    if (!::mkdtemp(pattern.data()))
        throw Exception(QStringLiteral("cannot make a folder beside \"%1\": %2")
                            .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    FPath = QFile::decodeName(pattern);
    Remember(pattern, kFolder);
}

TTempFolder::~TTempFolder()
{
    if (FPath.isEmpty())
        return;
    gTempKind = kNone;
    QDir(FPath).removeRecursively();
}

void TTempFolder::Commit(const QString& target, mode_t umaskValue)
{
    const QByteArray from = QFile::encodeName(FPath);
    const QByteArray to = QFile::encodeName(target);
    ::chmod(from.constData(), 0777 & ~umaskValue);
    SyncToDisk(from);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0)
        throw Exception(QStringLiteral("cannot put the bundle in place as \"%1\": %2")
                            .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    gTempKind = kNone;
    FPath.clear();
    SyncToDisk(QFile::encodeName(QFileInfo(target).absolutePath()));
}
