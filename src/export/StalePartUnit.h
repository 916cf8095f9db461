#pragma once
// Temporary files and folders named for the process that writes them, so that the ones a
// killed process left behind can be told from those of a live one and removed.

#include <QRegularExpression>
#include <QString>
#include <QStringList>

// The id of this process as temporary names hold it.
QString ProcessTag();

enum class TPartKind { File, Folder };

// Removes from `folder` each entry of `kind` (a regular file, or a real folder with the
// files in it; never a symbolic link) owned by this user whose whole name `pattern` matches
// and whose capture "pid" names a process that is gone (kill(pid, 0) fails with ESRCH).
// Anything else stays, as does a folder that holds a folder. Returns the names removed.
QStringList RemoveStaleParts(const QString& folder, const QRegularExpression& pattern, TPartKind kind);
