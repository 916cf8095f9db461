#include "AbsReportBaseUnit.h"

#include "LoadingAnimationUnit.h"
#include "db/Exception.h"
#include "common/MessageBoxUnit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kFilterPanelWidth = 185;
constexpr int kSummaryHeight = 41;
constexpr int kLookupWidth = 171;
constexpr int kDatePickerWidth = 106;
constexpr int kPageButtonWidth = 45;
constexpr int kPageButtonHeight = 25;
constexpr int kPagerSpacerWidth = 22;
constexpr int kGridSampleRows = 200;   // rows measured to size the grid's columns
constexpr int kMaxColumnWidth = 360;

// System colours of the classic desktop theme the window is drawn in.
const QColor kInactiveCaptionGradient(215, 228, 242);
const QColor kActiveCaptionGradient(185, 209, 234);

const QString kAllEntries = QStringLiteral("<Всички>");
const int kPageSizes[] = {100, 300, 500, 1000, 5000};
const int kDefaultPageSizeIndex = 2; // "500"

TAbsReportBaseForm::TExportHandler& ExportHandler()
{
    static TAbsReportBaseForm::TExportHandler handler;
    return handler;
}

void SetBackground(QWidget* w, const QColor& color)
{
    w->setAutoFillBackground(true);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
}

// The 16x16 pictures: arrows of the filter bar and the Report button's magnifying glass,
// drawn at the screen's pixel density.
QPixmap ArrowPixmap(bool pointsRight, const QColor& color, qreal dpr)
{
    QPixmap pm(QSize(16, 16) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (qreal dx : {0.0, 5.0}) {
        QPainterPath path;
        if (pointsRight) {
            path.moveTo(3.5 + dx, 3.5);
            path.lineTo(8 + dx, 8);
            path.lineTo(3.5 + dx, 12.5);
        } else {
            path.moveTo(12.5 - dx, 3.5);
            path.lineTo(8 - dx, 8);
            path.lineTo(12.5 - dx, 12.5);
        }
        p.drawPath(path);
    }
    return pm;
}

QIcon MagnifierIcon(qreal dpr)
{
    QPixmap pm(QSize(16, 16) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2b, 0x4f, 0x7a), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.2, 10.2), QPointF(14.3, 14.3));
    p.setPen(QPen(QColor(0x2b, 0x4f, 0x7a), 1.6));
    p.setBrush(QColor(0xd8, 0xea, 0xfb));
    p.drawEllipse(QPointF(6.6, 6.6), 4.8, 4.8);
    return QIcon(pm);
}

QWidget* LabelledPanel(QWidget* parent, const QString& objectName, int height, const QString& caption,
                       QWidget* editor, QWidget* secondEditor = nullptr, const QString& secondCaption = {})
{
    auto* panel = new QWidget(parent);
    panel->setObjectName(objectName);
    panel->setFixedHeight(height);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(8, 6, 6, 4);
    layout->setSpacing(3);
    auto add = [&](const QString& text, QWidget* w) {
        auto* label = new QLabel(text, panel);
        layout->addWidget(label);
        w->setParent(panel);
        layout->addWidget(w, 0, Qt::AlignLeft);
    };
    add(caption, editor);
    if (secondEditor) {
        layout->addSpacing(4);
        add(secondCaption, secondEditor);
    }
    layout->addStretch(1);
    return panel;
}

QPushButton* PageButton(QWidget* parent, const QString& name)
{
    auto* b = new QPushButton(QStringLiteral("1"), parent);
    b->setObjectName(name);
    b->setFixedSize(kPageButtonWidth, kPageButtonHeight);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

// A sunken groove in a 22-pixel gap between the page buttons.
QFrame* PagerSpacer(QWidget* parent)
{
    auto* f = new QFrame(parent);
    f->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    f->setFixedSize(kPagerSpacerWidth, kPageButtonHeight - 4);
    return f;
}

// "1 запис", "16 401 записа".
QString RecordCountText(int n)
{
    const QString number = QLocale(QLocale::Bulgarian).toString(n);
    return n == 1 ? number + QStringLiteral(" запис") : number + QStringLiteral(" записа");
}

// Clicks on the filter bar and everything on it toggle the filter panel.
class TClickFilter : public QObject {
public:
    TClickFilter(QObject* parent, std::function<void()> onClick) : QObject(parent), FOnClick(std::move(onClick)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            FOnClick();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> FOnClick;
};

} // namespace

// ---------------------------------------------------------------------------------------
// Creation

TAbsReportBaseForm::TAbsReportBaseForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : QWidget(AOwner), FDbModel(aDBModel), FRepository(aRepository)
{
    setAttribute(Qt::WA_DeleteOnClose);
    FSqlManager = TSqlDataModule::CreateManager(aDBModel);
    TOdbcConnection& connection = FSqlManager->OpenConnection();
    for (TQuery* q : {&ReportQuery, &ExportQuery, &StoreFilterQuery, &FiscalDeviceQuery, &UserFilterQuery})
        q->SetConnection(&connection);
    StoreFilterQuery.SetSQL(QStringLiteral("select StoreN, StoreName from StoreFilterAudit\norder by StoreName"));
    FiscalDeviceQuery.SetSQL(QStringLiteral(
        "select FiscalDeviceN, FiscalDeviceName\nfrom FiscalDeviceFilterAudit\norder by FiscalDeviceName"));
    UserFilterQuery.SetSQL(QStringLiteral("select UserKod, UserName\nfrom UserFilterAudit\norder by UserName"));
    ReportQuery.AfterOpen = [this] { ReportQueryAfterOpen(); };
    ReportQuery.OnOpenError = [this](const QString& message) { ReportQueryOpenError(message); };
    BuildWidgets();
    FFilterOrigWidth = FiltersPanel->width();
}

TAbsReportBaseForm::~TAbsReportBaseForm()
{
    // The grid lets go of the page before the queries (and then the connection) go.
    if (ReportDataSource)
        ReportDataSource->SetDataSet(nullptr);
    ReportQuery.Close();
}

void TAbsReportBaseForm::FormCreate()
{
    FReportUIFilters = GetReportUIFilters();
    InitFilters();
    SetLoadingState(TLoadingState::lsBlank);
    UpdateSummary(false);
}

void TAbsReportBaseForm::SetExportHandler(TExportHandler handler) { ExportHandler() = std::move(handler); }

void TAbsReportBaseForm::BuildWidgets()
{
    const qreal dpr = devicePixelRatioF();
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // The bar across the top with the filter toggle on its left.
    SummaryPanel = new QFrame(this);
    SummaryPanel->setObjectName(QStringLiteral("SummaryPanel"));
    SummaryPanel->setFixedHeight(kSummaryHeight);
    SetBackground(SummaryPanel, kInactiveCaptionGradient);
    auto* summary = new QHBoxLayout(SummaryPanel);
    summary->setContentsMargins(0, 0, 0, 0);
    summary->setSpacing(0);
    FiltersShowHidePanel = new QFrame(SummaryPanel);
    FiltersShowHidePanel->setObjectName(QStringLiteral("FiltersShowHidePanel"));
    FiltersShowHidePanel->setFixedWidth(kFilterPanelWidth);
    FiltersShowHidePanel->setCursor(Qt::PointingHandCursor);
    SetBackground(FiltersShowHidePanel, palette().color(QPalette::Highlight));
    const QColor barText = palette().color(QPalette::HighlightedText);
    auto* bar = new QHBoxLayout(FiltersShowHidePanel);
    bar->setContentsMargins(10, 0, 10, 0);
    auto arrow = [&](const QString& name, bool right) {
        auto* l = new QLabel(FiltersShowHidePanel);
        l->setObjectName(name);
        l->setFixedSize(16, 16);
        l->setPixmap(ArrowPixmap(right, barText, dpr));
        return l;
    };
    ShowLeftImage = arrow(QStringLiteral("ShowLeftImage"), true);
    HideLeftImage = arrow(QStringLiteral("HideLeftImage"), false);
    FiltersCaptionLabel = new QLabel(QStringLiteral("Филтри"), FiltersShowHidePanel);
    FiltersCaptionLabel->setObjectName(QStringLiteral("FiltersCaptionLabel"));
    FiltersCaptionLabel->setAlignment(Qt::AlignCenter);
    QFont bold = FiltersCaptionLabel->font();
    bold.setBold(true);
    FiltersCaptionLabel->setFont(bold);
    QPalette textPalette = FiltersCaptionLabel->palette();
    textPalette.setColor(QPalette::WindowText, barText);
    FiltersCaptionLabel->setPalette(textPalette);
    ShowRightImage = arrow(QStringLiteral("ShowRightImage"), true);
    HideRightImage = arrow(QStringLiteral("HideRightImage"), false);
    bar->addWidget(ShowLeftImage);
    bar->addWidget(HideLeftImage);
    bar->addWidget(FiltersCaptionLabel, 1);
    bar->addWidget(ShowRightImage);
    bar->addWidget(HideRightImage);
    ShowLeftImage->hide();
    ShowRightImage->hide();
    auto* clicks = new TClickFilter(this, [this] { FiltersShowHidePanelClick(); });
    for (QWidget* w : std::initializer_list<QWidget*>{FiltersShowHidePanel, FiltersCaptionLabel, ShowLeftImage,
                                                      ShowRightImage, HideLeftImage, HideRightImage})
        w->installEventFilter(clicks);
    summary->addWidget(FiltersShowHidePanel);
    summary->addSpacing(14);
    // What the grid shows: the report's caption and the row count of the latest run.
    SummaryLabel = new QLabel(SummaryPanel);
    SummaryLabel->setObjectName(QStringLiteral("SummaryLabel"));
    SummaryLabel->setTextFormat(Qt::RichText);
    summary->addWidget(SummaryLabel, 1);
    root->addWidget(SummaryPanel);

    MainPanel = new QWidget(this);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    auto* main = new QHBoxLayout(MainPanel);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    root->addWidget(MainPanel, 1);

    // Filters on the left; hidden sub-panels take no room.
    FiltersPanel = new QFrame(MainPanel);
    FiltersPanel->setObjectName(QStringLiteral("FiltersPanel"));
    FiltersPanel->setFixedWidth(kFilterPanelWidth);
    FiltersPanel->resize(kFilterPanelWidth, FiltersPanel->height());
    SetBackground(FiltersPanel, kActiveCaptionGradient);
    auto* filters = new QVBoxLayout(FiltersPanel);
    filters->setContentsMargins(0, 4, 0, 0);
    filters->setSpacing(0);
    auto datePicker = [&](const QString& name) {
        auto* d = new QDateEdit(FiltersPanel);
        d->setObjectName(name);
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setFixedWidth(kDatePickerWidth);
        return d;
    };
    FromDateFilterPicker = datePicker(QStringLiteral("FromDateFilterPicker"));
    ToDateFilterPicker = datePicker(QStringLiteral("ToDateFilterPicker"));
    PeriodFilterPanel = LabelledPanel(FiltersPanel, QStringLiteral("PeriodFilterPanel"), 105,
                                      QStringLiteral("От Дата"), FromDateFilterPicker, ToDateFilterPicker,
                                      QStringLiteral("До Дата"));
    auto lookup = [&](const QString& name) {
        auto* c = new QComboBox(FiltersPanel);
        c->setObjectName(name);
        c->setFixedWidth(kLookupWidth);
        c->setMaxVisibleItems(20);
        return c;
    };
    StoreFilterLookup = lookup(QStringLiteral("StoreFilterLookup"));
    FiscalDeviceFilterLookup = lookup(QStringLiteral("FiscalDeviceFilterLookup"));
    UserFilterLookup = lookup(QStringLiteral("UserFilterLookup"));
    StoreFilterPanel = LabelledPanel(FiltersPanel, QStringLiteral("StoreFilterPanel"), 56,
                                     QStringLiteral("Търговски обект"), StoreFilterLookup);
    FpFilterPanel = LabelledPanel(FiltersPanel, QStringLiteral("FpFilterPanel"), 56,
                                  QStringLiteral("Фискално устройство"), FiscalDeviceFilterLookup);
    UserFilterPanel = LabelledPanel(FiltersPanel, QStringLiteral("UserFilterPanel"), 56, QStringLiteral("Потребител"),
                                    UserFilterLookup);
    ReportButtonPanel = new QWidget(FiltersPanel);
    ReportButtonPanel->setObjectName(QStringLiteral("ReportButtonPanel"));
    auto* buttonLayout = new QVBoxLayout(ReportButtonPanel);
    buttonLayout->setContentsMargins(8, 10, 8, 8);
    ReportButton = new QPushButton(MagnifierIcon(dpr), QStringLiteral("Справка"), ReportButtonPanel);
    ReportButton->setObjectName(QStringLiteral("ReportButton"));
    ReportButton->setFixedSize(161, kPageButtonHeight);
    ReportButton->setDefault(true);
    buttonLayout->addWidget(ReportButton, 0, Qt::AlignLeft);
    buttonLayout->addStretch(1);
    for (QWidget* w : {PeriodFilterPanel, StoreFilterPanel, FpFilterPanel, UserFilterPanel})
        filters->addWidget(w);
    filters->addWidget(ReportButtonPanel, 1);
    main->addWidget(FiltersPanel);

    // The grid area and the pager under it.
    GridPanel = new QWidget(MainPanel);
    GridPanel->setObjectName(QStringLiteral("GridPanel"));
    auto* gridLayout = new QVBoxLayout(GridPanel);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(0);
    auto* gridArea = new QWidget(GridPanel);
    auto* stack = new QGridLayout(gridArea);
    stack->setContentsMargins(0, 0, 0, 0);
    ReportDataSource = new TDataSource(this);
    ReportDataSource->setObjectName(QStringLiteral("ReportDataSource"));
    ReportDBGrid = new QTableView(gridArea);
    ReportDBGrid->setObjectName(QStringLiteral("ReportDBGrid"));
    ReportDBGrid->setModel(ReportDataSource);
    ReportDBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ReportDBGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ReportDBGrid->setAlternatingRowColors(true);
    ReportDBGrid->setWordWrap(false);
    ReportDBGrid->setTextElideMode(Qt::ElideRight);
    ReportDBGrid->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    ReportDBGrid->horizontalHeader()->setHighlightSections(false);
    ReportDBGrid->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ReportDBGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ReportDBGrid->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    {
        // Two lines of caption in the column titles.
        const int h = 2 * fontMetrics().lineSpacing() + 10;
        ReportDBGrid->horizontalHeader()->setFixedHeight(h);
    }
    // Ctrl+C copies the selected cells as TAB-separated lines, as spreadsheets paste them.
    auto* copy = new QAction(ReportDBGrid);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copy, &QAction::triggered, this, [this] {
        const QModelIndexList cells = ReportDBGrid->selectionModel()->selectedIndexes();
        if (cells.isEmpty())
            return;
        int top = INT_MAX, bottom = -1, left = INT_MAX, right = -1;
        for (const QModelIndex& i : cells) {
            top = std::min(top, i.row());
            bottom = std::max(bottom, i.row());
            left = std::min(left, i.column());
            right = std::max(right, i.column());
        }
        QString text;
        for (int r = top; r <= bottom; ++r) {
            for (int c = left; c <= right; ++c) {
                if (c > left)
                    text += QLatin1Char('\t');
                if (ReportDBGrid->selectionModel()->isSelected(ReportDataSource->index(r, c)))
                    text += ReportDataSource->CellText(r, c);
            }
            text += QLatin1Char('\n');
        }
        QApplication::clipboard()->setText(text);
    });
    ReportDBGrid->addAction(copy);

    LoadingPanel = new QWidget(gridArea);
    LoadingPanel->setObjectName(QStringLiteral("LoadingPanel"));
    SetBackground(LoadingPanel, Qt::white);
    auto* loading = new QVBoxLayout(LoadingPanel);
    loading->setContentsMargins(0, 0, 0, 0);
    LoadingGifImage = new TLoadingAnimation(LoadingPanel);
    LoadingGifImage->setObjectName(QStringLiteral("LoadingGifImage"));
    loading->addWidget(LoadingGifImage);
    stack->addWidget(ReportDBGrid, 0, 0);
    stack->addWidget(LoadingPanel, 0, 0);
    gridLayout->addWidget(gridArea, 1);

    PagingPanel = new QFrame(GridPanel);
    PagingPanel->setObjectName(QStringLiteral("PagingPanel"));
    PagingPanel->setFixedHeight(kPageButtonHeight + 6);
    SetBackground(PagingPanel, kInactiveCaptionGradient);
    auto* paging = new QHBoxLayout(PagingPanel);
    paging->setContentsMargins(8, 3, 4, 3);
    paging->setSpacing(6);
    RecorsPerPageLabel = new QLabel(QStringLiteral("Записи на страница"), PagingPanel);
    RecorsPerPageLabel->setObjectName(QStringLiteral("RecorsPerPageLabel"));
    cbRecordsPerPage = new QComboBox(PagingPanel);
    cbRecordsPerPage->setObjectName(QStringLiteral("cbRecordsPerPage"));
    for (int size : kPageSizes)
        cbRecordsPerPage->addItem(QString::number(size));
    cbRecordsPerPage->setCurrentIndex(kDefaultPageSizeIndex);
    cbRecordsPerPage->setMinimumWidth(70);
    paging->addWidget(RecorsPerPageLabel);
    paging->addWidget(cbRecordsPerPage);
    paging->addStretch(1);
    PagesPanel = new QWidget(PagingPanel);
    PagesPanel->setObjectName(QStringLiteral("PagesPanel"));
    auto* pages = new QHBoxLayout(PagesPanel);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(1);
    FirstPageButton = PageButton(PagesPanel, QStringLiteral("FirstPageButton"));
    PreviousPageButton = PageButton(PagesPanel, QStringLiteral("PreviousPageButton"));
    CurrentPageButton = PageButton(PagesPanel, QStringLiteral("CurrentPageButton"));
    NextPageButton = PageButton(PagesPanel, QStringLiteral("NextPageButton"));
    LastPageButton = PageButton(PagesPanel, QStringLiteral("LastPageButton"));
    pages->addWidget(FirstPageButton);
    pages->addWidget(PagerSpacer(PagesPanel));
    pages->addWidget(PreviousPageButton);
    pages->addWidget(CurrentPageButton);
    pages->addWidget(NextPageButton);
    pages->addWidget(PagerSpacer(PagesPanel));
    pages->addWidget(LastPageButton);
    PagesPanel->setFixedWidth(5 * kPageButtonWidth + 2 * kPagerSpacerWidth + 6);
    paging->addWidget(PagesPanel);
    gridLayout->addWidget(PagingPanel);
    main->addWidget(GridPanel, 1);

    // Until the first run there is nothing to page through: First reads "1", the others
    // are blank, and every page button is disabled. The page-size box runs the report.
    for (QPushButton* b : {PreviousPageButton, CurrentPageButton, NextPageButton, LastPageButton})
        b->setText(QString());
    // The page on screen stands out, although its button is never enabled.
    QFont currentFont = CurrentPageButton->font();
    currentFont.setBold(true);
    CurrentPageButton->setFont(currentFont);
    QPalette currentPalette = CurrentPageButton->palette();
    currentPalette.setColor(QPalette::Disabled, QPalette::ButtonText, palette().color(QPalette::Highlight));
    CurrentPageButton->setPalette(currentPalette);
    for (QPushButton* b : {FirstPageButton, PreviousPageButton, CurrentPageButton, NextPageButton, LastPageButton})
        b->setEnabled(false);

    QObject::connect(ReportButton, &QPushButton::clicked, this, [this] { ReportButtonClick(); });
    QObject::connect(cbRecordsPerPage, &QComboBox::currentIndexChanged, this, [this] { cbRecordsPerPageChange(); });
    QObject::connect(FirstPageButton, &QPushButton::clicked, this, [this] { FirstPageButtonClick(); });
    QObject::connect(PreviousPageButton, &QPushButton::clicked, this, [this] { PreviousPageButtonClick(); });
    QObject::connect(NextPageButton, &QPushButton::clicked, this, [this] { NextPageButtonClick(); });
    QObject::connect(LastPageButton, &QPushButton::clicked, this, [this] { LastPageButtonClick(); });
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
    FillLookup(StoreFilterLookup, StoreFilterQuery);
    TSqlDataManager::OpenQueryClean(FiscalDeviceQuery);
    FillLookup(FiscalDeviceFilterLookup, FiscalDeviceQuery);
    TSqlDataManager::OpenQueryClean(UserFilterQuery);
    FillLookup(UserFilterLookup, UserFilterQuery);
}

void TAbsReportBaseForm::FillLookup(QComboBox* lookup, TQuery& query)
{
    lookup->clear();
    lookup->addItem(kAllEntries, QStringLiteral("0"));
    for (query.First(); !query.Eof(); query.Next())
        lookup->addItem(query.Fields(1).AsString(), query.Fields(0).AsString());
    lookup->setCurrentIndex(0);
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
    ReportQuery.Close();
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

void TAbsReportBaseForm::CloseReportQuery()
{
    ReportDataSource->SetDataSet(nullptr);
    ReportQuery.Close();
    FPageLoading = false;
}

void TAbsReportBaseForm::RunReportQuery()
{
    CloseReportQuery();
    QString reportSql, recCountSql;
    FillReportQuery(reportSql, recCountSql);
    ReportQuery.SetSQL(reportSql);
    FCurrentRecCount = FSqlManager->FastSql(recCountSql).toInt();
    UpdateSummary(true);
    DisableReportControls();
    ReportQuery.OpenAsync();
    FPageLoading = true;
}

void TAbsReportBaseForm::ReportQueryAfterOpen()
{
    FPageLoading = false;
    try {
        TSqlDataManager::FetchAllQuery(ReportQuery);
        const TReportFilters& f = FCurrentFilters;
        ReportDataSource->SetFirstRowNumber(f.RecordsPerPage > 0 ? qint64(f.PageNumber) * f.RecordsPerPage + 1 : 1);
        ReportDataSource->SetDataSet(&ReportQuery);
        FitColumns();
    } catch (const Exception& e) {
        CloseReportQuery();
        ReportQueryOpenError(e.Message());
        return;
    }
    EnableReportControls();
    SetLoadingState(TLoadingState::lsLoaded);
}

void TAbsReportBaseForm::UpdateSummary(bool withCount)
{
    QString text = QStringLiteral("<b>%1</b>").arg(windowTitle().toHtmlEscaped());
    if (withCount)
        text += QStringLiteral("&nbsp;&nbsp;·&nbsp;&nbsp;%1").arg(RecordCountText(FCurrentRecCount).toHtmlEscaped());
    SummaryLabel->setText(text);
}

void TAbsReportBaseForm::ReportQueryOpenError(const QString& message)
{
    // The page did not come: no picture, no grid, and the controls back for another try.
    FPageLoading = false;
    EnableReportControls();
    SetLoadingState(TLoadingState::lsBlank);
    UpdateSummary(false);
    ShowErrorBox(message);
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
        int contentWidth = 0;
        for (int r = 0; r < rows; ++r)
            contentWidth = std::max(contentWidth, fm.horizontalAdvance(ReportDataSource->CellText(r, c)));
        ReportDBGrid->setColumnWidth(c, std::min(kMaxColumnWidth, std::max(captionWidth, contentWidth) + padding));
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
    try {
        action();
    } catch (const Exception& e) {
        FCurrentFilters = before;
        FCurrentRecCount = countBefore;
        EnableReportControls();
        SetLoadingState(TLoadingState::lsBlank);
        UpdateSummary(false);
        ShowErrorBox(e.Message());
    }
}

int TAbsReportBaseForm::PageCount() const
{
    const int s = FCurrentFilters.RecordsPerPage;
    if (s <= 0)
        return 0;
    return int(std::ceil(double(FCurrentRecCount) / double(s)));
}

void TAbsReportBaseForm::SetPageCaptions(int previous, int current, int next)
{
    PreviousPageButton->setText(QString::number(previous));
    CurrentPageButton->setText(QString::number(current));
    NextPageButton->setText(QString::number(next));
}

void TAbsReportBaseForm::ResetPager()
{
    const int p = FCurrentFilters.PageNumber;
    PreviousPageButton->setText(FirstPageButton->text());
    CurrentPageButton->setText(QString::number(p + 1));
    NextPageButton->setText(QString::number(p + 2));
    const int pages = PageCount();
    LastPageButton->setText(QString::number(pages));
    const bool onePage = pages < p + 2;
    if (onePage)
        NextPageButton->setText(QString::number(pages));
    NextPageButton->setEnabled(!onePage);
    LastPageButton->setEnabled(!onePage);
    FirstPageButton->setEnabled(false);
    PreviousPageButton->setEnabled(false);
    CurrentPageButton->setEnabled(false);
}

void TAbsReportBaseForm::ReportButtonClick()
{
    RunAction([&] {
        CloseReportQuery();
        SetLoadingState(TLoadingState::lsLoading);
        if (!FiltersPanel->isHidden())
            ToggleFilters();
        CollectFilters();
        RunReportQuery();
        ResetPager();
    });
}

void TAbsReportBaseForm::cbRecordsPerPageChange()
{
    RunAction([&] {
        FCurrentFilters.RecordsPerPage = cbRecordsPerPage->currentText().toInt();
        FCurrentFilters.PageNumber = 0;
        RunReportQuery();
        ResetPager();
    });
}

void TAbsReportBaseForm::FirstPageButtonClick()
{
    RunAction([&] {
        FCurrentFilters.PageNumber = 0;
        RunReportQuery();
        ResetPager();
    });
}

void TAbsReportBaseForm::NextPageButtonClick()
{
    RunAction([&] {
        const int pages = PageCount();
        const int p = ++FCurrentFilters.PageNumber;
        RunReportQuery();
        SetPageCaptions(p, p + 1, p + 2);
        const bool last = p == pages - 1;
        if (last)
            NextPageButton->setText(CurrentPageButton->text());
        FirstPageButton->setEnabled(true);
        PreviousPageButton->setEnabled(true);
        NextPageButton->setEnabled(!last);
        LastPageButton->setEnabled(!last);
    });
}

void TAbsReportBaseForm::PreviousPageButtonClick()
{
    RunAction([&] {
        const int p = --FCurrentFilters.PageNumber;
        RunReportQuery();
        SetPageCaptions(p, p + 1, p + 2);
        const bool first = p == 0;
        if (first)
            PreviousPageButton->setText(FirstPageButton->text());
        const bool reduced = NextPageButton->text().toInt() > LastPageButton->text().toInt();
        if (reduced)
            NextPageButton->setText(LastPageButton->text());
        FirstPageButton->setEnabled(!first);
        PreviousPageButton->setEnabled(!first);
        NextPageButton->setEnabled(!reduced);
        LastPageButton->setEnabled(!reduced);
    });
}

void TAbsReportBaseForm::LastPageButtonClick()
{
    RunAction([&] {
        const int pages = PageCount();
        FCurrentFilters.PageNumber = std::max(0, pages - 1);
        RunReportQuery();
        SetPageCaptions(pages - 1, pages, pages);
        FirstPageButton->setEnabled(true);
        PreviousPageButton->setEnabled(true);
        NextPageButton->setEnabled(false);
        LastPageButton->setEnabled(false);
    });
}

// ---------------------------------------------------------------------------------------
// Export of the whole filtered result

void TAbsReportBaseForm::ExportReport(TExportKind kind)
{
    // One statement at a time on the window's connection: while a page loads, the request
    // is refused without a word (the ribbon stays usable, the page keeps loading).
    if (FPageLoading)
        return;
    const int keepRecordsPerPage = FCurrentFilters.RecordsPerPage;
    struct TRestore {
        TAbsReportBaseForm* Form;
        int RecordsPerPage;
        ~TRestore()
        {
            Form->FCurrentFilters.RecordsPerPage = RecordsPerPage;
            Form->ExportQuery.Close();
        }
    } restore{this, keepRecordsPerPage};
    FCurrentFilters.RecordsPerPage = 0;
    QString reportSql, recCountSql;
    FillReportQuery(reportSql, recCountSql);
    ExportQuery.Close();
    ExportQuery.SetSQL(QString());
    ExportQuery.SetSQL(reportSql);
    ExportQuery.Open();
    ExportQuery.First();
    const RExportOptions opts = TExportForm::GetReportOpts(kind, windowTitle());
    if (ExportHandler())
        ExportHandler()(ExportQuery, opts, FCurrentRecCount);
    else
        TExportForm::DoExport(TExportSource{&ExportQuery, nullptr}, opts, FCurrentRecCount);
}
