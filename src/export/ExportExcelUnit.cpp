// The spreadsheet writer: typed cells, column formats and widths, and the workbook packed,
// read back and published.
#include "ExportExcelUnit.h"

#include "LibraryStderrUnit.h"
#include "OutputTargetUnit.h"
#include "SheetTextUnit.h"
#include "StalePartUnit.h"
#include "WorkbookOpenerUnit.h"
#include "WorkbookPrintUnit.h"
#include "ZipReadBackUnit.h"
#include "db/Exception.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <xlsxwriter.h>

namespace {

constexpr double kMinWidth = 6;
constexpr double kMaxWidth = 60;
constexpr int kMaxCellText = 32767;              // what a spreadsheet cell holds
constexpr double kExactIntegerLimit = 9007199254740992.0; // 2^53

const QDate kDayZero(1899, 12, 30);
// The spreadsheet's calendar counts 29 February 1900, which never was: its serials match
// the days from kDayZero from 1 March 1900 on.
const QDate kFirstSerialDate(1900, 3, 1);
constexpr int kSpreadsheetDigits = 15; // significant digits a spreadsheet number keeps

// A plain decimal text ("-123.4500") whose value a spreadsheet number holds exactly: no
// more significant digits than the spreadsheet keeps.
char16_t Char16(QChar c) { return c.unicode(); }
char16_t Char16(char c) { return char16_t(static_cast<unsigned char>(c)); }

template <typename TText>
bool FitsSpreadsheetNumber(const TText& text)
{
    int first = -1, last = -1, at = 0;
    for (qsizetype i = 0; i < qsizetype(text.size()); ++i) {
        const char16_t c = Char16(text[i]);
        if (c == u'.' || (i == 0 && (c == u'-' || c == u'+')))
            continue;
        if (c < u'0' || c > u'9')
            return false; // an exponent, NaN, Infinity
        if (c != u'0') {
            if (first < 0)
                first = at;
            last = at;
        }
        ++at;
    }
    // The significant digits: from the first non-zero digit to the last one; a number of
    // no more of them reads back from a double as it was written.
    return first < 0 || last - first + 1 <= kSpreadsheetDigits;
}

double SerialOf(const QDateTime& dt)
{
    const double days = double(kDayZero.daysTo(dt.date()));
    return days + dt.time().msecsSinceStartOfDay() / 86400000.0;
}


// Closes what the library still holds open in `dir` once it has returned: a workbook whose
// packing fails part way leaves the temporary copy of a worksheet open (already unlinked,
// so its space would stay taken until the program ends).
void CloseFilesLeftIn(const QString& dir)
{
    const QByteArray prefix = QFile::encodeName(dir) + '/';
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        char target[4096];
        const ssize_t n = ::readlink(QFile::encodeName(fds.filePath(name)).constData(), target, sizeof target - 1);
        if (n > 0 && QByteArray::fromRawData(target, n).startsWith(prefix))
            ::close(name.toInt());
    }
}

// What a failed write into the disk's files means to the user; errno may be stale, so only
// the reasons that say something of the disk are taken from it.
bool IsDiskError(int code) { return code == ENOSPC || code == EFBIG || code == EDQUOT || code == EIO; }

// A reason met in the folder of the library's temporary files.
QString InTemporaryFolder(int code)
{
    return QStringLiteral("%1 (in the temporary folder \"%2\")").arg(qt_error_string(code), QDir::tempPath());
}

// Why packing the workbook failed: the system's reason where the library leaves it in errno
// (opening the target, its temporary files, the zip writer's own writes), else its own.
QString ReasonOfClose(int error, int code)
{
    if (code != 0 && error == LXW_ERROR_CREATING_TMPFILE)
        return InTemporaryFolder(code);
    if (code != 0 && (IsDiskError(code) || error == LXW_ERROR_CREATING_XLSX_FILE || error == LXW_ERROR_ZIP_FILE_OPERATION))
        return qt_error_string(code);
    return QString::fromUtf8(lxw_strerror(lxw_error(error)));
}

} // namespace

QString TExportExcelStrategy::PrivateWorkbookFolder()
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/workbooks");
    if (!QDir().mkpath(folder))
        throw Exception(QStringLiteral("Cannot make the folder \"%1\" for the workbook").arg(folder));
    // Readable by its owner alone, also when it was made before with other permissions.
    if (::chmod(QFile::encodeName(folder).constData(), 0700) != 0)
        throw Exception(QStringLiteral("Cannot make the folder \"%1\" private: %2")
                            .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    return folder;
}

std::function<bool(const QString&)> TExportExcelStrategy::OpenWorkbook = [](const QString& path) {
    return OpenWorkbookWithDesktop(path, [path] { OfferToSaveWorkbook(path); });
};
int TExportExcelStrategy::MaxSheetRows = TExportExcelStrategy::kMaxSheetRows;
std::function<void(const QString&)> TExportExcelStrategy::ScratchFolderChanged;


TExportExcelStrategy::~TExportExcelStrategy()
{
    if (FWorkbook)
        Discard(std::exchange(FWorkbook, nullptr));
}

TExportExcelStrategy::TColumnKind TExportExcelStrategy::ColumnKindOf(TFieldType type)
{
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
    case ftShortint: return TColumnKind::Integer;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
    case ftExtended: return TColumnKind::Decimal;
    case ftDate:
    case ftDateTime:
    case ftTimeStamp: return TColumnKind::Date;
    case ftTime: return TColumnKind::Time;
    default: return TColumnKind::Text;
    }
}

const char* TExportExcelStrategy::NumberFormatOf(TFieldType type)
{
    switch (ColumnKindOf(type)) {
    case TColumnKind::Integer: return "General";
    case TColumnKind::Decimal: return "0.00####";
    case TColumnKind::Date: return "dd.mm.yyyy";
    case TColumnKind::Time: return "hh:mm";
    case TColumnKind::Text: break;
    }
    return "@";
}

void TExportExcelStrategy::Check(int error, const char* what) const
{
    if (error != LXW_NO_ERROR)
        throw Exception(QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                                     QString::fromUtf8(lxw_strerror(lxw_error(error)))));
}

void TExportExcelStrategy::CannotWrite(const QString& reason) const
{
    const QString shown = FExportOpts.ShownFileName.isEmpty() ? FPath : FExportOpts.ShownFileName;
    throw Exception(QStringLiteral("Cannot write \"%1\": %2").arg(shown, reason));
}

bool TExportExcelStrategy::Init(int aRecCount)
{
    const bool result = TExportStrategyAbs::Init(aRecCount);
    NumRows = aRecCount;
    if (!FExportOpts.FileName.isEmpty()) {
        FPath = FExportOpts.FileName;
    } else {
        // A new file in the user's own folder (audit evidence is for nobody else to read, and
        // a workbook opened unsaved must outlive a reboot); an earlier export of the same
        // report may still be open.
        const QDir temp(PrivateWorkbookFolder());
        QString base = FileNameOfTitle(FExportOpts.Title);
        if (base.isEmpty())
            base = QStringLiteral("Export");
        FPath = temp.filePath(base + QStringLiteral(".xlsx"));
        for (int n = 2; !CheckOutputTarget(FPath, {}).IsNew(); ++n)
            FPath = temp.filePath(QStringLiteral("%1 (%2).xlsx").arg(base).arg(n));
    }
    return result;
}

bool TExportExcelStrategy::BeginExport()
{
    // Both temporary names carry the process id: what a killed export leaves is known by it.
    const QFileInfo target(FPath);
    do {
        FWritePath = target.dir().filePath(
            QStringLiteral(".%1.%2.%3.part")
                .arg(target.fileName(), ProcessTag())
                .arg(QRandomGenerator::global()->bounded(0x1000000u), 6, 16, QLatin1Char('0')));
    } while (QFileInfo::exists(FWritePath) || QFileInfo(FWritePath).isSymLink());
    const QByteArray path = QFile::encodeName(FWritePath);
    static const QRegularExpression kStaleScratch(QStringLiteral("auditor-xlsx-(?<pid>[1-9][0-9]*)-[A-Za-z0-9]{6}"));
    RemoveStaleParts(QDir::tempPath(), kStaleScratch, TPartKind::Folder);
    // The folder is named and announced before it is made, so that a signal never finds it
    // made and not announced. A name taken already (only a gone process of the same id can
    // have left it) is passed over.
    for (;;) {
        static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        QString tag;
        for (int i = 0; i < 6; ++i)
            tag += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))]);
        const QString folder =
            QDir(QDir::tempPath()).filePath(QStringLiteral("auditor-xlsx-%1-%2").arg(ProcessTag(), tag));
        if (ScratchFolderChanged)
            ScratchFolderChanged(folder);
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0) {
            FScratch = std::make_unique<TScratchFolder>(folder);
            break;
        }
        const int reason = errno;
        if (ScratchFolderChanged)
            ScratchFolderChanged(QString());
        if (reason != EEXIST)
            CannotWrite(QStringLiteral("no folder for its temporary files can be made in \"%1\": %2")
                            .arg(QDir::tempPath(), QString::fromLocal8Bit(std::strerror(reason))));
    }
    QByteArray tmpdir = QFile::encodeName(FScratch->path());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir.data();
    options.use_zip64 = NumRows > 200000 ? LXW_TRUE : LXW_FALSE; // parts beyond 4 GB
    FWorkbook = workbook_new_opt(path.constData(), &options);
    if (!FWorkbook)
        CannotWrite(QStringLiteral("the workbook cannot be made"));
    FNameFormat = workbook_add_format(FWorkbook);
    format_set_bold(FNameFormat);
    format_set_border(FNameFormat, LXW_BORDER_THIN);
    format_set_align(FNameFormat, LXW_ALIGN_VERTICAL_CENTER);
    FTitleFormat = workbook_add_format(FWorkbook);
    format_set_align(FTitleFormat, LXW_ALIGN_CENTER);
    format_set_align(FTitleFormat, LXW_ALIGN_VERTICAL_CENTER);
    SetWorkbookProperties(FWorkbook, FExportOpts.Title, FExportOpts.Subject);
    return true;
}

void TExportExcelStrategy::WriteHeader()
{
    NumCols = FDataSet->FieldCount();
    FTypes.clear();
    FWidths.clear();
    FColumnFormats.clear();
    FCellFormats.clear();
    for (int c = 0; c < NumCols; ++c) {
        const TField& f = FDataSet->Fields(c);
        FTypes.push_back(f.DataType());
        FWidths.push_back(std::max(kMinWidth, f.FieldName().size() * 1.15 + 2));
        // One format object per number format: the library looks a format's index up in a
        // hash on every cell written when another object with the same properties exists.
        // The column carries the number format alone; the thin grid is on the cells written
        // (the field names and the records), not down to the sheet's last row.
        const char* numberFormat = NumberFormatOf(f.DataType());
        lxw_format* column = nullptr;
        lxw_format* cell = nullptr;
        for (int k = 0; k < c && !column; ++k)
            if (std::strcmp(NumberFormatOf(FTypes[size_t(k)]), numberFormat) == 0) {
                column = FColumnFormats[size_t(k)];
                cell = FCellFormats[size_t(k)];
            }
        if (!column) {
            column = workbook_add_format(FWorkbook);
            format_set_num_format(column, numberFormat);
            cell = workbook_add_format(FWorkbook);
            format_set_num_format(cell, numberFormat);
            format_set_border(cell, LXW_BORDER_THIN);
        }
        FColumnFormats.push_back(column);
        FCellFormats.push_back(cell);
    }
}

TExportExcelStrategy::TRow TExportExcelStrategy::ReadRecord()
{
    TRow row(static_cast<size_t>(NumCols));
    for (int c = 0; c < NumCols; ++c) {
        const TField& f = FDataSet->Fields(c);
        TCell& cell = row[size_t(c)];
        if (f.IsNull())
            continue;
        const TFieldType type = FTypes[size_t(c)];
        const TColumnKind kind = ColumnKindOf(type);
        double chars = 0;
        switch (kind) {
        case TColumnKind::Integer:
        case TColumnKind::Decimal: {
            // What a spreadsheet number cannot hold exactly goes in as text, every digit kept:
            // integers beyond 2^53, decimals of more than 15 significant digits, NaN and
            // infinities, and a stored value that is no number at all.
            // Each value is read once: decimals as their text, the others as their typed value
            // (a text there is a stored value the driver could not convert).
            QString text;
            double number = 0;
            bool exact = false;
            std::string_view bytes;
            if (f.DecimalBytes(bytes)) {
                // The driver's digits, parsed as they came (correctly rounded, as toDouble).
                const char* end = bytes.data() + bytes.size();
                const char* begin = bytes.data() + (bytes.starts_with('+') ? 1 : 0);
                const auto parsed = std::from_chars(begin, end, number);
                exact = parsed.ec == std::errc() && parsed.ptr == end && FitsSpreadsheetNumber(bytes)
                     && std::isfinite(number);
            } else if (type == ftBCD || type == ftFMTBcd) {
                text = f.AsString();
                number = text.toDouble();
                exact = FitsSpreadsheetNumber(text) && std::isfinite(number);
            } else if (const QVariant v = f.Value(); v.typeId() == QMetaType::QString) {
                text = v.toString();
            } else {
                number = v.toDouble();
                exact = std::isfinite(number) && (kind != TColumnKind::Integer || std::fabs(number) < kExactIntegerLimit);
            }
            if (exact) {
                cell.Kind = TCellKind::Number;
                cell.Number = number;
            } else {
                if (text.isNull())
                    text = f.AsString();
                cell.Kind = TCellKind::String;
                cell.Text = SheetText(text);
            }
            if (!FColumnsSet)
                chars = (text.isNull() ? f.AsString() : text).size() + (kind == TColumnKind::Decimal && exact ? 2 : 0);
            break;
        }
        case TColumnKind::Date:
        case TColumnKind::Time: {
            // A date the spreadsheet cannot hold (before 1 March 1900, where its calendar is
            // off by a day, or no date at all) goes in as the text the program shows; so does
            // a time with a fraction of a second, which the column's format would hide.
            const QVariant v = f.Value();
            double serial = -1;
            const bool fraction = (v.typeId() == QMetaType::QTime && v.toTime().msec() != 0) ||
                                  (v.typeId() == QMetaType::QDateTime && v.toDateTime().time().msec() != 0);
            if (fraction)
                ; // as text
            else if (type == ftTime && v.typeId() == QMetaType::QTime)
                serial = v.toTime().msecsSinceStartOfDay() / 86400000.0;
            else if (type == ftDate && v.typeId() == QMetaType::QDate && v.toDate() >= kFirstSerialDate)
                serial = double(kDayZero.daysTo(v.toDate()));
            else if (v.typeId() == QMetaType::QDateTime && v.toDateTime().date() >= kFirstSerialDate)
                serial = SerialOf(v.toDateTime());
            if (serial >= 0) {
                cell.Kind = TCellKind::Number;
                cell.Number = serial;
                chars = kind == TColumnKind::Date ? 10 : 5;
            } else {
                const QString text = f.AsString();
                cell.Kind = TCellKind::String;
                cell.Text = SheetText(text);
                chars = text.size();
            }
            break;
        }
        case TColumnKind::Text: {
            const QString text = f.AsString();
            if (text.isEmpty())
                continue;
            if (text.size() > kMaxCellText)
                throw Exception(QStringLiteral("A value of column \"%1\" is longer than a spreadsheet cell holds")
                                    .arg(f.FieldName()));
            cell.Kind = TCellKind::String;
            cell.Text = SheetText(text);
            chars = text.size();
            break;
        }
        }
        if (!FColumnsSet)
            FWidths[size_t(c)] = std::min(kMaxWidth, std::max(FWidths[size_t(c)], chars + 2));
    }
    return row;
}

void TExportExcelStrategy::StartSheet(bool first)
{
    int reason = 0;
    {
        const TLibraryStderrHold quiet; // its temporary file may fail
        errno = 0;
        Sheet = workbook_add_worksheet(FWorkbook, nullptr);
        reason = errno;
    }
    if (!Sheet)
        CannotWrite(reason != 0 ? InTemporaryFolder(reason) : QStringLiteral("no worksheet can be added"));
    FinishSheet();
    FSheets.push_back(Sheet);
    for (int c = 0; c < NumCols; ++c)
        Check(worksheet_set_column(Sheet, lxw_col_t(c), lxw_col_t(c), FWidths[size_t(c)], FColumnFormats[size_t(c)]),
              "worksheet_set_column");
    lxw_row_t row = 0;
    if (first && FExportOpts.Header) {
        QStringList lines;
        if (!FExportOpts.Title.isEmpty())
            lines << FExportOpts.Title;
        if (FExportOpts.Conditions)
            lines << *FExportOpts.Conditions;
        for (const QString& line : lines) {
            const QByteArray text = SheetText(line);
            if (NumCols > 1)
                Check(worksheet_merge_range(Sheet, row, 0, row, lxw_col_t(NumCols - 1), text.constData(), FTitleFormat),
                      "worksheet_merge_range");
            else
                Check(worksheet_write_string(Sheet, row, 0, text.constData(), FTitleFormat), "worksheet_write_string");
            ++row;
        }
        ++row; // one empty row
    }
    for (int c = 0; c < NumCols; ++c)
        Check(worksheet_write_string(Sheet, row, lxw_col_t(c), SheetText(FDataSet->Fields(c).FieldName()).constData(),
                                     FNameFormat),
              "worksheet_write_string");
    SetSheetForReading(Sheet, row);
    FNameRow = row;
    StartDataRow = int(row) + 1;
}

void TExportExcelStrategy::FinishSheet()
{
    if (FSheets.empty() || NumCols == 0)
        return;
    SetSheetFilter(FSheets.back(), FNameRow, lxw_row_t(StartDataRow - 1), lxw_col_t(NumCols - 1));
}

void TExportExcelStrategy::WriteRow(const TRow& row)
{
    if (StartDataRow >= MaxSheetRows)
        StartSheet(false);
    const lxw_row_t r = lxw_row_t(StartDataRow);
    for (int c = 0; c < NumCols; ++c) {
        const TCell& cell = row[size_t(c)];
        lxw_format* format = FCellFormats[size_t(c)];
        switch (cell.Kind) {
        case TCellKind::Blank: Check(worksheet_write_blank(Sheet, r, lxw_col_t(c), format), "worksheet_write_blank"); break;
        case TCellKind::Number:
            Check(worksheet_write_number(Sheet, r, lxw_col_t(c), cell.Number, format), "worksheet_write_number");
            break;
        case TCellKind::String:
            Check(worksheet_write_string(Sheet, r, lxw_col_t(c), cell.Text.constData(), format),
                  "worksheet_write_string");
            break;
        }
    }
    ++StartDataRow;
    CheckSheetFile(Sheet, false);
}

void TExportExcelStrategy::WritePending()
{
    if (FColumnsSet)
        return;
    FColumnsSet = true;
    StartSheet(true);
    for (const TRow& row : FPending)
        WriteRow(row);
    FPending.clear();
    FPending.shrink_to_fit();
}

void TExportExcelStrategy::WriteRecord()
{
    TRow row = ReadRecord();
    if (FColumnsSet) {
        WriteRow(row);
        return;
    }
    FPending.push_back(std::move(row));
    if (int(FPending.size()) >= kMeasuredRows)
        WritePending();
}

void TExportExcelStrategy::WriteFooter()
{
    WritePending();
    FinishSheet();
}

void TExportExcelStrategy::CheckSheetFile(lxw_worksheet* sheet, bool flush) const
{
    // The library writes the rows into a temporary file and never looks at the outcome.
    FILE* file = sheet->optimize_tmpfile;
    if (!file)
        return;
    errno = 0;
    if ((flush && std::fflush(file) != 0) || std::ferror(file)) {
        if (errno == 0)
            std::fflush(file); // the failed write again, for its reason
        CannotWrite(InTemporaryFolder(errno != 0 ? errno : EIO));
    }
}

void TExportExcelStrategy::Discard(lxw_workbook* workbook)
{
    // Nothing is packed: the temporary files are closed and the workbook freed as it is.
    for (lxw_worksheet* sheet : FSheets) {
        if (sheet->optimize_tmpfile) {
            std::fclose(sheet->optimize_tmpfile);
            sheet->optimize_tmpfile = nullptr;
        }
    }
    FSheets.clear();
    Sheet = nullptr;
    lxw_workbook_free(workbook);
    DropScratch();
    QFile::remove(FWritePath);
}

void TExportExcelStrategy::DropScratch()
{
    FScratch.reset();
    if (ScratchFolderChanged)
        ScratchFolderChanged(QString());
}

void TExportExcelStrategy::Close(lxw_workbook* workbook)
{
    try {
        for (lxw_worksheet* sheet : FSheets)
            CheckSheetFile(sheet, true);
    } catch (...) {
        Discard(workbook);
        throw;
    }
    lxw_error closed = LXW_NO_ERROR;
    int reason = 0;
    {
        const TLibraryStderrHold quiet; // it prints what it returns, naming its temporary file
        errno = 0;
        closed = workbook_close(workbook); // frees the workbook in every case
        reason = errno;
    }
    FSheets.clear();
    Sheet = nullptr;
    CloseFilesLeftIn(FScratch->path());
    DropScratch();
    try {
        if (closed != LXW_NO_ERROR)
            CannotWrite(ReasonOfClose(closed, reason));
        // Packing copies every worksheet through one more temporary file without checking
        // the writes: a disk that fills up then leaves parts cut short or empty. The
        // workbook is read back before anyone is told it is there.
        const QString part = FirstIncompleteZipPart(FWritePath);
        if (!part.isEmpty())
            CannotWrite(IsDiskError(reason)
                            ? qt_error_string(reason)
                            : QStringLiteral("%1 came out cut short; the disk of \"%2\" or of the temporary folder may be full")
                                  .arg(part, QFileInfo(FPath).absolutePath()));
    } catch (...) {
        QFile::remove(FWritePath);
        throw;
    }
}

void TExportExcelStrategy::Publish()
{
    const QByteArray from = QFile::encodeName(FWritePath);
    const QByteArray to = QFile::encodeName(FPath);
    struct stat st {};
    if (::stat(to.constData(), &st) == 0)
        ::chmod(from.constData(), st.st_mode & 07777); // a replaced file keeps its permissions
    else if (FExportOpts.FileName.isEmpty())
        ::chmod(from.constData(), 0600); // the user's own workbook, for the user alone
    if (::rename(from.constData(), to.constData()) != 0) {
        const int reason = errno;
        QFile::remove(FWritePath);
        CannotWrite(qt_error_string(reason));
    }
}

void TExportExcelStrategy::EndExport(bool Success)
{
    if (!FWorkbook)
        return;
    lxw_workbook* workbook = std::exchange(FWorkbook, nullptr);
    if (!Success) {
        Discard(workbook);
        return;
    }
    Close(workbook);
    Publish();
    // A workbook the desktop cannot open is saved where the user says, or the user learns
    // where it stays.
    if (FExportOpts.FileName.isEmpty() && OpenWorkbook && !OpenWorkbook(FPath))
        OfferToSaveWorkbook(FPath);
}
