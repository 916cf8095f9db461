#pragma once
// TAbsReportBaseForm: the one report window all twelve reports are made of. A collapsible
// filter panel, the Report button, a grid showing one page loaded in the background behind
// an animated picture, and the pager. Each window has its own data manager and connection.

#include "DateFieldUnit.h"
#include "ReportListUnit.h"
#include "ReportPagerUnit.h"
#include "RepositoryUnit.h"
#include "db/DataSourceUnit.h"
#include "db/QueryUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "export/ExportUnit.h"

#include <QEvent>
#include <QJsonObject>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QShortcut;
class QTableView;
class QTimer;
class TGridSelection;
class TLoadingAnimation;
class TReportTotals;
class TTotalsRow;
class TReportSortFind;

// Window messages, as custom event types with the numbers of the original messages.
inline constexpr QEvent::Type WM_EXPORT_CSV = QEvent::Type(1027);
inline constexpr QEvent::Type WM_EXPORT_EXCEL = QEvent::Type(1047);
inline constexpr QEvent::Type WM_TOGGLE_FILTERS = QEvent::Type(2034);

enum class TLoadingState { lsBlank, lsLoading, lsLoaded };

class TAbsReportBaseForm : public QWidget {
public:
    // How long closing waits for a running statement to give way to its cancel.
    static constexpr std::chrono::milliseconds kClosePatience{500};

    // Connects (a window of its own), loads the three filter lookups and shows the blank
    // state. A failure raises out of the constructor; no window is left behind.
    TAbsReportBaseForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository);
    ~TAbsReportBaseForm() override;

    virtual TReportUIFilters GetReportUIFilters() const = 0;
    virtual void FillReportQuery(QString& reportSql, QString& recCountSql) = 0;

    // Runs an export request: the opened whole-result query, the options the window fixes
    // and the row count of the latest run. By default the export dialog
    // (TExportForm::DoExport); tests put their own in its place (nullptr restores it).
    using TExportHandler =
        std::function<void(TQuery& query, const RExportOptions& opts, int expectedRecords)>;
    static void SetExportHandler(TExportHandler handler);

    // State, for the main window and for tests.
    const TReportFilters& CurrentFilters() const { return FCurrentFilters; }
    int CurrentRecCount() const { return FCurrentRecCount; }
    TReportUIFilters ReportUIFilters() const { return FReportUIFilters; }
    TReportKind Kind() const { return FKind; }
    TLoadingState LoadingState() const { return FLoadingState; }
    // A page was asked for and has not arrived (or failed, or been given up) yet.
    bool PageLoading() const { return FPageLoading; }
    // The page on screen, and the one being loaded in its place (the two change roles when
    // a page arrives).
    TQuery& PageQuery() { return *FShownPage; }
    TQuery& LoadingPageQuery() { return *FLoadingPage; }
    TDataSource& DataSource() { return *ReportDataSource; }
    TSqlDataManager& SqlManager() { return *FSqlManager; }
    // The sums of the amount columns; null for a report without amount columns.
    const TReportTotals* Totals() const { return FTotals.get(); }

    // The pager's handlers and the Report button, callable like a click.
    void ReportButtonClick();
    void cbRecordsPerPageChange();
    void FirstPageButtonClick();
    void PreviousPageButtonClick();
    void NextPageButtonClick();
    void LastPageButtonClick();
    // Gives up the page being loaded (Esc, the Cancel button on the loading picture): its
    // statement is cancelled and the window is as it was before the click, the page it
    // showed included.
    void CancelPageLoad();

    // Changes the order or the find of the latest run and runs it again from its first page
    // (before any run, as the Report button does). Ignored, false, while a page loads.
    bool RerunWith(const std::function<void(TReportFilters&)>& change);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    // Called by the concrete report's constructor: asks it for its filters and sets the
    // window up (a virtual call cannot be made from this class's own constructor), with the
    // filters, page size, order and find of the report's last run on the same data source.
    void FormCreate(TReportKind kind);
    // The same for a window that is no report of the catalogue: its grid is GridDef()'s.
    void FormCreate();

    // What the grid shows: its columns, own order and memory name. The report's catalogue
    // entry unless the window shows other rows.
    virtual const TReportDef& GridDef() const;
    // The statement of the sums of the grid's amount columns for `filters`.
    virtual QString TotalsSql(const TReportFilters& filters) const;
    // The run in words for the summary bar and an export's properties: its filters, order
    // and find.
    virtual QStringList FilterWords() const;
    // Lines an export writes under its title (none for a report).
    virtual QStringList ExportConditions() const { return {}; }
    // Values of a run beyond its filters, kept with them in the memory of runs and given
    // back when the window opens again (none for a report).
    virtual QJsonObject RunExtra() const { return {}; }
    virtual void RecallRunExtra(const QJsonObject& extra) { Q_UNUSED(extra); }
    // Reads the window's own fields into the values of the next run, before the Report button
    // runs it; false, with the focus on the refused field, keeps the run from starting.
    virtual bool CommitRunExtra() { return true; }
    // The filter panel's fields, for windows that add their own beside them.
    void AddFilterField(QWidget* field);

    const TSqlDBModel* FDbModel;
    TRepository* FRepository;
    std::unique_ptr<TSqlDataManager> FSqlManager;
    TReportUIFilters FReportUIFilters = 0;
    TReportKind FKind = rkSalesSummary;
    int FFilterOrigWidth = 0;
    TReportFilters FCurrentFilters;
    int FCurrentRecCount = 0;

private:
    void SetUp();
    void ConnectControls();
    void InitFilters();
    void RecallLastRun();
    void RememberRun();
    void SetLoadingState(TLoadingState state);
    void ToggleFilters();
    // The date fields read what was typed in them; false when one holds no date (it is
    // shown, with the focus on it).
    bool CommitDateFields();
    void FiltersShowHidePanelClick();
    void CollectFilters();
    void PageLoadEnded(); // the page arrived, failed or was given up
    void CloseLoadingPage();
    void ClearShownPage();
    void RunReportQuery();
    void ReportQueryAfterOpen();
    void ReportQueryOpenError(const QString& message);
    void DisableReportControls();
    void EnableReportControls();
    void RunAction(const std::function<void()>& action);
    void MovePager(TPagerAction action);
    void ShowPager();
    void CountArrived();
    bool ReconnectOnce(const QString& sqlState);
    // Waits in an event loop until the export's statement has run (for the export handler,
    // which takes an open query); throws the failure that reopen did not mend.
    void WaitForExportQuery(const std::function<bool(const QString&)>& reopen);
    void FitColumns();
    void UpdateSummary(bool withCount);
    void ExportReport(TExportKind kind);

    TLoadingState FLoadingState = TLoadingState::lsBlank;
    bool FPageLoading = false;
    // The page buttons' captions and states; the page index is FCurrentFilters.PageNumber.
    TReportPager FPager;
    // The action under way: the filters and the count it started from (a count that fails
    // puts them back) and the pager move it makes once its count has arrived.
    TReportFilters FFiltersBefore;
    int FCountBefore = 0;
    std::optional<TReportPager::TMove> FPendingMove;
    TReportPager FPagerBefore;
    TLoadingState FStateBefore = TLoadingState::lsBlank;
    bool FFiltersShownBefore = false;
    // A page move shows the loading picture only once it takes longer than a moment.
    QTimer* FSlowPageTimer = nullptr;
    // Polls a given-up statement that its server has not let go of yet: the controls stay
    // disabled until it has.
    QTimer* FAbandonedWatch = nullptr;
    QShortcut* FCancelShortcut = nullptr;
    bool FReconnected = false; // the action under way has already made a new connection
    std::optional<TReportFilters> FRemembered; // the run last written to the memory
    QJsonObject FRememberedExtra;

    // Bound to FSqlManager's connection; declared after it, so freed before it.
    // The page on screen stays while the next one loads on the other query.
    TQuery PageQueryA{nullptr, ckStatic};
    TQuery PageQueryB{nullptr, ckStatic};
    TQuery* FShownPage = &PageQueryA;
    TQuery* FLoadingPage = &PageQueryB;
    TQuery ExportQuery{nullptr, ckForwardOnly};
    TQuery StoreFilterQuery{nullptr, ckStatic};
    TQuery FiscalDeviceQuery{nullptr, ckStatic};
    TQuery UserFilterQuery{nullptr, ckStatic};
    std::unique_ptr<TReportTotals> FTotals; // on the same connection, after the page

public:
    // Widgets, owned by the window.
    QFrame* SummaryPanel = nullptr;
    QFrame* FiltersShowHidePanel = nullptr;
    QLabel* FiltersCaptionLabel = nullptr;
    QLabel* ShowLeftImage = nullptr;
    QLabel* ShowRightImage = nullptr;
    QLabel* HideLeftImage = nullptr;
    QLabel* HideRightImage = nullptr;
    QLabel* SummaryLabel = nullptr;
    QWidget* MainPanel = nullptr;
    QFrame* FiltersPanel = nullptr;
    QWidget* PeriodFilterPanel = nullptr;
    TDateField* FromDateFilterPicker = nullptr;
    TDateField* ToDateFilterPicker = nullptr;
    QWidget* StoreFilterPanel = nullptr;
    QComboBox* StoreFilterLookup = nullptr;
    QWidget* FpFilterPanel = nullptr;
    QComboBox* FiscalDeviceFilterLookup = nullptr;
    QWidget* UserFilterPanel = nullptr;
    QComboBox* UserFilterLookup = nullptr;
    QWidget* ReportButtonPanel = nullptr;
    QPushButton* ReportButton = nullptr;
    QWidget* GridPanel = nullptr;
    QFrame* PagingPanel = nullptr;
    QLabel* RecorsPerPageLabel = nullptr;
    QComboBox* cbRecordsPerPage = nullptr;
    QWidget* PagesPanel = nullptr;
    QPushButton* FirstPageButton = nullptr;
    QPushButton* PreviousPageButton = nullptr;
    QPushButton* CurrentPageButton = nullptr;
    QPushButton* NextPageButton = nullptr;
    QPushButton* LastPageButton = nullptr;
    QTableView* ReportDBGrid = nullptr;
    QWidget* LoadingPanel = nullptr;
    TLoadingAnimation* LoadingGifImage = nullptr;
    QPushButton* CancelLoadButton = nullptr;
    TDataSource* ReportDataSource = nullptr;
    TTotalsRow* TotalsRow = nullptr; // under the grid of a report with amount columns
    TGridSelection* GridSelection = nullptr;
    TReportSortFind* SortFind = nullptr;
};
