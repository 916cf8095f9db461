// TAbsReportBaseForm's logic: filters, running the report a page at a time in the background,
// the loading states and giving a load up, the pager's moves (the export hand-over is in
// AbsReportBaseExport.cpp).
#include "AbsReportBaseUnit.h"

#include "AbsReportBaseWidgets.h"
#include "DateFieldUnit.h"
#include "LoadingAnimationUnit.h"
#include "LookupModelUnit.h"
#include "ReportMemoryUnit.h"
#include "RunWordsUnit.h"
#include "ReportTotalsUnit.h"
#include "TotalsRowUnit.h"
#include "ReportSortFindUnit.h"
#include "db/Exception.h"
#include "common/MessageBoxUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QSet>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kGridSampleRows = 200;   // rows measured to size the grid's columns
constexpr int kMaxColumnWidth = 360;
// A page move that has not brought its page within this time shows the loading picture.
constexpr int kSlowPageMs = 300;

// "1 запис", "16 401 записа".
QString RecordCountText(int n)
{
    const QString number = QLocale(QLocale::Bulgarian).toString(n);
    return n == 1 ? number + QStringLiteral(" запис") : number + QStringLiteral(" записа");
}

} // namespace

// ---------------------------------------------------------------------------------------
// Creation

TAbsReportBaseForm::TAbsReportBaseForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : QWidget(AOwner), FDbModel(aDBModel), FRepository(aRepository)
{
    setAttribute(Qt::WA_DeleteOnClose);
    FSqlManager = TSqlDataModule::CreateManager(aDBModel);
    TOdbcConnection& connection = FSqlManager->OpenConnection();
    for (TQuery* q : {&PageQueryA, &PageQueryB, &ExportQuery, &StoreFilterQuery, &FiscalDeviceQuery, &UserFilterQuery})
        q->SetConnection(&connection);
    StoreFilterQuery.SetSQL(QString::fromUtf16(LookupListItem(TLookupKind::Stores).Sql));
    FiscalDeviceQuery.SetSQL(QString::fromUtf16(LookupListItem(TLookupKind::FiscalDevices).Sql));
    UserFilterQuery.SetSQL(QString::fromUtf16(LookupListItem(TLookupKind::Operators).Sql));
    // Only the query loading a page reports; a page given up says nothing.
    for (TQuery* q : {&PageQueryA, &PageQueryB}) {
        q->AfterOpen = [this, q] {
            if (q == FLoadingPage)
                ReportQueryAfterOpen();
        };
        q->OnOpenError = [this, q](const QString& message) {
            if (q == FLoadingPage)
                ReportQueryOpenError(message);
        };
    }
    BuildReportWidgets(*this, [this] { FiltersShowHidePanelClick(); });
    SortFind = new TReportSortFind(*this); // the window's child
    FSlowPageTimer = new QTimer(this);
    FSlowPageTimer->setSingleShot(true);
    FSlowPageTimer->setInterval(kSlowPageMs);
    QObject::connect(FSlowPageTimer, &QTimer::timeout, this, [this] {
        if (FPageLoading)
            SetLoadingState(TLoadingState::lsLoading);
    });
    FAbandonedWatch = new QTimer(this);
    FAbandonedWatch->setInterval(250);
    QObject::connect(FAbandonedWatch, &QTimer::timeout, this, [this] {
        if (FLoadingPage->Executing())
            return;
        FAbandonedWatch->stop();
        if (FTotals)
            FTotals->PageGivenUp();
        EnableReportControls();
    });
    ConnectControls();
    ShowPager(); // nothing to page through until the first run; the page-size box runs the report
    FFilterOrigWidth = FiltersPanel->width();
}

TAbsReportBaseForm::~TAbsReportBaseForm()
{
    // The grid lets go of the page before the queries (and then the connection) go.
    if (ReportDataSource)
        ReportDataSource->SetDataSet(nullptr);
    FTotals.reset();
    PageQueryA.Close();
    PageQueryB.Close();
}

void TAbsReportBaseForm::FormCreate(TReportKind kind)
{
    FKind = kind;
    SetUp();
}

void TAbsReportBaseForm::FormCreate() { SetUp(); }

const TReportDef& TAbsReportBaseForm::GridDef() const { return ReportDef(FKind); }

QString TAbsReportBaseForm::TotalsSql(const TReportFilters& filters) const
{
    return FRepository->FillTotalsQuery(FKind, filters);
}

void TAbsReportBaseForm::SetUp()
{
    FReportUIFilters = GetReportUIFilters();
    if (TReportTotals::HasAmounts(GridDef())) {
        TotalsRow = new TTotalsRow(ReportDBGrid, GridPanel); // under the grid, above the pager
        auto* layout = static_cast<QVBoxLayout*>(GridPanel->layout());
        layout->insertWidget(layout->indexOf(PagingPanel), TotalsRow);
        FTotals = std::make_unique<TReportTotals>(
            *FSqlManager, GridDef(), [this](const TReportFilters& filters) { return TotalsSql(filters); },
            FRepository->TotalsInHundredths(), *TotalsRow);
    }
    InitFilters();
    RecallLastRun();
    SetLoadingState(TLoadingState::lsBlank);
    UpdateSummary(false);
}

void TAbsReportBaseForm::ConnectControls()
{
    QObject::connect(ReportButton, &QPushButton::clicked, this, [this] { ReportButtonClick(); });
    QObject::connect(cbRecordsPerPage, &QComboBox::currentIndexChanged, this, [this] { cbRecordsPerPageChange(); });
    QObject::connect(FirstPageButton, &QPushButton::clicked, this, [this] { FirstPageButtonClick(); });
    QObject::connect(PreviousPageButton, &QPushButton::clicked, this, [this] { PreviousPageButtonClick(); });
    QObject::connect(NextPageButton, &QPushButton::clicked, this, [this] { NextPageButtonClick(); });
    QObject::connect(LastPageButton, &QPushButton::clicked, this, [this] { LastPageButtonClick(); });
    QObject::connect(CancelLoadButton, &QPushButton::clicked, this, [this] { CancelPageLoad(); });
    // Esc is taken only while a page loads: at other times it stays with the focused control.
    FCancelShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    FCancelShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    FCancelShortcut->setEnabled(false);
    QObject::connect(FCancelShortcut, &QShortcut::activated, this, [this] { CancelPageLoad(); });
    // Enter in a filter field runs the report as the Report button does.
    for (QWidget* field : std::initializer_list<QWidget*>{FromDateFilterPicker, ToDateFilterPicker, StoreFilterLookup,
                                                          FiscalDeviceFilterLookup, UserFilterLookup})
        field->installEventFilter(this);
}

void TAbsReportBaseForm::AddFilterField(QWidget* field) { field->installEventFilter(this); }

bool TAbsReportBaseForm::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        // A date field holding no date keeps the Enter: the field is shown refused.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && ReportButton->isEnabled()) {
            ReportButtonClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TAbsReportBaseForm::InitFilters()
{
    PeriodFilterPanel->setVisible(FReportUIFilters & rfPeriod);
    StoreFilterPanel->setVisible(FReportUIFilters & rfStore);
    FpFilterPanel->setVisible(FReportUIFilters & rfFP);
    UserFilterPanel->setVisible(FReportUIFilters & rfUser);
    const QDate today = QDate::currentDate();
    FromDateFilterPicker->setDate(today);
    ToDateFilterPicker->setDate(today);
    TSqlDataManager::OpenQueryClean(StoreFilterQuery);
    TLookupModel::FillBox(StoreFilterLookup, StoreFilterQuery);
    TSqlDataManager::OpenQueryClean(FiscalDeviceQuery);
    TLookupModel::FillBox(FiscalDeviceFilterLookup, FiscalDeviceQuery);
    TSqlDataManager::OpenQueryClean(UserFilterQuery);
    TLookupModel::FillBox(UserFilterLookup, UserFilterQuery);
}

void TAbsReportBaseForm::RecallLastRun()
{
    if (!FDbModel || FDbModel->DSN.isEmpty())
        return;
    const std::optional<TReportFilters> run = TReportMemory::Recall(FDbModel->DSN, GridDef());
    if (!run)
        return;
    RecallRunExtra(TReportMemory::RecallExtra(FDbModel->DSN, GridDef()));
    if (run->FromDate != 0 && run->ToDate != 0) {
        FromDateFilterPicker->setDate(DaysToDate(run->FromDate));
        ToDateFilterPicker->setDate(DaysToDate(run->ToDate));
    }
    // A store, device or operator no longer in its list leaves "every one".
    const std::pair<QComboBox*, int32_t> keyed[] = {
        {StoreFilterLookup, run->StoreN}, {FiscalDeviceFilterLookup, run->FiscalDeviceN}, {UserFilterLookup, run->UserN}};
    for (const auto& [lookup, key] : keyed) {
        const int index = key != 0 ? lookup->findData(QString::number(key)) : -1;
        if (index >= 0)
            lookup->setCurrentIndex(index);
    }
    if (run->RecordsPerPage > 0) {
        const QSignalBlocker quiet(cbRecordsPerPage); // a change of the box runs the report
        const int index = cbRecordsPerPage->findText(QString::number(run->RecordsPerPage));
        if (index >= 0)
            cbRecordsPerPage->setCurrentIndex(index);
    }
    // The order and the find are those of the first run.
    FCurrentFilters.SortColumn = run->SortColumn;
    FCurrentFilters.SortDescending = run->SortDescending;
    FCurrentFilters.FindText = run->FindText;
}

void TAbsReportBaseForm::RememberRun()
{
    if (!FDbModel || FDbModel->DSN.isEmpty())
        return;
    TReportFilters run = FCurrentFilters;
    run.PageNumber = 0;
    const QJsonObject extra = RunExtra();
    if (FRemembered == run && FRememberedExtra == extra)
        return; // a page move
    TReportMemory::Remember(FDbModel->DSN, GridDef(), run, extra);
    FRemembered = run;
    FRememberedExtra = extra;
}

// ---------------------------------------------------------------------------------------
// States and the filter panel

void TAbsReportBaseForm::SetLoadingState(TLoadingState state)
{
    FLoadingState = state;
    const bool loaded = state == TLoadingState::lsLoaded;
    ReportDBGrid->setVisible(loaded);
    LoadingPanel->setVisible(!loaded);
    LoadingGifImage->setVisible(state == TLoadingState::lsLoading);
    CancelLoadButton->setVisible(state == TLoadingState::lsLoading);
    if (state == TLoadingState::lsLoading)
        LoadingGifImage->Start();
    else
        LoadingGifImage->Stop();
}

bool TAbsReportBaseForm::event(QEvent* e)
{
    const bool handled = QWidget::event(e);
    const QEvent::Type type = e->type();
    if (type == WM_TOGGLE_FILTERS) {
        ToggleFilters();
        return true;
    }
    if (type == WM_EXPORT_CSV || type == WM_EXPORT_EXCEL) {
        try {
            ExportReport(type == WM_EXPORT_CSV ? ekTextFile : ekExcel);
        } catch (const Exception& ex) {
            ShowErrorBox(ex.Message());
        }
        return true;
    }
    return handled;
}

void TAbsReportBaseForm::FiltersShowHidePanelClick()
{
    QEvent e(WM_TOGGLE_FILTERS);
    QCoreApplication::sendEvent(this, &e);
}

void TAbsReportBaseForm::ToggleFilters()
{
    if (!FiltersPanel->isHidden()) {
        FiltersPanel->hide();
    } else {
        FiltersPanel->show();
        FiltersPanel->setFixedWidth(FFilterOrigWidth);
    }
    const bool shown = !FiltersPanel->isHidden();
    ShowLeftImage->setVisible(!shown);
    ShowRightImage->setVisible(!shown);
    HideLeftImage->setVisible(shown);
    HideRightImage->setVisible(shown);
    if (!isVisible())
        return;
    if (shown) {
        for (QWidget* w : std::initializer_list<QWidget*>{FromDateFilterPicker, StoreFilterLookup,
                                                          FiscalDeviceFilterLookup, UserFilterLookup, ReportButton})
            if (w->isVisibleTo(this)) {
                w->setFocus();
                break;
            }
    } else if (!ReportDBGrid->isHidden()) {
        ReportDBGrid->setFocus();
    }
}

void TAbsReportBaseForm::closeEvent(QCloseEvent* e)
{
    // A page still loading is cancelled; the window (and with it its connection) is freed.
    ReportDataSource->SetDataSet(nullptr);
    const bool exportStopped = ExportQuery.TryClose(kClosePatience);
    PageQueryA.TryClose(kClosePatience);
    PageQueryB.TryClose(kClosePatience);
    const bool pagesStopped = !PageQueryA.Executing() && !PageQueryB.Executing();
    const bool totalsStopped = !FTotals || FTotals->TryStop(kClosePatience);
    if (!(pagesStopped && exportStopped && totalsStopped) && parentWidget()) {
        // The server does not answer the cancel (stopped, or cut off without a word): the
        // window goes at once, out of its frame, and is freed once its worker has let go of
        // the query and the connection. Should the program end first, it is left as it is.
        hide();
        setAttribute(Qt::WA_DeleteOnClose, false);
        setParent(nullptr);
        auto* reaper = new QTimer(this);
        connect(reaper, &QTimer::timeout, this, [this] {
            if (!PageQueryA.Executing() && !PageQueryB.Executing() && !ExportQuery.Executing() &&
                !(FTotals && FTotals->Executing()))
                deleteLater();
        });
        reaper->start(250);
    }
    QWidget::closeEvent(e);
}

// ---------------------------------------------------------------------------------------
// Running the report

namespace {

int KeyOf(const QComboBox* lookup)
{
    return lookup->currentData().toString().toInt();
}

double DayOf(const QDateEdit* picker)
{
    return DateToDays(picker->date());
}

} // namespace

void TAbsReportBaseForm::CollectFilters()
{
    FCurrentFilters.FromDate = 0;
    FCurrentFilters.ToDate = 0;
    FCurrentFilters.StoreN = 0;
    FCurrentFilters.FiscalDeviceN = 0;
    FCurrentFilters.UserN = 0;
    FCurrentFilters.PageNumber = 0;
    FCurrentFilters.RecordsPerPage = cbRecordsPerPage->currentText().toInt();
    if (!PeriodFilterPanel->isHidden()) {
        FCurrentFilters.FromDate = DayOf(FromDateFilterPicker);
        FCurrentFilters.ToDate = DayOf(ToDateFilterPicker);
    }
    if (!StoreFilterPanel->isHidden())
        FCurrentFilters.StoreN = KeyOf(StoreFilterLookup);
    if (!FpFilterPanel->isHidden())
        FCurrentFilters.FiscalDeviceN = KeyOf(FiscalDeviceFilterLookup);
    if (!UserFilterPanel->isHidden())
        FCurrentFilters.UserN = KeyOf(UserFilterLookup);
}

void TAbsReportBaseForm::PageLoadEnded()
{
    FPageLoading = false;
    FSlowPageTimer->stop();
    FCancelShortcut->setEnabled(false);
}

void TAbsReportBaseForm::CloseLoadingPage()
{
    FLoadingPage->Close();
    PageLoadEnded();
}

void TAbsReportBaseForm::ClearShownPage()
{
    ReportDataSource->SetDataSet(nullptr);
    FShownPage->Close();
}

void TAbsReportBaseForm::RunReportQuery()
{
    // The page on screen stays until the new one has arrived.
    CloseLoadingPage();
    TQuery& page = *FLoadingPage;
    QString reportSql, recCountSql;
    FillReportQuery(reportSql, recCountSql);
    page.SetSQL(reportSql);
    // The count runs first on the page's own worker: the window never waits for either.
    // Both run plainly: a page is read whole anyway, and a server cursor would be planned
    // for its first rows (no parallel workers, an index walked to a deep OFFSET).
    FSqlManager->OpenConnection();
    if (FTotals) // the sums of new filters follow the page, in the count's and page's transaction
        FTotals->BeforeRun(FCurrentFilters);
    page.SetPreludeSQL(recCountSql);
    page.SetRunMode(FSqlManager->QuickSelectSwitch());
    DisableReportControls();
    page.OpenAsync();
    FPageLoading = true;
    FCancelShortcut->setEnabled(true);
    // Esc reaches the window only through a control of its own: the one clicked may just
    // have been disabled, or hidden with the filter panel.
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || !isAncestorOf(focus) || !focus->isEnabled() || !focus->isVisible())
        setFocus(Qt::OtherFocusReason);
    if (FLoadingState != TLoadingState::lsLoading)
        FSlowPageTimer->start();
}

bool TAbsReportBaseForm::ReconnectOnce(const QString& sqlState)
{
    if (FReconnected || !IsConnectionLost(sqlState))
        return false;
    FReconnected = true;
    // The statements on the old connection go first; a page on screen holds none.
    ExportQuery.Close();
    FSqlManager->Reconnect(); // a failure here is the message the user sees
    return true;
}

void TAbsReportBaseForm::CountArrived()
{
    FCurrentRecCount = FLoadingPage->PreludeValue().toInt();
    UpdateSummary(true);
    if (FPendingMove) {
        FPager.Commit(*FPendingMove, TReportPager::PageCount(FCurrentRecCount, FCurrentFilters.RecordsPerPage));
        FPendingMove.reset();
        ShowPager();
    }
}

void TAbsReportBaseForm::ReportQueryAfterOpen()
{
    PageLoadEnded();
    CountArrived();
    try {
        TSqlDataManager::FetchAllQuery(*FLoadingPage);
    } catch (const Exception& e) {
        CloseLoadingPage();
        ReportQueryOpenError(e.Message());
        return;
    }
    const TReportFilters& f = FCurrentFilters;
    ReportDataSource->SetFirstRowNumber(f.RecordsPerPage > 0 ? qint64(f.PageNumber) * f.RecordsPerPage + 1 : 1);
    ReportDataSource->SetDataSet(FLoadingPage);
    std::swap(FShownPage, FLoadingPage);
    RememberRun();
    FLoadingPage->Close(); // the page that was on screen
    FitColumns();
    EnableReportControls();
    SetLoadingState(TLoadingState::lsLoaded);
    if (FTotals)
        FTotals->PageArrived();
}

void TAbsReportBaseForm::UpdateSummary(bool withCount)
{
    // Beside the count, the filters of the latest run in words, so that what the grid holds
    // stays plain with the filter panel hidden, and the data source the window reads.
    QStringList parts{QStringLiteral("<b>%1</b>").arg(windowTitle().toHtmlEscaped())};
    if (withCount) {
        parts << RecordCountText(FCurrentRecCount).toHtmlEscaped();
        for (const QString& words : FilterWords())
            parts << words.toHtmlEscaped();
    }
    SortFind->ShowState();
    if (FDbModel && !FDbModel->DSN.isEmpty())
        parts << QStringLiteral("Източник: %1").arg(FDbModel->DSN).toHtmlEscaped();
    SummaryLabel->setText(parts.join(QStringLiteral("&nbsp;&nbsp;·&nbsp;&nbsp;")));
}

QStringList TAbsReportBaseForm::FilterWords() const
{
    return RunFilterWords(GridDef(), FCurrentFilters, [this](TLookupKind kind, int number) {
        const QComboBox* lookup = kind == TLookupKind::Stores          ? StoreFilterLookup
                                  : kind == TLookupKind::FiscalDevices ? FiscalDeviceFilterLookup
                                                                       : UserFilterLookup;
        const int index = lookup->findData(QString::number(number));
        return index >= 0 ? lookup->itemText(index) : QString();
    });
}

void TAbsReportBaseForm::ReportQueryOpenError(const QString& message)
{
    // The page did not come: no picture, no grid, and the controls back for another try.
    // A count that failed leaves the filters, the count and the pager of the run before.
    PageLoadEnded();
    if (FTotals)
        FTotals->PageFailed();
    // A connection the server dropped (terminated, restarted) is made anew once, and the
    // same count and page run on it; when that fails, its reason is what the user sees.
    QString failure = message;
    try {
        if (ReconnectOnce(FLoadingPage->LastErrorState())) {
            RunReportQuery();
            return;
        }
    } catch (const Exception& e) {
        failure = e.Message();
    }
    if (FLoadingPage->PreludeDone()) {
        CountArrived();
    } else {
        FCurrentFilters = FFiltersBefore;
        FCurrentRecCount = FCountBefore;
        FPendingMove.reset();
    }
    ClearShownPage();
    EnableReportControls();
    SetLoadingState(TLoadingState::lsBlank);
    UpdateSummary(false);
    ShowErrorBox(failure);
}

void TAbsReportBaseForm::DisableReportControls()
{
    ReportButton->setEnabled(false);
    cbRecordsPerPage->setEnabled(false);
    PagesPanel->setEnabled(false);
}

void TAbsReportBaseForm::EnableReportControls()
{
    ReportButton->setEnabled(true);
    cbRecordsPerPage->setEnabled(true);
    PagesPanel->setEnabled(true);
}

void TAbsReportBaseForm::FitColumns()
{
    const QFontMetrics fm = ReportDBGrid->fontMetrics();
    const QFontMetrics headerFm = ReportDBGrid->horizontalHeader()->fontMetrics();
    const int rows = std::min(ReportDataSource->rowCount(), kGridSampleRows);
    const int padding = 2 * ReportDBGrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 16;
    for (int c = 0; c < ReportDataSource->columnCount(); ++c) {
        // The caption may take two lines: break it where the two halves are most even.
        const QString caption = ReportDataSource->headerData(c, Qt::Horizontal).toString();
        int captionWidth = headerFm.horizontalAdvance(caption);
        for (qsizetype i = caption.indexOf(QLatin1Char(' ')); i >= 0; i = caption.indexOf(QLatin1Char(' '), i + 1))
            captionWidth = std::min(captionWidth, std::max(headerFm.horizontalAdvance(caption.left(i)),
                                                           headerFm.horizontalAdvance(caption.mid(i + 1))));
        // A column repeats its texts (dates, names, amounts): each is measured once.
        int contentWidth = 0;
        QSet<QString> measured;
        for (int r = 0; r < rows; ++r) {
            QString text = ReportDataSource->CellText(r, c);
            if (!measured.contains(text)) {
                contentWidth = std::max(contentWidth, fm.horizontalAdvance(text));
                measured.insert(std::move(text));
            }
        }
        // The title of the chosen order has its indicator beside the caption.
        if (c == FCurrentFilters.SortColumn)
            captionWidth += 2 * ReportDBGrid->style()->pixelMetric(QStyle::PM_HeaderMarkSize);
        int width = std::min(kMaxColumnWidth, std::max(captionWidth, contentWidth) + padding);
        if (TotalsRow) // the sum of the whole result under the column fits too
            width = std::max(width, TotalsRow->NeededWidth(c));
        ReportDBGrid->setColumnWidth(c, width);
    }
}

// ---------------------------------------------------------------------------------------
// The Report button and the pager

void TAbsReportBaseForm::RunAction(const std::function<void()>& action)
{
    // A failure ends the action with the error box and puts the window back as it was
    // before it, with its controls enabled: it is never left waiting for a page that will
    // not come.
    const TReportFilters before = FCurrentFilters;
    const int countBefore = FCurrentRecCount;
    FFiltersBefore = before;
    FCountBefore = countBefore;
    FPagerBefore = FPager;
    FStateBefore = FLoadingState;
    FFiltersShownBefore = !FiltersPanel->isHidden();
    FPendingMove.reset();
    FReconnected = false;
    try {
        action();
    } catch (const Exception& e) {
        if (FTotals)
            FTotals->PageFailed();
        FPendingMove.reset();
        FCurrentFilters = before;
        FCurrentRecCount = countBefore;
        CloseLoadingPage();
        ClearShownPage();
        EnableReportControls();
        SetLoadingState(TLoadingState::lsBlank);
        UpdateSummary(false);
        ShowErrorBox(e.Message());
    }
}

// The page index changes and the count and page start; once the count has arrived the
// buttons show the pager's captions and states (a count that fails leaves the pager as it was).
void TAbsReportBaseForm::MovePager(TPagerAction action)
{
    const TReportPager::TMove move =
        FPager.Plan(action, FCurrentFilters.PageNumber,
                    TReportPager::PageCount(FCurrentRecCount, FCurrentFilters.RecordsPerPage));
    FCurrentFilters.PageNumber = move.Page;
    RunReportQuery();
    FPendingMove = move;
}

void TAbsReportBaseForm::ShowPager()
{
    const TPagerButton order[] = {pbFirst, pbPrevious, pbCurrent, pbNext, pbLast};
    QPushButton* const buttons[] = {FirstPageButton, PreviousPageButton, CurrentPageButton, NextPageButton,
                                    LastPageButton};
    for (int i = 0; i < kPagerButtonCount; ++i) {
        buttons[i]->setText(FPager.Caption(order[i]));
        buttons[i]->setEnabled(FPager.Enabled(order[i]));
    }
}

bool TAbsReportBaseForm::CommitDateFields()
{
    if (PeriodFilterPanel->isHidden())
        return true;
    for (TDateField* field : {FromDateFilterPicker, ToDateFilterPicker}) {
        if (field->Commit())
            continue;
        if (FiltersPanel->isHidden())
            ToggleFilters();
        field->setFocus();
        return false;
    }
    return true;
}

void TAbsReportBaseForm::ReportButtonClick()
{
    if (!CommitDateFields() || !CommitRunExtra())
        return;
    if (FTotals)
        FTotals->Refresh();
    RunAction([&] {
        SetLoadingState(TLoadingState::lsLoading); // the page of the run before waits behind it
        if (!FiltersPanel->isHidden())
            ToggleFilters();
        CollectFilters();
        MovePager(TPagerAction::paReset);
    });
}

bool TAbsReportBaseForm::RerunWith(const std::function<void(TReportFilters&)>& change)
{
    if (FPageLoading || !ReportButton->isEnabled())
        return false;
    if (FLoadingState == TLoadingState::lsBlank) {
        change(FCurrentFilters);
        ReportButtonClick();
        return true;
    }
    RunAction([&] {
        change(FCurrentFilters);
        SetLoadingState(TLoadingState::lsLoading); // the page of the run before waits behind it
        MovePager(TPagerAction::paReset);
    });
    return true;
}

void TAbsReportBaseForm::cbRecordsPerPageChange()
{
    RunAction([&] {
        FCurrentFilters.RecordsPerPage = cbRecordsPerPage->currentText().toInt();
        MovePager(TPagerAction::paReset);
    });
}

void TAbsReportBaseForm::FirstPageButtonClick()
{
    RunAction([&] { MovePager(TPagerAction::paReset); });
}

void TAbsReportBaseForm::NextPageButtonClick()
{
    RunAction([&] { MovePager(TPagerAction::paNext); });
}

void TAbsReportBaseForm::PreviousPageButtonClick()
{
    RunAction([&] { MovePager(TPagerAction::paPrevious); });
}

void TAbsReportBaseForm::LastPageButtonClick()
{
    RunAction([&] { MovePager(TPagerAction::paLast); });
}

void TAbsReportBaseForm::CancelPageLoad()
{
    if (!FPageLoading)
        return;
    // A server that does not take the cancel keeps the statement with the worker, which
    // drops its page when it ends; the controls wait for that (one statement at a time).
    const bool stopped = FLoadingPage->TryClose(kClosePatience);
    PageLoadEnded();
    FCurrentFilters = FFiltersBefore;
    FCurrentRecCount = FCountBefore;
    FPendingMove.reset();
    FPager = FPagerBefore;
    ShowPager();
    if (FCurrentFilters.RecordsPerPage > 0) {
        const QSignalBlocker quiet(cbRecordsPerPage);
        const int index = cbRecordsPerPage->findText(QString::number(FCurrentFilters.RecordsPerPage));
        if (index >= 0)
            cbRecordsPerPage->setCurrentIndex(index);
    }
    const bool shown = FStateBefore == TLoadingState::lsLoaded && FShownPage->Active();
    SetLoadingState(shown ? TLoadingState::lsLoaded : TLoadingState::lsBlank);
    UpdateSummary(shown);
    if (FFiltersShownBefore && FiltersPanel->isHidden())
        ToggleFilters();
    if (stopped) {
        if (FTotals)
            FTotals->PageGivenUp();
        EnableReportControls();
    } else {
        FAbandonedWatch->start(); // the read transaction of the sums ends after the statement
    }
}
