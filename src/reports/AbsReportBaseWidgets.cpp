// The report window's widgets: TAbsReportBaseForm::BuildWidgets creates them with the form as
// their parent and fills the form's widget members; colours, sizes, fonts, object names and texts.
#include "AbsReportBaseUnit.h"

#include "LoadingAnimationUnit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace {

constexpr int kFilterPanelWidth = 185;
constexpr int kSummaryHeight = 41;
constexpr int kLookupWidth = 171;
constexpr int kDatePickerWidth = 106;
constexpr int kPageButtonWidth = 45;
constexpr int kPageButtonHeight = 25;
constexpr int kPagerSpacerWidth = 22;

// System colours of the classic desktop theme the window is drawn in.
const QColor kInactiveCaptionGradient(215, 228, 242);
const QColor kActiveCaptionGradient(185, 209, 234);

const int kPageSizes[] = {100, 300, 500, 1000, 5000};
const int kDefaultPageSizeIndex = 2; // "500"

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
