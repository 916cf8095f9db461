// The report window's widgets: how they look and are laid out (colours, sizes, fonts, object
// names, texts), built into a TAbsReportBaseForm's widget members.
#include "AbsReportBaseWidgets.h"

#include "AbsReportBaseUnit.h"

#include "DateFieldUnit.h"
#include "ElidedLabelUnit.h"
#include "GridSelectionUnit.h"
#include "LoadingAnimationUnit.h"

#include <QAction>
#include <QApplication>
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
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <map>

namespace {

constexpr int kFilterPanelWidth = 185;
constexpr int kSummaryHeight = 41;
constexpr int kLookupWidth = 171;
constexpr int kDatePickerWidth = 106;
constexpr int kPageButtonWidth = 45;
constexpr int kPageButtonHeight = 25;
constexpr int kPagerSpacerWidth = 22;

// System colours of the classic desktop theme the window is drawn in, whatever the desktop's
// own: the panels in these colours write in kPanelText, dark themes too.
const QColor kInactiveCaptionGradient(215, 228, 242);
const QColor kActiveCaptionGradient(185, 209, 234);
const QColor kPanelText(0x1a, 0x1a, 0x1a);

const int kPageSizes[] = {100, 300, 500, 1000, 5000};
const int kDefaultPageSizeIndex = 2; // "500"

// Paints a panel's background in one colour before the panel paints itself. The panel's
// palette stays the window's: a palette set on a widget is passed down to its children as
// one of their own, and the style keeps the pictures it draws controls with (buttons, lists,
// headers) keyed by palette, so every window opened would leave a new set of them behind.
class TBackgroundFill : public QObject {
public:
    TBackgroundFill(QWidget* panel, const QColor& color) : QObject(panel), FColor(color) {}

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            auto* panel = static_cast<QWidget*>(watched);
            QPainter(panel).fillRect(panel->rect(), FColor);
        }
        return false;
    }

private:
    QColor FColor;
};

void SetBackground(QWidget* w, const QColor& color)
{
    w->installEventFilter(new TBackgroundFill(w, color));
}

// Relative luminance and contrast ratio of the WCAG, for text on a background.
double Luminance(const QColor& c)
{
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(const QColor& a, const QColor& b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// `background`, darkened under light text or lightened under dark text until `text` reads
// on it (a contrast of 4.5 at least).
QColor ReadableBehind(QColor background, const QColor& text)
{
    const bool lightText = Luminance(text) > 0.5;
    for (int i = 0; i < 40 && Contrast(background, text) < 4.5; ++i)
        background = lightText ? background.darker(108) : background.lighter(108);
    return Contrast(background, text) < 4.5 ? (lightText ? QColor(Qt::black) : QColor(Qt::white)) : background;
}

// `text`, lightened on a dark background or darkened on a light one until its contrast there
// is `minimum` at least.
QColor ReadableOn(QColor text, const QColor& background, double minimum)
{
    const bool darkBackground = Luminance(background) < 0.18;
    for (int i = 0; i < 40 && Contrast(text, background) < minimum; ++i)
        text = darkBackground ? text.lighter(110) : text.darker(110);
    return Contrast(text, background) < minimum ? (darkBackground ? QColor(Qt::white) : QColor(Qt::black)) : text;
}

// A label on one of the panels above: its text in the panel's text colour. A label has no
// children to pass its palette on to.
void SetPanelText(QLabel* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kPanelText);
    label->setPalette(palette);
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

// What every window draws alike is made once and shared: the style keeps the pictures it
// draws in the application's picture cache under the icon's and the palette's identity, so
// an icon or a palette of each window's own would add pictures to it with every window
// opened (about 7 KB a window, until the cache's limit of 10 MB).

// The Report button's magnifying glass, one for each pixel density met (a handful at most),
// kept until the program ends.
QIcon MagnifierIcon(qreal dpr)
{
    static std::map<qreal, QIcon> made;
    QIcon& icon = made[dpr];
    if (!icon.isNull())
        return icon;
    QPixmap pm(QSize(16, 16) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        // A light rim under the dark strokes: the glass shows on dark buttons as well.
        const std::pair<QColor, double> strokes[] = {{QColor(0xf4, 0xf8, 0xfc), 1.4}, {QColor(0x2b, 0x4f, 0x7a), 0.0}};
        for (const auto& [color, extra] : strokes) {
            p.setPen(QPen(color, 2.4 + extra, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(10.2, 10.2), QPointF(14.3, 14.3));
            p.setPen(QPen(color, 1.6 + extra));
            p.setBrush(QColor(0xd8, 0xea, 0xfb));
            p.drawEllipse(QPointF(6.6, 6.6), 4.8, 4.8);
        }
    }
    icon = QIcon(pm);
    return icon;
}

// The current page's button: never enabled, its number in the (active) highlight colour of
// `base`, made to read on the button: a bold accent, as the desktop's own highlight colours
// are on light buttons, kept unless it fades into the button (dark themes). One palette
// while `base` stays the same.
constexpr double kAccentContrast = 3.0;
QPalette CurrentPagePalette(const QPalette& base)
{
    static qint64 madeOf = 0;
    static QPalette made;
    if (base.cacheKey() != madeOf) {
        made = base;
        made.setColor(QPalette::Disabled, QPalette::ButtonText,
                      ReadableOn(base.color(QPalette::Active, QPalette::Highlight),
                                 base.color(QPalette::Disabled, QPalette::Button), kAccentContrast));
        madeOf = base.cacheKey();
    }
    QPalette shown = made;
    shown.setCurrentColorGroup(base.currentColorGroup()); // not another palette for the style
    return shown;
}

// It paints with that palette instead of taking it as its own: a widget's own palette is a
// new one for every widget (resolved against the inherited one), however alike.
class TCurrentPageButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.palette = CurrentPagePalette(option.palette);
        p.drawControl(QStyle::CE_PushButton, option);
    }
};

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
        SetPanelText(label);
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

QPushButton* PageButton(QWidget* parent, const QString& name, bool current = false)
{
    QPushButton* b = current ? new TCurrentPageButton(QStringLiteral("1"), parent)
                             : new QPushButton(QStringLiteral("1"), parent);
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

// The filter panel's scroll area, for windows lower than the panel: it is shown and hidden
// with the panel and grows by its scroll bar while that is shown.
class TFilterScroll : public QObject {
public:
    TFilterScroll(QScrollArea* area, QWidget* panel) : QObject(area), FArea(area), FPanel(panel)
    {
        panel->installEventFilter(this);
        area->verticalScrollBar()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        const QEvent::Type type = e->type();
        if (watched == FPanel && (type == QEvent::ShowToParent || type == QEvent::HideToParent))
            FArea->setVisible(type == QEvent::ShowToParent);
        if (watched == FArea->verticalScrollBar() && (type == QEvent::Show || type == QEvent::Hide))
            FArea->setFixedWidth(FPanel->width() +
                                 (type == QEvent::Show ? FArea->verticalScrollBar()->sizeHint().width() : 0));
        return false;
    }

private:
    QScrollArea* FArea;
    QWidget* FPanel;
};

} // namespace

void BuildReportWidgets(TAbsReportBaseForm& form, std::function<void()> onFilterBarClick)
{
    const qreal dpr = form.devicePixelRatioF();
    auto* root = new QVBoxLayout(&form);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // The bar across the top with the filter toggle on its left.
    form.SummaryPanel = new QFrame(&form);
    form.SummaryPanel->setObjectName(QStringLiteral("SummaryPanel"));
    form.SummaryPanel->setFixedHeight(kSummaryHeight);
    SetBackground(form.SummaryPanel, kInactiveCaptionGradient);
    auto* summary = new QHBoxLayout(form.SummaryPanel);
    summary->setContentsMargins(0, 0, 0, 0);
    summary->setSpacing(0);
    form.FiltersShowHidePanel = new QFrame(form.SummaryPanel);
    form.FiltersShowHidePanel->setObjectName(QStringLiteral("FiltersShowHidePanel"));
    form.FiltersShowHidePanel->setFixedWidth(kFilterPanelWidth);
    form.FiltersShowHidePanel->setCursor(Qt::PointingHandCursor);
    // The desktop's highlight colours, the background made deep enough for its text.
    const QColor barText = form.palette().color(QPalette::HighlightedText);
    SetBackground(form.FiltersShowHidePanel, ReadableBehind(form.palette().color(QPalette::Highlight), barText));
    auto* bar = new QHBoxLayout(form.FiltersShowHidePanel);
    bar->setContentsMargins(10, 0, 10, 0);
    auto arrow = [&](const QString& name, bool right) {
        auto* l = new QLabel(form.FiltersShowHidePanel);
        l->setObjectName(name);
        l->setFixedSize(16, 16);
        l->setPixmap(ArrowPixmap(right, barText, dpr));
        return l;
    };
    form.ShowLeftImage = arrow(QStringLiteral("ShowLeftImage"), true);
    form.HideLeftImage = arrow(QStringLiteral("HideLeftImage"), false);
    form.FiltersCaptionLabel = new QLabel(QStringLiteral("Филтри"), form.FiltersShowHidePanel);
    form.FiltersCaptionLabel->setObjectName(QStringLiteral("FiltersCaptionLabel"));
    form.FiltersCaptionLabel->setAlignment(Qt::AlignCenter);
    QFont bold = form.FiltersCaptionLabel->font();
    bold.setBold(true);
    form.FiltersCaptionLabel->setFont(bold);
    QPalette textPalette = form.FiltersCaptionLabel->palette();
    textPalette.setColor(QPalette::WindowText, barText);
    form.FiltersCaptionLabel->setPalette(textPalette);
    form.ShowRightImage = arrow(QStringLiteral("ShowRightImage"), true);
    form.HideRightImage = arrow(QStringLiteral("HideRightImage"), false);
    bar->addWidget(form.ShowLeftImage);
    bar->addWidget(form.HideLeftImage);
    bar->addWidget(form.FiltersCaptionLabel, 1);
    bar->addWidget(form.ShowRightImage);
    bar->addWidget(form.HideRightImage);
    form.ShowLeftImage->hide();
    form.ShowRightImage->hide();
    auto* clicks = new TClickFilter(&form, std::move(onFilterBarClick));
    for (QWidget* w : std::initializer_list<QWidget*>{form.FiltersShowHidePanel, form.FiltersCaptionLabel,
                                                      form.ShowLeftImage, form.ShowRightImage, form.HideLeftImage,
                                                      form.HideRightImage})
        w->installEventFilter(clicks);
    summary->addWidget(form.FiltersShowHidePanel);
    summary->addSpacing(14);
    // What the grid shows: the report's caption and the row count of the latest run.
    // It gives up width to the window: the filters of a run in words may be long.
    form.SummaryLabel = new TElidedLabel({}, 0, form.SummaryPanel);
    form.SummaryLabel->setObjectName(QStringLiteral("SummaryLabel"));
    form.SummaryLabel->setTextFormat(Qt::RichText);
    SetPanelText(form.SummaryLabel);
    summary->addWidget(form.SummaryLabel, 1);
    root->addWidget(form.SummaryPanel);

    form.MainPanel = new QWidget(&form);
    form.MainPanel->setObjectName(QStringLiteral("MainPanel"));
    auto* main = new QHBoxLayout(form.MainPanel);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    root->addWidget(form.MainPanel, 1);

    // Filters on the left; hidden sub-panels take no room.
    form.FiltersPanel = new QFrame(form.MainPanel);
    form.FiltersPanel->setObjectName(QStringLiteral("FiltersPanel"));
    form.FiltersPanel->setFixedWidth(kFilterPanelWidth);
    form.FiltersPanel->resize(kFilterPanelWidth, form.FiltersPanel->height());
    SetBackground(form.FiltersPanel, kActiveCaptionGradient);
    auto* filters = new QVBoxLayout(form.FiltersPanel);
    filters->setContentsMargins(0, 4, 0, 0);
    filters->setSpacing(0);
    auto datePicker = [&](const QString& name) {
        auto* d = new TDateField(form.FiltersPanel);
        d->setObjectName(name);
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setFixedWidth(kDatePickerWidth);
        return d;
    };
    form.FromDateFilterPicker = datePicker(QStringLiteral("FromDateFilterPicker"));
    form.ToDateFilterPicker = datePicker(QStringLiteral("ToDateFilterPicker"));
    form.PeriodFilterPanel = LabelledPanel(form.FiltersPanel, QStringLiteral("PeriodFilterPanel"), 105,
                                           QStringLiteral("От Дата"), form.FromDateFilterPicker,
                                           form.ToDateFilterPicker, QStringLiteral("До Дата"));
    auto lookup = [&](const QString& name) {
        auto* c = new QComboBox(form.FiltersPanel);
        c->setObjectName(name);
        c->setFixedWidth(kLookupWidth);
        c->setMaxVisibleItems(20);
        // The width is fixed: the box need not measure every entry (thousands of stores,
        // devices or operators) for a size it is never given.
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        return c;
    };
    form.StoreFilterLookup = lookup(QStringLiteral("StoreFilterLookup"));
    form.FiscalDeviceFilterLookup = lookup(QStringLiteral("FiscalDeviceFilterLookup"));
    form.UserFilterLookup = lookup(QStringLiteral("UserFilterLookup"));
    form.StoreFilterPanel = LabelledPanel(form.FiltersPanel, QStringLiteral("StoreFilterPanel"), 56,
                                          QStringLiteral("Търговски обект"), form.StoreFilterLookup);
    form.FpFilterPanel = LabelledPanel(form.FiltersPanel, QStringLiteral("FpFilterPanel"), 56,
                                       QStringLiteral("Фискално устройство"), form.FiscalDeviceFilterLookup);
    form.UserFilterPanel = LabelledPanel(form.FiltersPanel, QStringLiteral("UserFilterPanel"), 56,
                                         QStringLiteral("Потребител"), form.UserFilterLookup);
    form.ReportButtonPanel = new QWidget(form.FiltersPanel);
    form.ReportButtonPanel->setObjectName(QStringLiteral("ReportButtonPanel"));
    auto* buttonLayout = new QVBoxLayout(form.ReportButtonPanel);
    buttonLayout->setContentsMargins(8, 10, 8, 8);
    form.ReportButton = new QPushButton(MagnifierIcon(dpr), QStringLiteral("Справка"), form.ReportButtonPanel);
    form.ReportButton->setObjectName(QStringLiteral("ReportButton"));
    form.ReportButton->setFixedSize(161, kPageButtonHeight);
    form.ReportButton->setDefault(true);
    buttonLayout->addWidget(form.ReportButton, 0, Qt::AlignLeft);
    buttonLayout->addStretch(1);
    for (QWidget* w : {form.PeriodFilterPanel, form.StoreFilterPanel, form.FpFilterPanel, form.UserFilterPanel})
        filters->addWidget(w);
    filters->addWidget(form.ReportButtonPanel, 1);
    auto* filterScroll = new QScrollArea(form.MainPanel);
    filterScroll->setObjectName(QStringLiteral("FiltersScrollArea"));
    filterScroll->setFrameShape(QFrame::NoFrame);
    filterScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    filterScroll->setWidgetResizable(true);
    filterScroll->setWidget(form.FiltersPanel);
    filterScroll->setFixedWidth(kFilterPanelWidth);
    filterScroll->setMinimumHeight(0);
    new TFilterScroll(filterScroll, form.FiltersPanel);
    main->addWidget(filterScroll);

    // The grid area and the pager under it.
    form.GridPanel = new QWidget(form.MainPanel);
    form.GridPanel->setObjectName(QStringLiteral("GridPanel"));
    auto* gridLayout = new QVBoxLayout(form.GridPanel);
    gridLayout->setContentsMargins(0, 0, 0, 0);
    gridLayout->setSpacing(0);
    auto* gridArea = new QWidget(form.GridPanel);
    auto* stack = new QGridLayout(gridArea);
    stack->setContentsMargins(0, 0, 0, 0);
    form.ReportDataSource = new TDataSource(&form);
    form.ReportDataSource->setObjectName(QStringLiteral("ReportDataSource"));
    form.ReportDBGrid = new QTableView(gridArea);
    form.ReportDBGrid->setObjectName(QStringLiteral("ReportDBGrid"));
    form.ReportDBGrid->setModel(form.ReportDataSource);
    form.ReportDBGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    form.ReportDBGrid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    form.ReportDBGrid->setAlternatingRowColors(true);
    form.ReportDBGrid->setWordWrap(false);
    form.ReportDBGrid->setTextElideMode(Qt::ElideRight);
    form.ReportDBGrid->horizontalHeader()->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    form.ReportDBGrid->horizontalHeader()->setHighlightSections(false);
    form.ReportDBGrid->verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form.ReportDBGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    form.ReportDBGrid->verticalHeader()->setDefaultSectionSize(form.fontMetrics().height() + 6);
    {
        // Two lines of caption in the column titles.
        const int h = 2 * form.fontMetrics().lineSpacing() + 10;
        form.ReportDBGrid->horizontalHeader()->setFixedHeight(h);
    }
    // The selected cells: their figures in the summary bar, their copy by Ctrl+C and the
    // context menu.
    form.GridSelection = new TGridSelection(form.ReportDBGrid, form.ReportDataSource, form.SummaryPanel);
    SetPanelText(form.GridSelection->Label());

    form.LoadingPanel = new QWidget(gridArea);
    form.LoadingPanel->setObjectName(QStringLiteral("LoadingPanel"));
    SetBackground(form.LoadingPanel, Qt::white);
    auto* loading = new QVBoxLayout(form.LoadingPanel);
    loading->setContentsMargins(0, 0, 0, 0);
    form.LoadingGifImage = new TLoadingAnimation(form.LoadingPanel);
    form.LoadingGifImage->setObjectName(QStringLiteral("LoadingGifImage"));
    loading->addWidget(form.LoadingGifImage);
    // Under the arc: the way out of a load that takes too long (Esc does the same).
    form.CancelLoadButton = new QPushButton(QStringLiteral("Отказ"), form.LoadingGifImage);
    form.CancelLoadButton->setObjectName(QStringLiteral("CancelLoadButton"));
    form.CancelLoadButton->setToolTip(QStringLiteral("Прекратява зареждането и връща предишния изглед (Esc)"));
    form.CancelLoadButton->setFocusPolicy(Qt::NoFocus);
    form.LoadingGifImage->PlaceBelow(form.CancelLoadButton);
    stack->addWidget(form.ReportDBGrid, 0, 0);
    stack->addWidget(form.LoadingPanel, 0, 0);
    gridLayout->addWidget(gridArea, 1);

    form.PagingPanel = new QFrame(form.GridPanel);
    form.PagingPanel->setObjectName(QStringLiteral("PagingPanel"));
    form.PagingPanel->setFixedHeight(kPageButtonHeight + 6);
    SetBackground(form.PagingPanel, kInactiveCaptionGradient);
    auto* paging = new QHBoxLayout(form.PagingPanel);
    paging->setContentsMargins(8, 3, 4, 3);
    paging->setSpacing(6);
    // The pager's buttons keep their room in a narrow window; the caption gives way.
    form.RecorsPerPageLabel = new TElidedLabel(QStringLiteral("Записи на страница"), 6, form.PagingPanel);
    form.RecorsPerPageLabel->setObjectName(QStringLiteral("RecorsPerPageLabel"));
    SetPanelText(form.RecorsPerPageLabel);
    form.cbRecordsPerPage = new QComboBox(form.PagingPanel);
    form.cbRecordsPerPage->setObjectName(QStringLiteral("cbRecordsPerPage"));
    for (int size : kPageSizes)
        form.cbRecordsPerPage->addItem(QString::number(size));
    form.cbRecordsPerPage->setCurrentIndex(kDefaultPageSizeIndex);
    form.cbRecordsPerPage->setMinimumWidth(70);
    paging->addWidget(form.RecorsPerPageLabel);
    paging->addWidget(form.cbRecordsPerPage);
    paging->addStretch(1);
    form.PagesPanel = new QWidget(form.PagingPanel);
    form.PagesPanel->setObjectName(QStringLiteral("PagesPanel"));
    auto* pages = new QHBoxLayout(form.PagesPanel);
    pages->setContentsMargins(0, 0, 0, 0);
    pages->setSpacing(1);
    form.FirstPageButton = PageButton(form.PagesPanel, QStringLiteral("FirstPageButton"));
    form.PreviousPageButton = PageButton(form.PagesPanel, QStringLiteral("PreviousPageButton"));
    form.CurrentPageButton = PageButton(form.PagesPanel, QStringLiteral("CurrentPageButton"), true);
    form.NextPageButton = PageButton(form.PagesPanel, QStringLiteral("NextPageButton"));
    form.LastPageButton = PageButton(form.PagesPanel, QStringLiteral("LastPageButton"));
    form.FirstPageButton->setToolTip(QStringLiteral("Първа страница"));
    form.PreviousPageButton->setToolTip(QStringLiteral("Предишна страница"));
    form.CurrentPageButton->setToolTip(QStringLiteral("Текуща страница"));
    form.NextPageButton->setToolTip(QStringLiteral("Следваща страница"));
    form.LastPageButton->setToolTip(QStringLiteral("Последна страница"));
    pages->addWidget(form.FirstPageButton);
    pages->addWidget(PagerSpacer(form.PagesPanel));
    pages->addWidget(form.PreviousPageButton);
    pages->addWidget(form.CurrentPageButton);
    pages->addWidget(form.NextPageButton);
    pages->addWidget(PagerSpacer(form.PagesPanel));
    pages->addWidget(form.LastPageButton);
    form.PagesPanel->setFixedWidth(5 * kPageButtonWidth + 2 * kPagerSpacerWidth + 6);
    paging->addWidget(form.PagesPanel);
    gridLayout->addWidget(form.PagingPanel);
    main->addWidget(form.GridPanel, 1);

    // The page on screen stands out, although its button is never enabled: bold, and in the
    // highlight colour (TCurrentPageButton).
    QFont currentFont = form.CurrentPageButton->font();
    currentFont.setBold(true);
    form.CurrentPageButton->setFont(currentFont);
}
