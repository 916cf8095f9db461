// Standard error held back around libxlsxwriter's calls (see LibraryStderrUnit.h).
#include "LibraryStderrUnit.h"

#include <QByteArray>
#include <QList>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

bool IsLibraryLine(const QByteArray& line) { return line.startsWith("[ERROR]") || line.startsWith("[WARNING]"); }

void WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n <= 0)
            return;
        data += n;
        size -= size_t(n);
    }
}

} // namespace

TLibraryStderrHold::TLibraryStderrHold()
{
    std::fflush(stderr);
    FHeld = ::memfd_create("auditor-stderr", MFD_CLOEXEC);
    if (FHeld < 0)
        return;
    if (FHeld <= 2) { // no standard error to hold back
        ::close(FHeld);
        FHeld = -1;
        return;
    }
    FSaved = ::fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (FSaved < 0 || ::dup2(FHeld, 2) < 0) {
        if (FSaved >= 0)
            ::close(FSaved);
        ::close(FHeld);
        FSaved = FHeld = -1;
    }
}

TLibraryStderrHold::~TLibraryStderrHold()
{
    if (FHeld < 0)
        return;
    std::fflush(stderr);
    ::dup2(FSaved, 2);
    ::close(FSaved);
    QByteArray held;
    char buf[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(FHeld, buf, sizeof buf, at);
        if (n <= 0)
            break;
        held.append(buf, n);
        at += n;
    }
    ::close(FHeld);
    QByteArray passed;
    const QList<QByteArray> lines = held.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (IsLibraryLine(lines[i]))
            continue;
        passed += lines[i];
        if (i + 1 < lines.size())
            passed += '\n';
    }
    WriteAll(2, passed.constData(), size_t(passed.size()));
}
