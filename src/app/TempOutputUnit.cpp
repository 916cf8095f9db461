// Output put in place only when it is whole (see TempOutputUnit.h).
#include "app/TempOutputUnit.h"

#include "db/Exception.h"
#include "export/ExportExcelUnit.h"
#include "export/StalePartUnit.h"

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

// What is temporary while it exists, for the signal handler: the output (a file or a
// folder) and the spreadsheet library's folder. A slot is marked empty while its path is
// written.
enum : int { kNone, kFile, kFolder };
struct TSlot {
    char Path[4096];
    volatile std::sig_atomic_t Kind = kNone;
};
TSlot gOutput, gScratch;

void Remember(TSlot& slot, const QByteArray& path, int kind)
{
    slot.Kind = kNone;
    if (size_t(path.size()) < sizeof slot.Path) {
        std::memcpy(slot.Path, path.constData(), size_t(path.size()) + 1);
        slot.Kind = kind;
    }
}
void Forget(TSlot& slot) { slot.Kind = kNone; }

// The names TTempTarget and TTempFolder give: ".NAME.PID.XXXXXX.part" and
// ".NAME.part.PID.XXXXXX".
const QRegularExpression kFilePart(QStringLiteral("\\..+\\.(?<pid>[1-9][0-9]*)\\.[A-Za-z0-9]{6}\\.part"));
const QRegularExpression kFolderPart(QStringLiteral("\\..+\\.part\\.(?<pid>[1-9][0-9]*)\\.[A-Za-z0-9]{6}"));

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

void RemoveSlot(TSlot& slot)
{
    const int kind = slot.Kind;
    slot.Kind = kNone;
    if (kind == kFile)
        ::unlink(slot.Path);
    else if (kind == kFolder)
        EmptyAndRemoveFolder(slot.Path);
}

extern "C" void RemoveTempOutputAndDie(int sig)
{
    RemoveTempOutputNow();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

} // namespace

void RemoveTempOutputOnSignals()
{
    TExportExcelStrategy::ScratchFolderChanged = [](const QString& folder) {
        if (folder.isEmpty())
            Forget(gScratch);
        else
            Remember(gScratch, QFile::encodeName(folder), kFolder);
    };
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        std::signal(sig, RemoveTempOutputAndDie);
}

void RemoveTempOutputNow()
{
    RemoveSlot(gOutput);
    RemoveSlot(gScratch);
}

void RemoveStaleTempOutput(const QString& target, bool folders)
{
    RemoveStaleParts(QFileInfo(target).absolutePath(), folders ? kFolderPart : kFilePart,
                     folders ? TPartKind::Folder : TPartKind::File);
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
    QTemporaryFile file(
        info.absoluteDir().filePath(QStringLiteral(".%1.%2.XXXXXX.part").arg(info.fileName(), ProcessTag())));
    file.setAutoRemove(false);
    if (!file.open()) {
        error = file.errorString();
        return false;
    }
    FPath = file.fileName();
    file.close();
    Remember(gOutput, QFile::encodeName(FPath), kFile);
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
    Forget(gOutput);
    FPath.clear();
    return true;
}

void TTempTarget::Discard()
{
    if (FPath.isEmpty())
        return;
    Forget(gOutput);
    QFile::remove(FPath);
    FPath.clear();
}

TTempFolder::TTempFolder(const QString& target)
{
    const QFileInfo info(target);
    QByteArray pattern = QFile::encodeName(
        info.absoluteDir().filePath(QStringLiteral(".%1.part.%2.XXXXXX").arg(info.fileName(), ProcessTag())));
    if (!::mkdtemp(pattern.data()))
        throw Exception(QStringLiteral("cannot make a folder beside \"%1\": %2")
                            .arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    FPath = QFile::decodeName(pattern);
    Remember(gOutput, pattern, kFolder);
}

TTempFolder::~TTempFolder()
{
    if (FPath.isEmpty())
        return;
    Forget(gOutput);
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
    Forget(gOutput);
    FPath.clear();
    SyncToDisk(QFile::encodeName(QFileInfo(target).absolutePath()));
}
