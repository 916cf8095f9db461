#pragma once
// TTotalsRow: the row under a report's grid that shows a figure under some of its columns
// (the totals of the amount columns) and a caption at its left. It follows the grid's
// column widths, moves and horizontal scrolling, and is shown while the grid is.

#include <QString>
#include <QWidget>
#include <vector>

class QTableView;

class TTotalsRow : public QWidget {
public:
    struct TCell {
        QString Text;    // drawn at the right of the column's room
        QString ToolTip;
        bool Marked = false; // drawn in the warning colour
    };

    // Placed by the caller; watches `grid` (which outlives it, or dies with it as a sibling).
    TTotalsRow(QTableView* grid, QWidget* parent);

    // The figures, indexed by the grid's logical column; columns past the end show nothing.
    // A column narrower than its figure is widened to it.
    void SetCells(std::vector<TCell> cells);
    // The width column `logicalColumn` needs for its figure (0 for none).
    int NeededWidth(int logicalColumn) const;
    // The text at the row's left, and its tooltip. A long caption gives way to the first
    // figure: it is cut short, its tooltip keeps the whole.
    void SetCaption(const QString& caption, const QString& toolTip = {}, bool marked = false);

    const std::vector<TCell>& Cells() const { return FCells; }
    const QString& Caption() const { return FCaption; }
    const QString& CaptionToolTip() const { return FCaptionToolTip; }
    // The column's room in the row's coordinates (empty for a hidden column).
    QRect CellRect(int logicalColumn) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QRect CaptionRect() const;

    QTableView* FGrid;
    std::vector<TCell> FCells;
    QString FCaption;
    QString FCaptionToolTip;
    bool FCaptionMarked = false;
};
