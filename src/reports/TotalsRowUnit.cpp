// The row of figures under a grid (see TotalsRowUnit.h).
#include "TotalsRowUnit.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QToolTip>

namespace {

constexpr int kPadding = 4;
const QColor kWarningColour(0xB0, 0x00, 0x20);

} // namespace

TTotalsRow::TTotalsRow(QTableView* grid, QWidget* parent) : QWidget(parent), FGrid(grid)
{
    setObjectName(QStringLiteral("TotalsRow"));
    QFont f = font();
    f.setBold(true);
    setFont(f);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMouseTracking(true);
    QHeaderView* header = grid->horizontalHeader();
    const auto repaint = [this] { update(); };
    connect(header, &QHeaderView::sectionResized, this, repaint);
    connect(header, &QHeaderView::sectionMoved, this, repaint);
    connect(header, &QHeaderView::geometriesChanged, this, repaint);
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    grid->installEventFilter(this);
    setVisible(!grid->isHidden());
}

QSize TTotalsRow::sizeHint() const { return {100, fontMetrics().height() + 8}; }

void TTotalsRow::SetCells(std::vector<TCell> cells)
{
    FCells = std::move(cells);
    for (int c = 0; c < int(FCells.size()) && c < FGrid->horizontalHeader()->count(); ++c)
        if (FGrid->columnWidth(c) < NeededWidth(c))
            FGrid->setColumnWidth(c, NeededWidth(c));
    update();
}

int TTotalsRow::NeededWidth(int logicalColumn) const
{
    if (logicalColumn < 0 || logicalColumn >= int(FCells.size()) || FCells[size_t(logicalColumn)].Text.isEmpty())
        return 0;
    return fontMetrics().horizontalAdvance(FCells[size_t(logicalColumn)].Text) + 2 * kPadding + 2;
}

void TTotalsRow::SetCaption(const QString& caption, const QString& toolTip, bool marked)
{
    FCaption = caption;
    FCaptionToolTip = toolTip;
    FCaptionMarked = marked;
    update();
}

bool TTotalsRow::eventFilter(QObject* watched, QEvent* e)
{
    // Shown with the grid: no figures under the loading picture or a blank window.
    if (watched == FGrid && (e->type() == QEvent::ShowToParent || e->type() == QEvent::HideToParent))
        setVisible(e->type() == QEvent::ShowToParent);
    else if (watched == FGrid && e->type() == QEvent::Resize)
        update();
    return QWidget::eventFilter(watched, e);
}

QRect TTotalsRow::CellRect(int logicalColumn) const
{
    const QHeaderView* header = FGrid->horizontalHeader();
    if (logicalColumn < 0 || logicalColumn >= header->count() || header->isSectionHidden(logicalColumn))
        return {};
    const int viewportX = FGrid->viewport()->mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
    return {viewportX + header->sectionViewportPosition(logicalColumn), 0, header->sectionSize(logicalColumn),
            height()};
}

QRect TTotalsRow::CaptionRect() const
{
    // From the row's left to the first figure on screen (at least the row numbers' width).
    const int viewportX = FGrid->viewport()->mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
    int right = width();
    for (int c = 0; c < int(FCells.size()); ++c) {
        if (FCells[size_t(c)].Text.isEmpty())
            continue;
        const QRect r = CellRect(c);
        if (!r.isEmpty() && r.right() >= viewportX)
            right = std::min(right, std::max(r.left(), viewportX));
    }
    return {0, 0, std::max(right, viewportX), height()};
}

void TTotalsRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Button));
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(0, 0, width(), 0);
    const int viewportX = FGrid->viewport()->mapTo(window(), QPoint(0, 0)).x() - mapTo(window(), QPoint(0, 0)).x();
    const int viewportRight = viewportX + FGrid->viewport()->width();
    const QColor text = palette().color(QPalette::ButtonText);
    const QRect caption = CaptionRect().adjusted(kPadding, 0, -kPadding, 0);
    p.setPen(FCaptionMarked ? kWarningColour : text);
    p.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter,
               fontMetrics().elidedText(FCaption, Qt::ElideRight, caption.width()));
    p.setClipRect(QRect(viewportX, 0, std::max(0, viewportRight - viewportX), height()));
    for (int c = 0; c < int(FCells.size()); ++c) {
        const TCell& cell = FCells[size_t(c)];
        const QRect r = CellRect(c);
        if (cell.Text.isEmpty() || r.isEmpty() || r.right() < viewportX || r.left() > viewportRight)
            continue;
        p.setPen(palette().color(QPalette::Midlight));
        p.drawLine(r.right(), 1, r.right(), height());
        p.setPen(cell.Marked ? kWarningColour : text);
        const QRect inner = r.adjusted(kPadding, 0, -kPadding, 0);
        p.drawText(inner, Qt::AlignRight | Qt::AlignVCenter,
                   fontMetrics().elidedText(cell.Text, Qt::ElideLeft, inner.width()));
    }
}

bool TTotalsRow::event(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(e);
        QString tip;
        for (int c = 0; c < int(FCells.size()) && tip.isEmpty(); ++c)
            if (!FCells[size_t(c)].Text.isEmpty() && CellRect(c).contains(help->pos()))
                tip = FCells[size_t(c)].ToolTip;
        if (tip.isEmpty() && CaptionRect().contains(help->pos()))
            tip = FCaptionToolTip;
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(e);
}
