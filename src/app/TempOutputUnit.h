#pragma once
// Output put in place only when it is whole: a file or a folder written beside its target
// under a temporary name and renamed onto it at the end; removed when it is not, also by a
// signal that ends the program (with the spreadsheet library's temporary folder). The
// temporary names carry the process id, so that what a killed run left behind is known and
// removed by the next run into the same folder.

#include <QByteArray>
#include <QDir>
#include <QString>
#include <sys/types.h>

// SIGINT, SIGTERM and SIGHUP remove the temporary file or folder that exists at that moment,
// and the spreadsheet library's temporary folder, then end the program as the signal would.
void RemoveTempOutputOnSignals();

// Removes the same at once, for a run that ends without returning (only system calls: it
// may run while another thread is inside the database driver).
void RemoveTempOutputNow();

// Removes, beside `target`, the temporary files of single exports (TTempTarget) or, with
// `folders`, the temporary folders of bundles (TTempFolder) whose process is gone.
void RemoveStaleTempOutput(const QString& target, bool folders);

// Writes the file or folder at `path` out to the disk (fsync); a failure is not reported.
void SyncToDisk(const QByteArray& path);

// The target's temporary stand-in in the same folder; removed unless it was committed.
class TTempTarget {
public:
    ~TTempTarget() { Discard(); }

    // Creates the file; false (with `error`) when the folder takes no new file.
    bool Create(const QString& target, QString& error);
    const QString& Path() const { return FPath; }

    // Gives the file the permissions a file written in place would have (those of the
    // target it replaces, else the default of new files), writes it out to the disk and
    // renames it onto the target.
    bool Commit(const QString& target, mode_t umaskValue, QString& error);

    void Discard();

private:
    QString FPath;
};

// A folder's temporary stand-in beside it: made at once, removed unless renamed onto the
// target.
class TTempFolder {
public:
    explicit TTempFolder(const QString& target);
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const QString& Path() const { return FPath; }
    QString FilePath(const QString& name) const { return QDir(FPath).filePath(name); }

    // Gives the folder the permissions of a folder made in place, writes it to the disk and
    // renames it to `target`, which must not exist (not even empty).
    void Commit(const QString& target, mode_t umaskValue);

private:
    QString FPath;
};
