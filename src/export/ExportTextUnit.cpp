// The CSV writer: the save dialog loop, cell layout, and Windows-1251 lines written through
// a temporary file.
#include "ExportTextUnit.h"

#include "OutputTargetUnit.h"
#include "common/CodePage1251.h"
#include "db/Exception.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <algorithm>
#include <cerrno>

namespace {

// The system's reason for a failed write. A short write (the disk filled up part way through
// a block) leaves the file's own error text at "Unknown error"; errno still holds the reason.
QString WriteFailure(const QIODevice& file, int savedErrno)
{
    return savedErrno != 0 ? qt_error_string(savedErrno) : file.errorString();
}

constexpr qsizetype kFlushBytes = 256 * 1024;
const QString kNoPath = QStringLiteral("\"::-!-::\"");

// Blanks and control characters (every code up to the space) off both ends.
QString TrimControls(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b].unicode() <= u' ')
        ++b;
    while (e > b && s[e - 1].unicode() <= u' ')
        --e;
    return s.mid(b, e - b);
}

} // namespace

QString TExportTextStrategy::LastExportDir = QDir::homePath();

void PadLeft(QString& S, int Len, QChar Ch)
{
    if (S.size() < Len)
        S.prepend(QString(Len - S.size(), Ch));
    else
        S.truncate(Len);
}

void PadRight(QString& S, int Len, QChar Ch)
{
    if (S.size() < Len)
        S.append(QString(Len - S.size(), Ch));
    else
        S.truncate(Len);
}

void PadCenter(QString& S, int Len, QChar Ch)
{
    if (S.size() < Len) {
        const qsizetype surplus = Len - S.size();
        S = QString(surplus / 2, Ch) + S + QString(surplus - surplus / 2, Ch);
    } else {
        S.truncate(Len);
    }
}

void EscapeControlChars(QString& S)
{
    const auto special = [](char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u'\\'; };
    const QStringView view(S);
    if (std::none_of(view.utf16(), view.utf16() + view.size(), special))
        return; // nearly every cell: nothing to escape, nothing copied
    // From the last character to the first: every character is looked at once, and the
    // markers put in are never escaped again.
    for (qsizetype i = S.size() - 1; i >= 0; --i) {
        const char16_t c = S.at(i).unicode();
        const char16_t* marker = c == u'\t' ? u"\\-" : c == u'\n' ? u"\\_" : c == u'\r' ? u"\\." : c == u'\\' ? u"\\\\" : nullptr;
        if (marker)
            S.replace(i, 1, QString::fromUtf16(marker));
    }
}

QString TExportTextStrategy::WithDefaultExtension(const QString& path)
{
    const qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (path.indexOf(QLatin1Char('.'), slash + 1) < 0)
        return path + QStringLiteral(".csv");
    return path;
}

bool TExportTextStrategy::Init(int aRecCount)
{
    const bool result = TExportStrategyAbs::Init(aRecCount);
    if (!FExportOpts.FileName.isEmpty())
        return result;
    return ChooseFile() && result;
}

bool TExportTextStrategy::ChooseFile()
{
    QFileDialog dialog(QApplication::activeWindow(), QStringLiteral("Save to text file"));
    dialog.setObjectName(QStringLiteral("SaveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters({QStringLiteral("Text files (*.csv)"), QStringLiteral("All files (*)")});
    QString name = FileNameOfTitle(FExportOpts.Title); // the title itself may hold a "/"
    for (;;) {
        dialog.setDirectory(LastExportDir);
        dialog.selectFile(name);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        QString path = WithDefaultExtension(dialog.selectedFiles().constFirst());
        name = QFileInfo(path).fileName();
        LastExportDir = QFileInfo(path).absolutePath();
        const TOutputCheck check = CheckOutputTarget(path, FExportOpts.DataSourceFiles);
        if (check.Refused()) {
            QMessageBox box(QMessageBox::Warning, QApplication::applicationName(), OutputRefusalText(check, path),
                            QMessageBox::Ok, QApplication::activeWindow());
            box.setObjectName(QStringLiteral("OutputRefused"));
            box.exec();
            continue;
        }
        if (check.Exists) {
            QMessageBox box(QMessageBox::Question, QApplication::applicationName(),
                            QLatin1Char('"') + path + QStringLiteral("\" allready exists. Overwrite?"),
                            QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
            box.setDefaultButton(QMessageBox::Yes);
            if (box.exec() != QMessageBox::Yes)
                path = kNoPath;
        }
        if (path != kNoPath) {
            FExportOpts.FileName = path;
            return true;
        }
    }
}

bool TExportTextStrategy::BeginExport()
{
    FBuffer.reserve(2 * kFlushBytes);
    if (FExportOpts.Device) {
        FOut = FExportOpts.Device;
        return true;
    }
    FExportTextFile.setFileName(FExportOpts.FileName);
    if (FExportTextFile.open(QIODevice::WriteOnly)) {
        FOut = &FExportTextFile;
        return true;
    }
    ShowError(QStringLiteral("Impossible writing to file \"") + FExportOpts.FileName +
              QStringLiteral("\".\rCheck if the file is open in another program!(") + FExportTextFile.errorString() +
              QLatin1Char(')'));
    return false;
}

void TExportTextStrategy::WriteLine(const QString& line)
{
    FReplaced += AppendWindows1251(FBuffer, line);
    EndLine();
}

void TExportTextStrategy::EndLine()
{
    FBuffer += "\r\n";
    if (FBuffer.size() >= kFlushBytes)
        Flush();
}

void TExportTextStrategy::Flush()
{
    if (FBuffer.isEmpty())
        return;
    errno = 0;
    const qint64 written = FOut->write(FBuffer);
    const int reason = errno;
    if (written != FBuffer.size())
        throw Exception(QStringLiteral("Writing to \"%1\" failed: %2")
                            .arg(FExportOpts.ShownName(), WriteFailure(*FOut, reason)));
    FBuffer.resize(0); // the capacity stays for the next lines
}

QString TExportTextStrategy::FormatCell(const TField* Field, int Width, const QString& Value, bool IsLast) const
{
    QString cell = Value;
    if (FExportOpts.FixedWidth && Width > 0) {
        switch (Field ? Field->Alignment : taLeftJustify) {
        case taLeftJustify: PadRight(cell, Width, QLatin1Char(' ')); break;
        case taRightJustify: PadLeft(cell, Width, QLatin1Char(' ')); break;
        case taCenter: PadCenter(cell, Width, QLatin1Char(' ')); break;
        }
    }
    if (!FExportOpts.Quotes.isEmpty())
        cell = FExportOpts.Quotes + cell + FExportOpts.Quotes;
    if (!FExportOpts.ClmDelimiter.isEmpty() && !IsLast)
        cell += FExportOpts.ClmDelimiter;
    return cell;
}

QString TExportTextStrategy::NameCell(int position) const
{
    int width = 0;
    const TField* f = GetExportField(position, width);
    QString name = TrimControls(f->DisplayName());
    if (name.isEmpty())
        name = f->FieldName();
    EscapeControlChars(name);
    return FormatCell(f, width, name, position == FldCount - 1);
}

void TExportTextStrategy::WriteHeader()
{
    const QString& title = FExportOpts.Title;
    if (title.startsWith(QLatin1Char('[')) && title.endsWith(QLatin1Char(']'))) {
        WriteLine(title);
    } else if (FExportOpts.Header) {
        WriteLine(title);
        if (FExportOpts.Conditions && !FExportOpts.Conditions->isEmpty()) {
            WriteLine(QString(title.size(), QLatin1Char('=')));
            for (const QString& c : *FExportOpts.Conditions)
                WriteLine(c);
        } else {
            WriteLine(QString());
        }
    }
    if (!FExportOpts.Header && !FExportOpts.ClmNames)
        return;
    int dashes = std::min(FldCount * 10, 80);
    if (FExportOpts.FixedWidth) {
        int sum = 0;
        for (int i = 0; i < FldCount; ++i) {
            int width = 0;
            if (GetExportField(i, width))
                sum += width;
        }
        if (sum > 0)
            dashes = sum + (FExportOpts.ClmDelimiter.isEmpty() ? 0 : FldCount - 1);
    }
    const QString dashLine(dashes, QLatin1Char('-'));
    if (FExportOpts.Header)
        WriteLine(dashLine);
    QString row;
    for (int i = 0; i < FldCount; ++i) {
        int width = 0;
        if (GetExportField(i, width))
            row += NameCell(i);
    }
    WriteLine(row);
    if (FExportOpts.Header)
        WriteLine(dashLine);
}

void TExportTextStrategy::WriteRecord()
{
    // Plain delimited rows, which is what the report windows export, go straight into the
    // output buffer; padded or quoted cells are laid out by FormatCell first.
    const bool plain = !FExportOpts.FixedWidth && FExportOpts.Quotes.isEmpty();
    FRow.clear();
    for (int i = 0; i < FldCount; ++i) {
        int width = 0;
        const TField* f = GetExportField(i, width);
        if (!f)
            continue;
        QString value;
        if (!f->IsNull())
            value = IsNumericFieldType(f->DataType()) || IsTemporalFieldType(f->DataType()) ? f->DisplayText()
                                                                                              : f->AsString();
        EscapeControlChars(value);
        const bool last = i == FldCount - 1;
        if (plain) {
            FReplaced += AppendWindows1251(FBuffer, value);
            if (!last)
                FReplaced += AppendWindows1251(FBuffer, FExportOpts.ClmDelimiter);
        } else {
            FRow += FormatCell(f, width, value, last);
        }
    }
    if (plain)
        EndLine();
    else
        WriteLine(FRow);
}

void TExportTextStrategy::WriteFooter()
{
    if (!FExportOpts.Header)
        return;
    WriteLine(QString());
    if (!FExportOpts.ClmBottoms)
        return;
    QString row;
    for (int i = 0; i < FldCount; ++i) {
        int width = 0;
        const TField* f = GetExportField(i, width);
        if (!f)
            continue;
        if (i >= FExportOpts.ClmBottoms->size())
            throw Exception(QStringLiteral("No bottom text for column %1").arg(i + 1));
        QString value = FExportOpts.ClmBottoms->at(i);
        EscapeControlChars(value);
        row += FormatCell(f, width, value, i == FldCount - 1);
    }
    WriteLine(row);
    WriteLine(QString());
    if (FExportOpts.Footer && !FExportOpts.Footer->isEmpty()) {
        WriteLine(QString());
        for (const QString& line : *FExportOpts.Footer)
            WriteLine(line);
    }
}

QString TExportTextStrategy::Notice() const
{
    if (FReplaced == 0)
        return {};
    return FReplaced == 1 ? QStringLiteral("1 character outside Windows-1251 was written as \"?\"")
                          : QStringLiteral("%1 characters outside Windows-1251 were written as \"?\"").arg(FReplaced);
}

void TExportTextStrategy::EndExport(bool Success)
{
    if (FOut && FOut == FExportOpts.Device) {
        // What went out cannot be taken back; the rest follows it only on success.
        if (!Success) {
            FOut = nullptr;
            FBuffer.clear();
            return;
        }
        Flush();
        auto* file = qobject_cast<QFileDevice*>(FOut);
        FOut = nullptr;
        errno = 0;
        if (file && !file->flush())
            throw Exception(QStringLiteral("Writing to \"%1\" failed: %2")
                                .arg(FExportOpts.ShownName(), WriteFailure(*file, errno)));
        return;
    }
    if (!FExportTextFile.isOpen())
        return;
    if (!Success) {
        FExportTextFile.cancelWriting();
        FExportTextFile.commit(); // closes and removes the temporary file; the target is untouched
        FBuffer.clear();
        return;
    }
    QString error;
    try {
        Flush();
    } catch (const Exception& e) {
        error = e.Message();
    }
    if (!error.isEmpty()) {
        FExportTextFile.cancelWriting();
        FExportTextFile.commit();
        throw Exception(error);
    }
    errno = 0;
    const bool committed = FExportTextFile.commit();
    const int reason = errno;
    if (!committed)
        throw Exception(QStringLiteral("Writing to \"%1\" failed: %2")
                            .arg(FExportOpts.ShownName(), WriteFailure(FExportTextFile, reason)));
}
