#pragma once
// TExportExcelStrategy: the report's rows as a spreadsheet (.xlsx, written with
// libxlsxwriter in constant-memory mode, so memory stays flat whatever the row count).
// Row 1 holds the field names in bold (below a merged, centred title block when Header is
// on); every record follows as typed cells: numbers as numbers, dates as dates, text as
// text (shown as it was given: see SheetTextUnit.h), each column with the number format of its field type, a thin grid over the
// field names and the records. A result
// larger than one worksheet continues on further worksheets under the same field-name row.
// Without a file name in the options the workbook goes to the temporary folder, named after
// the report's title, and is opened with the desktop's spreadsheet program.

#include "ExportUnit.h"

#include <QDir>

#include <functional>
#include <memory>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

class TExportExcelStrategy : public TExportStrategyAbs {
public:
    // Rows of one worksheet (Excel's limit) and how many rows are measured to fit the columns.
    static constexpr int kMaxSheetRows = 1048576;
    static constexpr int kMeasuredRows = 1000;

    // Opens a finished workbook for the user; defaults to the desktop's handler. False when
    // it could not be opened: the user is then told where the workbook is.
    static std::function<bool(const QString& path)> OpenWorkbook;
    // Where a workbook that is opened unsaved is written: a folder of the user's own under
    // the program's data folder, readable by the user alone (made so when it is not).
    static QString PrivateWorkbookFolder();
    // Rows per worksheet; tests lower it to see the continuation without a million rows.
    static int MaxSheetRows;
    // Told of the folder of the library's temporary files when it is made (its path) and
    // when it is removed (empty), so that a program's signal handler can remove it as well.
    static std::function<void(const QString& folder)> ScratchFolderChanged;

    using TExportStrategyAbs::TExportStrategyAbs;
    ~TExportExcelStrategy() override;

    QString GetCaption() const override { return QStringLiteral("Exporting to Excel File..."); }
    bool Init(int aRecCount) override;
    bool BeginExport() override;
    void WriteHeader() override;
    void WriteRecord() override;
    void WriteFooter() override;
    void EndExport(bool Success) override;

    // The workbook's path (decided by Init).
    const QString& TargetPath() const { return FPath; }
    // What a field type becomes in the sheet, and the number format of its column.
    enum class TColumnKind : std::uint8_t { Integer, Decimal, Date, Time, Text };
    static TColumnKind ColumnKindOf(TFieldType type);
    // "General", "0.00####", "dd.mm.yyyy", "hh:mm" or "@" (text).
    static const char* NumberFormatOf(TFieldType type);

private:
    enum class TCellKind : std::uint8_t { Blank, Number, String };
    struct TCell {
        TCellKind Kind = TCellKind::Blank;
        double Number = 0;
        QByteArray Text;
    };
    using TRow = std::vector<TCell>;

    TRow ReadRecord();
    void WritePending();
    void WriteRow(const TRow& row);
    void StartSheet(bool first);
    // The sheet that has its last row: its autofilter over the rows written.
    void FinishSheet();
    void Check(int error, const char* what) const;
    // Every failure to write the workbook, in one line: "Cannot write "FILE": REASON".
    [[noreturn]] void CannotWrite(const QString& reason) const;
    void CheckSheetFile(lxw_worksheet* sheet, bool flush) const;
    void Discard(lxw_workbook* workbook);
    void DropScratch();
    void Close(lxw_workbook* workbook);
    void Publish();

    QString FPath;
    // The workbook is packed under this name beside FPath and renamed onto it when whole,
    // so that a failure never touches a file that stood there.
    QString FWritePath;
    int NumRows = 0;
    int NumCols = 0;
    int StartDataRow = 0;           // zero-based row of the next record on the current sheet
    std::uint32_t FNameRow = 0;     // the row of the field names on the current sheet
    lxw_workbook* FWorkbook = nullptr;
    lxw_worksheet* Sheet = nullptr;
    std::vector<lxw_worksheet*> FSheets;
    // The library's temporary files, in a folder of this export's own, removed with what is
    // in it.
    struct TScratchFolder {
        explicit TScratchFolder(QString path) : Path(std::move(path)) {}
        ~TScratchFolder() { QDir(Path).removeRecursively(); }
        TScratchFolder(const TScratchFolder&) = delete;
        TScratchFolder& operator=(const TScratchFolder&) = delete;
        const QString& path() const { return Path; }
        QString Path;
    };
    std::unique_ptr<TScratchFolder> FScratch;
    std::vector<lxw_format*> FColumnFormats; // number format of each column
    std::vector<lxw_format*> FCellFormats;   // the same with the thin grid, for the cells written
    lxw_format* FNameFormat = nullptr;
    lxw_format* FTitleFormat = nullptr;
    std::vector<TFieldType> FTypes;
    std::vector<double> FWidths;    // characters
    std::vector<TRow> FPending;     // the first records, kept until the columns are fitted
    bool FColumnsSet = false;
};
