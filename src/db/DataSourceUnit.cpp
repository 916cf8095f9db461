// A static query as the model of a grid.
#include "DataSourceUnit.h"

#include <climits>

namespace {

bool IsFractionalType(TFieldType t)
{
    switch (t) {
    case ftSingle:
    case ftFloat:
    case ftExtended:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd: return true;
    default: return false;
    }
}

} // namespace

TDataSource::TDataSource(QObject* parent) : QAbstractTableModel(parent) {}

TDataSource::~TDataSource()
{
    if (FQuery)
        FQuery->RemoveDataObserver(FObserverId);
}

void TDataSource::SetDataSet(TQuery* query)
{
    if (query == FQuery)
        return;
    beginResetModel();
    if (FQuery)
        FQuery->RemoveDataObserver(FObserverId);
    FQuery = query;
    FObserverId = FQuery ? FQuery->AddDataObserver([this] { QueryChanged(); }) : 0;
    const bool open = FQuery && FQuery->Active();
    FRows = open ? int(std::min<qint64>(FQuery->RecordCount(), INT_MAX)) : 0;
    FColumns = open ? FQuery->FieldCount() : 0;
    endResetModel();
}

void TDataSource::QueryChanged()
{
    // Row moves change nothing a grid shows; an open or a close changes everything.
    const bool open = FQuery->Active();
    const int rows = open ? int(std::min<qint64>(FQuery->RecordCount(), INT_MAX)) : 0;
    const int columns = open ? FQuery->FieldCount() : 0;
    if (rows == FRows && columns == FColumns && open)
        return;
    beginResetModel();
    FRows = rows;
    FColumns = columns;
    endResetModel();
}

void TDataSource::SetFirstRowNumber(qint64 number)
{
    FFirstRowNumber = number;
    if (FRows > 0)
        emit headerDataChanged(Qt::Vertical, 0, FRows - 1);
}

QString TDataSource::GridText(const TField& field)
{
    QString text = field.DisplayText();
    if (text.isEmpty() || !IsFractionalType(field.DataType()) || !field.DisplayFormat.isEmpty())
        return text;
    // Only a plain decimal number is padded: an exponent, NaN, Infinity or a stored text
    // that is no number shows as it is.
    for (const QChar c : text)
        if (!c.isDigit() && c != QLatin1Char('.') && c != QLatin1Char('-') && c != QLatin1Char('+'))
            return text;
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return text + QLatin1String(".00");
    const qsizetype decimals = text.size() - dot - 1;
    if (decimals < 2)
        text += QString(2 - decimals, QLatin1Char('0'));
    return text;
}

QString TDataSource::CellText(int row, int column) const
{
    if (!FQuery || row < 0 || row >= FRows || column < 0 || column >= FColumns)
        return {};
    FQuery->MoveTo(row);
    return GridText(FQuery->Fields(column));
}

int TDataSource::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

int TDataSource::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FColumns; }

QVariant TDataSource::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !FQuery)
        return {};
    switch (role) {
    case Qt::DisplayRole: return CellText(index.row(), index.column());
    case Qt::TextAlignmentRole: {
        const TAlignment a = FQuery->Fields(index.column()).Alignment;
        const Qt::Alignment h = a == taRightJustify ? Qt::AlignRight : a == taCenter ? Qt::AlignHCenter : Qt::AlignLeft;
        return QVariant::fromValue(h | Qt::AlignVCenter);
    }
    default: return {};
    }
}

QVariant TDataSource::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || !FQuery)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal)
        return section < FColumns ? FQuery->Fields(section).DisplayName() : QVariant();
    return QString::number(FFirstRowNumber + section);
}
