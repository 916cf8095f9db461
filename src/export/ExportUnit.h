#pragma once
// The export framework: the options record, the abstract strategy with its fixed sequence
// (MakeExport), the factory, and the modal progress dialog TExportForm that runs one
// export with a gauge, a status line and Cancel.

#include "db/QueryUnit.h"

#include <QDialog>
#include <QEvent>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

class QIODevice;
class QLabel;
class QPushButton;
class QTableView;

inline constexpr QEvent::Type WM_START_EXPORT = QEvent::Type(1038);

enum TExportKind : std::uint8_t { ekTextFile = 0, ekExcel = 1 };

struct RExportOptions {
    TExportKind ExportKind = ekTextFile;
    QString ClmDelimiter = QStringLiteral("\t"); // empty or one character
    bool Header = true;
    bool ClmNames = true;
    bool PageBreaks = false;
    bool FixedWidth = false;
    QString FileName;
    // The file as messages name it, when FileName is a stand-in written in its place (the
    // exporter's temporary file, renamed onto its target at the end); empty: FileName.
    QString ShownFileName;
    const QString& ShownName() const { return ShownFileName.isEmpty() ? FileName : ShownFileName; }
    QString Title;
    // What the rows are of (data source, period, filters), for a workbook's properties.
    QString Subject;
    const QStringList* ClmBottoms = nullptr; // owned by the caller
    const QStringList* Conditions = nullptr;
    const QStringList* Footer = nullptr;
    QString Quotes;
    // Files the export never writes over: those of the database the rows come from (see
    // DataSourceFiles in OutputTargetUnit.h).
    QStringList DataSourceFiles;
    // An open device the text goes to as it is written (standard output) instead of a file;
    // owned by the caller. FileName then only names it in messages.
    QIODevice* Device = nullptr;
};

// A file name made of an export's title: the characters a file name cannot hold (path
// separators, the ones Windows refuses, control characters) become "_". Empty for a title
// that is.
QString FileNameOfTitle(const QString& title);

// What is exported: a dataset, or a grid bound to one through a TDataSource.
struct TExportSource {
    TQuery* DataSet = nullptr;
    QTableView* Grid = nullptr;
};

using TExportStrategyReportProgress = std::function<void(int CurProgress, const QString& aInfo)>;

class TExportStrategyAbs {
public:
    TExportStrategyAbs(const RExportOptions& exportOpts, const TExportSource& aDataSource, TQuery* aDataSet);
    virtual ~TExportStrategyAbs();

    // The strategy of the options' kind; "Not implemented Export Kind - Init" for any other.
    static std::unique_ptr<TExportStrategyAbs> GetInstance(const RExportOptions& exportOpts,
                                                           const TExportSource& aDataSource, TQuery* aDataSet);

    virtual void WriteRecord() = 0;
    virtual void WriteHeader() = 0;
    virtual void WriteFooter() = 0;
    virtual bool BeginExport() = 0;
    virtual void EndExport(bool Success) = 0;
    virtual QString GetCaption() const = 0;
    // What the user should know of an export beyond its outcome (text lost on the way);
    // empty when there is nothing.
    virtual QString Notice() const { return {}; }
    virtual bool Init(int aRecCount);
    // The fixed sequence: open the target, header, every record, footer, close. False when
    // nothing (or, after a cancel, not everything) was exported; the target is then removed.
    bool MakeExport();

    // Field and width in characters of column position `index` (nullptr for a hidden grid column).
    TField* GetExportField(int index, int& width) const;

    const RExportOptions& ExportOptions() const { return FExportOpts; }
    int FieldCountOf() const { return FldCount; }

    bool IsCanceled = false;
    TExportStrategyReportProgress OnReportProgress;
    // Runs pending events at the fixed points of the run (Cancel is read in between).
    // Defaults to the application's event processing.
    std::function<void()> OnPumpMessages;
    // Tells the user why the target cannot be written; defaults to a message box.
    std::function<void(const QString& message)> OnShowError;

protected:
    void ReportProgress(int progress, const QString& info);
    void PumpMessages();
    void ShowError(const QString& message);

    int FRecCount = 0;
    TExportSource FDataSource;
    TQuery* FDataSet = nullptr;
    RExportOptions FExportOpts;
    int FldCount = 0;
};

// The gauge of the progress dialog: percentage = trunc(100 * (position - minimum) /
// (maximum - minimum)), 0 when the two bounds are equal; positions outside are clamped; it
// repaints only when the whole percentage changes; "n%" centred over the bar.
class TGauge : public QWidget {
public:
    explicit TGauge(QWidget* parent = nullptr);
    void SetMinValue(int v);
    void SetMaxValue(int v);
    void SetProgress(int v);
    int Progress() const { return FProgress; }
    int PercentDone() const;
    int RepaintCount() const { return FRepaints; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void Changed(int oldPercent);
    int FMin = 0, FMax = 100, FProgress = 0;
    int FRepaints = 0;
};

class TExportForm : public QDialog {
public:
    static RExportOptions GetDefaultOpts();
    // What a report window exports with: TAB between the columns, the names first, no
    // header block, no footer, the file asked for (CSV) or a new one (spreadsheet).
    static RExportOptions GetReportOpts(TExportKind kind, const QString& title);
    // Runs one export in the modal progress dialog; returns when the dialog has closed.
    // Raises "Not implemented Export Kind - Init" for an unknown kind.
    // `reopen` becomes the dialog's Reopen (a statement still running that fails may be
    // started again once).
    static void DoExport(const TExportSource& aDataSource, const RExportOptions& opts, int aRecCount,
                         std::function<bool(const QString& sqlState)> reopen = {});
    // Called with every dialog right before it is shown (tests answer it from here).
    static std::function<void(TExportForm&)> OnShowing;

    TExportForm();
    ~TExportForm() override;

    // The data set may still be running its statement on its worker (TQuery::OpenAsync):
    // the dialog then shows and waits for it, and Cancel gives it up.
    bool PrepareExport(const TExportSource& aDataSource, const RExportOptions& opts, int aRecCount);
    TExportStrategyAbs* Strategy() const { return FExportStrat.get(); }
    bool Running() const { return FRunning; }
    bool WaitingForStatement() const { return FWaiting; }
    // Offered a failed statement's SQLSTATE; true when it started the statement again.
    std::function<bool(const QString& sqlState)> Reopen;
    // How long Cancel waits for a statement it gives up on to stop.
    static constexpr std::chrono::milliseconds kGiveUpPatience{500};

    TGauge* ExportProgress = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnOk = nullptr;
    QLabel* lblInfo = nullptr;
    // A second line under the status when there is more to say: the reason of a failure,
    // or what an export that went through had to change.
    QLabel* lblDetail = nullptr;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override;

private:
    enum class TStatement { Ready, Running, Failed };
    void RunExport();
    void StatementOpened();
    void StatementFailed(const QString& message);
    void GiveUpStatement();
    void ShowFailure(const QString& message);
    void HandleReportProgress(int CurProgress, const QString& aInfo);
    void ShowDetail(const QString& text);
    void btnCancelClick();

    int RecCount = 0;
    RExportOptions FExportOpts;
    TExportSource FDataSource;
    TQuery* FDataSet = nullptr;
    std::unique_ptr<TExportStrategyAbs> FExportStrat;
    bool FRunning = false;
    bool FCloseRequested = false;
    TStatement FStatement = TStatement::Ready;
    QString FStatementError;
    bool FWaiting = false; // the run waits for the statement
};
