#pragma once
// TDataSource: binds a static query to a grid. The grid reads only the cells it paints, so
// attaching a page of thousands of rows costs nothing until it is shown.

#include "QueryUnit.h"

#include <QAbstractTableModel>

class TDataSource : public QAbstractTableModel {
public:
    explicit TDataSource(QObject* parent = nullptr);
    ~TDataSource() override;

    // Attaches an open static query (nullptr detaches). The grid follows the query: when the
    // query closes while attached, the grid shows no rows.
    void SetDataSet(TQuery* query);
    TQuery* DataSet() const { return FQuery; }

    // Number shown in the row header of the first row (a page's first row number).
    void SetFirstRowNumber(qint64 number);
    qint64 FirstRowNumber() const { return FFirstRowNumber; }

    // The text of one cell as the grid shows it.
    QString CellText(int row, int column) const;
    // A field's text for the grid: its display text, with numbers of a fractional type given
    // at least two decimals ("12.5" -> "12.50", "3" -> "3.00"); more decimals are kept as
    // they are, so nothing is rounded away.
    static QString GridText(const TField& field);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void QueryChanged();

    TQuery* FQuery = nullptr;
    int FObserverId = 0;
    int FRows = 0;
    int FColumns = 0;
    qint64 FFirstRowNumber = 1;
};
