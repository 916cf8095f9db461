#include "ExportExcelUnit.h"

#include "db/Exception.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <xlsxwriter.h>

namespace {

constexpr double kMinWidth = 6;
constexpr double kMaxWidth = 60;
constexpr int kMaxCellText = 32767;              // what a spreadsheet cell holds
constexpr double kExactIntegerLimit = 9007199254740992.0; // 2^53

const QDate kDayZero(1899, 12, 30);

double SerialOf(const QDateTime& dt)
{
    const double days = double(kDayZero.daysTo(dt.date()));
    return days + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

// A name the file system takes: the title without the characters paths cannot hold.
QString FileNameOf(const QString& title)
{
    QString name = title.trimmed();
    for (QChar& c : name)
        if (c.unicode() < 32 || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("Export") : name;
}

} // namespace

std::function<void(const QString&)> TExportExcelStrategy::OpenWorkbook = [](const QString& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
};
int TExportExcelStrategy::MaxSheetRows = TExportExcelStrategy::kMaxSheetRows;

TExportExcelStrategy::~TExportExcelStrategy()
{
    if (FWorkbook) {
        workbook_close(FWorkbook);
        QFile::remove(FPath);
    }
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

bool TExportExcelStrategy::Init(int aRecCount)
{
    const bool result = TExportStrategyAbs::Init(aRecCount);
    NumRows = aRecCount;
    if (!FExportOpts.FileName.isEmpty()) {
        FPath = FExportOpts.FileName;
    } else {
        // A new file: an earlier export of the same report may still be open.
        const QDir temp(QDir::tempPath());
        const QString base = FileNameOf(FExportOpts.Title);
        FPath = temp.filePath(base + QStringLiteral(".xlsx"));
        for (int n = 2; QFileInfo::exists(FPath); ++n)
            FPath = temp.filePath(QStringLiteral("%1 (%2).xlsx").arg(base).arg(n));
    }
    return result;
}

bool TExportExcelStrategy::BeginExport()
{
    const QByteArray path = QFile::encodeName(FPath);
    QByteArray tmpdir = QFile::encodeName(QDir::tempPath());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = tmpdir.data();
    options.use_zip64 = NumRows > 200000 ? LXW_TRUE : LXW_FALSE; // parts beyond 4 GB
    FWorkbook = workbook_new_opt(path.constData(), &options);
    if (!FWorkbook)
        throw Exception(QStringLiteral("The workbook \"%1\" cannot be created").arg(FPath));
    FNameFormat = workbook_add_format(FWorkbook);
    format_set_bold(FNameFormat);
    format_set_border(FNameFormat, LXW_BORDER_THIN);
    format_set_align(FNameFormat, LXW_ALIGN_VERTICAL_CENTER);
    FTitleFormat = workbook_add_format(FWorkbook);
    format_set_align(FTitleFormat, LXW_ALIGN_CENTER);
    format_set_align(FTitleFormat, LXW_ALIGN_VERTICAL_CENTER);
    return true;
}

void TExportExcelStrategy::WriteHeader()
{
    NumCols = FDataSet->FieldCount();
    FTypes.clear();
    FWidths.clear();
    FColumnFormats.clear();
    for (int c = 0; c < NumCols; ++c) {
        const TField& f = FDataSet->Fields(c);
        FTypes.push_back(f.DataType());
        FWidths.push_back(std::max(kMinWidth, f.FieldName().size() * 1.15 + 2));
        // One format object per number format: the library looks a format's index up in a
        // hash on every cell written when another object with the same properties exists.
        const char* numberFormat = NumberFormatOf(f.DataType());
        lxw_format* format = nullptr;
        for (int k = 0; k < c && !format; ++k)
            if (std::strcmp(NumberFormatOf(FTypes[size_t(k)]), numberFormat) == 0)
                format = FColumnFormats[size_t(k)];
        if (!format) {
            format = workbook_add_format(FWorkbook);
            format_set_num_format(format, numberFormat);
            format_set_border(format, LXW_BORDER_THIN);
        }
        FColumnFormats.push_back(format);
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
            const double v = f.AsFloat();
            if (kind == TColumnKind::Integer && std::fabs(v) >= kExactIntegerLimit) {
                // Beyond what a spreadsheet number holds exactly: every digit kept as text.
                cell.Kind = TCellKind::String;
                cell.Text = f.AsString().toUtf8();
            } else {
                cell.Kind = TCellKind::Number;
                cell.Number = v;
            }
            if (!FColumnsSet)
                chars = f.AsString().size() + (kind == TColumnKind::Decimal ? 2 : 0);
            break;
        }
        case TColumnKind::Date:
        case TColumnKind::Time: {
            const QVariant v = f.Value();
            cell.Kind = TCellKind::Number;
            if (type == ftTime)
                cell.Number = v.toTime().msecsSinceStartOfDay() / 86400000.0;
            else if (type == ftDate)
                cell.Number = double(kDayZero.daysTo(v.toDate()));
            else
                cell.Number = SerialOf(v.toDateTime());
            chars = kind == TColumnKind::Date ? 10 : 5;
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
            cell.Text = text.toUtf8();
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
    Sheet = workbook_add_worksheet(FWorkbook, nullptr);
    if (!Sheet)
        throw Exception(QStringLiteral("No worksheet can be added"));
    ++FSheetCount;
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
            const QByteArray text = line.toUtf8();
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
        Check(worksheet_write_string(Sheet, row, lxw_col_t(c), FDataSet->Fields(c).FieldName().toUtf8().constData(),
                                     FNameFormat),
              "worksheet_write_string");
    StartDataRow = int(row) + 1;
}

void TExportExcelStrategy::WriteRow(const TRow& row)
{
    if (StartDataRow >= MaxSheetRows)
        StartSheet(false);
    const lxw_row_t r = lxw_row_t(StartDataRow);
    for (int c = 0; c < NumCols; ++c) {
        const TCell& cell = row[size_t(c)];
        lxw_format* format = FColumnFormats[size_t(c)];
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

void TExportExcelStrategy::WriteFooter() { WritePending(); }

void TExportExcelStrategy::EndExport(bool Success)
{
    if (!FWorkbook)
        return;
    lxw_workbook* workbook = FWorkbook;
    FWorkbook = nullptr;
    const lxw_error closed = workbook_close(workbook);
    if (!Success || closed != LXW_NO_ERROR) {
        QFile::remove(FPath);
        if (Success)
            Check(closed, "workbook_close");
        return;
    }
    if (FExportOpts.FileName.isEmpty() && OpenWorkbook)
        OpenWorkbook(FPath);
}
