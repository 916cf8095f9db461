#pragma once
// TExportTextStrategy: the report's rows as delimited text (TAB-separated CSV in everything
// the report windows export), CR LF after every line, Windows-1251 ("?" for what it lacks).
// The file is asked for with a save dialog unless the options name it; the dialog takes a
// regular file or a new name only (see OutputTargetUnit.h). The rows go to a temporary
// file beside it, which takes the file's place only when the export succeeds: a failed or
// cancelled export leaves no partial file and an existing file as it was. Given an open
// device instead (standard output), the text goes there as it is written.

#include "ExportUnit.h"

#include <QByteArray>
#include <QSaveFile>

// In-place text routines of the writer.
void PadLeft(QString& S, int Len, QChar Ch);
void PadRight(QString& S, int Len, QChar Ch);
void PadCenter(QString& S, int Len, QChar Ch);
// TAB, LF, CR and backslash become "\-", "\_", "\." and "\\": a cell never breaks a line.
void EscapeControlChars(QString& S);

class TExportTextStrategy : public TExportStrategyAbs {
public:
    // Folder of the file chosen last in the save dialog (the home folder at first).
    static QString LastExportDir;

    using TExportStrategyAbs::TExportStrategyAbs;

    QString GetCaption() const override { return QStringLiteral("Exporting to Text File..."); }
    bool Init(int aRecCount) override;
    bool BeginExport() override;
    void WriteHeader() override;
    void WriteRecord() override;
    void WriteFooter() override;
    void EndExport(bool Success) override;
    QString Notice() const override;

    QString FormatCell(const TField* Field, int Width, const QString& Value, bool IsLast) const;
    // The file name offered and the path finally chosen (with ".csv" added when it has no
    // extension), as the save dialog loop handles them.
    static QString WithDefaultExtension(const QString& path);

private:
    bool ChooseFile();
    void WriteLine(const QString& line);
    void EndLine(); // CR LF after what the buffer holds
    void Flush();
    QString NameCell(int position) const;

    QSaveFile FExportTextFile;
    QIODevice* FOut = nullptr; // FExportTextFile, or the options' device
    QByteArray FBuffer;
    QString FRow; // a padded or quoted record being laid out, its capacity kept between records
    qsizetype FReplaced = 0; // characters written as "?" for want of a byte in the code page
};
