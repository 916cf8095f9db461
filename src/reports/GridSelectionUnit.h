#pragma once
// TGridSelection: what a report grid does with its selected cells. The count, exact sum and
// average of the selected numbers, in a label of the summary bar; and the copy of the
// selection as TAB-separated lines, with or without the column titles, by Ctrl+C and by the
// grid's context menu.

#include <QObject>
#include <QString>

class QLabel;
class QTableView;
class QWidget;
class TDataSource;

class TGridSelection : public QObject {
public:
    // A child of `grid`; its label goes at the end of `summaryBar`'s layout.
    TGridSelection(QTableView* grid, TDataSource* source, QWidget* summaryBar);

    // The selection as lines of TAB-separated cells, each line ending in a line break: the
    // rows and the columns that hold a selected cell (in the order shown), a cell left
    // empty where it is not selected, the column titles first when `withTitles`. A cell with
    // a TAB, a line break or a quote is quoted as spreadsheets read it. Empty for no selection.
    QString CopyText(bool withTitles) const;
    void Copy(bool withTitles) const;

    // "Избрани: 3 · Сума: 1 234,50 · Средно: 411,50" for the selected cells that hold
    // numbers; empty when fewer than two do.
    QString FiguresText() const;
    QLabel* Label() const { return FLabel; }

private:
    void Update();

    QTableView* FGrid;
    TDataSource* FSource;
    QLabel* FLabel;
};
