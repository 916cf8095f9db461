// Painting and mouse handling of the ribbon's own widgets.

#include "RibbonWidgets.h"

#include "RibbonLook.h"
#include "UIRibbonUnit.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <algorithm>

// ---- Hover button ---------------------------------------------------------------------------

TRibbonHoverButton::TRibbonHoverButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
}

void TRibbonHoverButton::enterEvent(QEnterEvent* event)
{
    update();
    QAbstractButton::enterEvent(event);
}

void TRibbonHoverButton::leaveEvent(QEvent* event)
{
    update();
    QAbstractButton::leaveEvent(event);
}

// ---- Large button ---------------------------------------------------------------------------

TRibbonLargeButton::TRibbonLargeButton(TUICommandAction* command, QWidget* parent)
    : TRibbonHoverButton(parent), FCommand(command)
{
    setObjectName(command->Name());
    setProperty("ribbonRole", QStringLiteral("button"));
    setProperty("commandId", command->CommandId());
    Refresh();
    QObject::connect(command, &TUICommand::Changed, this, [this] { Refresh(); });
}


namespace {

// A large button's face: the hover frame, the picture, the label lines and, for a drop-down,
// a small arrow under them.
void PaintLargeButton(QAbstractButton* button, const QIcon& icon, const QStringList& lines, bool arrow)
{
    QPainter painter(button);
    if (button->isEnabled() && (button->isDown() || button->underMouse()))
        DrawHoverFrame(painter, button->rect(), button->isDown());
    const QIcon::Mode mode = button->isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QRect iconRect((button->width() - kLargeIcon) / 2, 3, kLargeIcon, kLargeIcon);
    icon.paint(&painter, iconRect, Qt::AlignCenter, mode);
    const QColor text = button->isEnabled() ? kText : kDisabledText;
    painter.setPen(text);
    const int lineHeight = button->fontMetrics().height();
    int y = iconRect.bottom() + 3;
    for (const QString& line : lines) {
        painter.drawText(QRect(0, y, button->width(), lineHeight),
                         Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, line);
        y += lineHeight;
    }
    if (arrow) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(text);
        const QPointF c(button->width() / 2.0, y + 4);
        painter.drawPolygon(QPolygonF{{c.x() - 3.5, c.y() - 2}, {c.x() + 3.5, c.y() - 2}, {c.x(), c.y() + 2}});
    }
}

int LargeButtonWidth(const QStringList& lines, const QFontMetrics& metrics)
{
    int width = kLargeIcon;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(StripMnemonic(line)));
    return std::max(kMinButtonWidth, width + 12);
}

} // namespace

void TRibbonLargeButton::paintEvent(QPaintEvent*)
{
    PaintLargeButton(this, FCommand->LargeImage(), FLines, false);
}

QSize TRibbonLargeButton::sizeHint() const
{
    return QSize(LargeButtonWidth(FLines, fontMetrics()), kButtonHeight);
}

void TRibbonLargeButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        Refresh();
    TRibbonHoverButton::changeEvent(event);
}

void TRibbonLargeButton::Refresh()
{
    setText(FCommand->Caption());
    setToolTip(TooltipHtml(FCommand->TooltipTitle(), FCommand->TooltipDescription()));
    setEnabled(FCommand->Enabled());
    FLines = SplitLabel(FCommand->Caption(), fontMetrics());
    updateGeometry();
    update();
}

// ---- Collapsed group's button ---------------------------------------------------------------

TRibbonGroupButton::TRibbonGroupButton(TUICommand* group, QWidget* parent)
    : TRibbonHoverButton(parent), FMenu(new QMenu(this))
{
    setObjectName(group->Name() + QStringLiteral("DropDown"));
    setProperty("ribbonRole", QStringLiteral("groupDropDown"));
    setText(group->Caption());
    setToolTip(TooltipHtml(group->Caption(), {}));
    FLines = SplitLabel(group->Caption(), fontMetrics());
    FMenu->setObjectName(group->Name() + QStringLiteral("Menu"));
    ApplyRibbonMenuLook(FMenu);
    QObject::connect(this, &QAbstractButton::pressed, this, [this] { ShowMenu(false); });
}

void TRibbonGroupButton::AddItem(TRibbonLargeButton* button)
{
    TUICommandAction* command = button->Command();
    if (FIcon.isNull())
        FIcon = command->LargeImage();
    QAction* item = FMenu->addAction(command->LargeImage(), command->Caption());
    item->setObjectName(command->Name());
    item->setEnabled(command->Enabled());
    QObject::connect(item, &QAction::triggered, button, &QAbstractButton::click);
    QObject::connect(command, &TUICommand::Changed, item, [item, command] {
        item->setText(command->Caption());
        item->setEnabled(command->Enabled());
    });
}

void TRibbonGroupButton::ShowMenu(bool selectFirst)
{
    setDown(false);
    FMenu->popup(mapToGlobal(QPoint(0, height())));
    if (selectFirst && !FMenu->actions().isEmpty())
        FMenu->setActiveAction(FMenu->actions().constFirst());
}

QSize TRibbonGroupButton::sizeHint() const
{
    return QSize(LargeButtonWidth(FLines, fontMetrics()), kButtonHeight + kCaptionHeight);
}

void TRibbonGroupButton::paintEvent(QPaintEvent*)
{
    PaintLargeButton(this, FIcon, FLines, true);
}

// ---- Group ----------------------------------------------------------------------------------

TRibbonGroup::TRibbonGroup(TUICommand* command, QWidget* parent) : QWidget(parent)
{
    setObjectName(command->Name());
    setProperty("ribbonRole", QStringLiteral("group"));
    setProperty("commandId", command->CommandId());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 5, 0);
    layout->setSpacing(0);
    FButtons = new QHBoxLayout;
    FButtons->setContentsMargins(0, 0, 0, 0);
    FButtons->setSpacing(2);
    layout->addLayout(FButtons);
    layout->addStretch(1);
    FCaption = new QLabel(command->Caption(), this);
    FCaption->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    FCaption->setTextFormat(Qt::PlainText);
    FCaption->setFixedHeight(kCaptionHeight);
    QPalette palette = FCaption->palette();
    palette.setColor(QPalette::WindowText, kCaptionText);
    FCaption->setPalette(palette);
    layout->addWidget(FCaption);
    QObject::connect(command, &TUICommand::Changed, FCaption, [this, command] { FCaption->setText(command->Caption()); });
    FDropDown = new TRibbonGroupButton(command, this);
    FDropDown->hide();
    FButtons->addWidget(FDropDown);
}

void TRibbonGroup::AddButton(TRibbonLargeButton* button)
{
    FButtons->insertWidget(FButtons->count() - 1, button);
    FButtonList.append(button);
    FDropDown->AddItem(button);
}

void TRibbonGroup::SetCollapsed(bool value)
{
    if (FCollapsed == value)
        return;
    FCollapsed = value;
    for (TRibbonLargeButton* button : std::as_const(FButtonList))
        button->setVisible(!value);
    FCaption->setVisible(!value);
    FDropDown->setVisible(value);
}

int TRibbonGroup::WidthWhen(bool collapsed) const
{
    const QMargins margins = layout()->contentsMargins();
    int content = 0;
    if (collapsed) {
        content = FDropDown->sizeHint().width();
    } else {
        for (const TRibbonLargeButton* button : FButtonList)
            content += button->sizeHint().width();
        content += FButtons->spacing() * std::max<int>(0, static_cast<int>(FButtonList.size()) - 1);
        content = std::max(content, FCaption->sizeHint().width());
    }
    return margins.left() + content + margins.right();
}

void TRibbonGroup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(kFrameLine);
    painter.drawLine(width() - 1, 3, width() - 1, height() - 4);
}

// ---- Band -----------------------------------------------------------------------------------

TRibbonBand::TRibbonBand(QWidget* parent) : QWidget(parent) { setFixedHeight(kBandHeight); }

void TRibbonBand::AddPage(QWidget* page)
{
    FPages.append(page);
    page->setVisible(FPages.size() - 1 == FCurrent);
    LayoutPages();
}

void TRibbonBand::SetCurrent(int index)
{
    FCurrent = index;
    for (qsizetype i = 0; i < FPages.size(); ++i)
        FPages[i]->setVisible(i == index);
    LayoutPages();
}

void TRibbonBand::resizeEvent(QResizeEvent*) { LayoutPages(); }

void TRibbonBand::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, kBandTop);
    gradient.setColorAt(1, kBandBottom);
    painter.fillRect(rect(), gradient);
    painter.setPen(kFrameLine);
    painter.drawLine(0, height() - 1, width(), height() - 1);
    if (parentWidget() && parentWidget()->windowType() == Qt::Popup) {
        painter.drawLine(0, 0, 0, height());
        painter.drawLine(width() - 1, 0, width() - 1, height());
    }
}

void TRibbonBand::LayoutPages()
{
    for (QWidget* page : std::as_const(FPages))
        FitPage(page);
}

void TRibbonBand::FitPage(QWidget* page)
{
    const QList<TRibbonGroup*> groups = page->findChildren<TRibbonGroup*>(Qt::FindDirectChildrenOnly);
    const QMargins margins = page->layout()->contentsMargins();
    int needed = margins.left() + margins.right();
    for (const TRibbonGroup* group : groups)
        needed += group->WidthWhen(false);
    // Collapse from the right until the page fits or every group is collapsed.
    qsizetype expanded = groups.size();
    while (expanded > 0 && needed > width()) {
        --expanded;
        needed += groups[expanded]->WidthWhen(true) - groups[expanded]->WidthWhen(false);
    }
    for (qsizetype i = 0; i < groups.size(); ++i)
        groups[i]->SetCollapsed(i >= expanded);
    page->setGeometry(0, 0, std::max(width(), needed), height() - 1);
}

// ---- Tab header -----------------------------------------------------------------------------

TRibbonTabHeader::TRibbonTabHeader(TUIRibbon* ribbon, TUICommand* command, int index, QWidget* parent)
    : TRibbonHoverButton(parent), FRibbon(ribbon), FIndex(index)
{
    setObjectName(command->Name());
    setProperty("ribbonRole", QStringLiteral("tab"));
    setProperty("commandId", command->CommandId());
    setText(command->Caption());
    QObject::connect(command, &TUICommand::Changed, this, [this, command] {
        setText(command->Caption());
        updateGeometry();
    });
}

QSize TRibbonTabHeader::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(StripMnemonic(text())) + 24, kTabRowHeight - 1);
}

bool TRibbonTabHeader::Selected() const
{
    return FRibbon->FActiveTab == FIndex && (!FRibbon->FMinimized || FRibbon->FBandPopup != nullptr);
}

void TRibbonTabHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        FRibbon->TabHeaderClicked(FIndex);
    event->accept();
}

void TRibbonTabHeader::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void TRibbonTabHeader::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        FRibbon->TabHeaderDoubleClicked(FIndex);
    event->accept();
}

void TRibbonTabHeader::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = rect();
    if (Selected()) {
        painter.fillRect(r, kBandTop);
        painter.setPen(kFrameLine);
        painter.drawLine(r.left(), r.top(), r.left(), r.bottom());
        painter.drawLine(r.left(), r.top(), r.right(), r.top());
        painter.drawLine(r.right(), r.top(), r.right(), r.bottom());
    } else if (underMouse()) {
        painter.fillRect(r.adjusted(1, 1, -1, -1), QColor(0xf2, 0xf6, 0xfb));
    }
    painter.setPen(Selected() || underMouse() ? kAccent : kText);
    painter.drawText(r.adjusted(0, 1, 0, 0), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

// ---- Application menu button ----------------------------------------------------------------

TRibbonApplicationButton::TRibbonApplicationButton(QWidget* parent) : TRibbonHoverButton(parent)
{
    setProperty("ribbonRole", QStringLiteral("applicationMenu"));
}

QSize TRibbonApplicationButton::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(StripMnemonic(text())) + 30, kTabRowHeight - 1);
}

void TRibbonApplicationButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QColor fill = kAccent;
    if (MenuOpen || isDown())
        fill = kAccent.darker(125);
    else if (underMouse())
        fill = kAccent.lighter(120);
    painter.fillRect(rect().adjusted(0, 0, 0, -1), fill);
    painter.setPen(Qt::white);
    painter.drawText(rect().adjusted(0, 0, 0, -1), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

// ---- Minimise button ------------------------------------------------------------------------

TRibbonMinimizeButton::TRibbonMinimizeButton(QWidget* parent) : TRibbonHoverButton(parent)
{
    setObjectName(QStringLiteral("RibbonMinimizeButton"));
    setFixedSize(22, 20);
}

void TRibbonMinimizeButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (underMouse() || isDown())
        DrawHoverFrame(painter, rect(), isDown());
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.4));
    const QPointF c(width() / 2.0, height() / 2.0);
    const double dy = PointsDown ? 2 : -2;
    painter.drawPolyline(QPolygonF{{c.x() - 4, c.y() - dy}, {c.x(), c.y() + dy}, {c.x() + 4, c.y() - dy}});
}

// ---- Tab row --------------------------------------------------------------------------------

TRibbonTabRow::TRibbonTabRow(QWidget* parent) : QWidget(parent) { setFixedHeight(kTabRowHeight); }

void TRibbonTabRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(kFrameLine);
    painter.drawLine(0, height() - 1, width(), height() - 1);
}

// ---- Band popup -----------------------------------------------------------------------------

TRibbonBandPopup::TRibbonBandPopup(TUIRibbon* ribbon) : QFrame(ribbon, Qt::Popup), FRibbon(ribbon)
{
    setObjectName(QStringLiteral("RibbonBandPopup"));
    setFont(ribbon->font());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FOpened.start();
}

void TRibbonBandPopup::mousePressEvent(QMouseEvent* event)
{
    // A press on a tab header while the band is open switches the tab; a second press
    // on the same header closes the band, or restores the ribbon when it is a double click.
    if (!rect().contains(event->position().toPoint())) {
        for (int i = 0; i < FRibbon->FTabHeaders.size(); ++i) {
            QAbstractButton* header = FRibbon->FTabHeaders[i];
            if (!header->rect().contains(header->mapFromGlobal(event->globalPosition().toPoint())))
                continue;
            if (i != FRibbon->FActiveTab) {
                FRibbon->SetActiveTabIndex(i);
                FOpened.restart();
                event->accept();
                return;
            }
            const bool doubleClick = FOpened.elapsed() <= QApplication::doubleClickInterval();
            close();
            if (doubleClick)
                FRibbon->SetMinimized(false);
            event->accept();
            return;
        }
    }
    QFrame::mousePressEvent(event);
}

void TRibbonBandPopup::hideEvent(QHideEvent* event)
{
    QFrame::hideEvent(event);
    FRibbon->BandPopupClosed();
}

// ---- Menu style -----------------------------------------------------------------------------

void ApplyRibbonMenuLook(QMenu* menu)
{
    auto* style = new TRibbonMenuStyle;
    style->setParent(menu);
    menu->setStyle(style);
    menu->setFont(RibbonFont());
    menu->setStyleSheet(QStringLiteral(
        "QMenu { background: white; border: 1px solid #a9b4c2; padding: 3px; }"
        "QMenu::item { padding: 7px 28px 7px 6px; margin: 1px; border: 1px solid transparent; color: #262626; }"
        "QMenu::item:selected { background: #e5f1fb; border: 1px solid #b9d7f2; }"
        "QMenu::item:disabled { color: #a0a0a0; }"
        "QMenu::icon { padding-left: 6px; }"
        "QMenu::separator { height: 1px; background: #d5d8dc; margin: 3px 4px; }"));
}

int TRibbonMenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    if (metric == PM_SmallIconSize)
        return kLargeIcon;
    return QProxyStyle::pixelMetric(metric, option, widget);
}
