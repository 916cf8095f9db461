#pragma once
// Which paths an export may write to: a regular file, which it replaces, or a name that does
// not exist yet; never a folder, a FIFO, a device or a socket (nor a symbolic link to one),
// and never a file of the database the data comes from. The report window's save dialog and
// auditor-export both ask here.

#include "db/SqlDbModelUnit.h"

#include <QString>
#include <QStringList>
#include <cstdint>

// Why a path cannot take an export.
enum class TOutputRefusal : std::uint8_t {
    None,         // it can
    Folder,
    Fifo,
    Device,       // character or block device
    Socket,
    OtherKind,    // anything else that is not a regular file
    DatabaseFile, // one of the data source's own files
    Unreadable,   // what stands there cannot be looked at (Reason says why)
};

struct TOutputCheck {
    TOutputRefusal Refusal = TOutputRefusal::None;
    bool Exists = false;      // something stands at the path (a dangling symbolic link does not count)
    bool ThroughLink = false; // the path is a symbolic link to what Refusal names
    QString Reason;           // the system's reason, for Unreadable

    bool Refused() const { return Refusal != TOutputRefusal::None; }
    // Free for a new file: nothing stands there and nothing refuses it.
    bool IsNew() const { return !Refused() && !Exists; }
};

// The files of the data source behind `model` that an export must never replace: for a
// SQLite data source the database file its odbc.ini entry names (a path or a "file:" URI)
// and the journal, WAL and shared-memory files beside it; none for a database on a server.
QStringList DataSourceFiles(const TSqlDBModel& model);

// What `path` is as an export's target. Symbolic links are followed; `keepOut` (see
// DataSourceFiles) is compared by file identity, device and inode, so that another name
// of the same file (a link, a hard link, "..") is refused as well.
TOutputCheck CheckOutputTarget(const QString& path, const QStringList& keepOut);

// Why a path chosen in a save dialog cannot take the export, in the window's words (for a
// message box); empty when it can.
QString OutputRefusalText(const TOutputCheck& check, const QString& path);
