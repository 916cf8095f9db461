// The entries of a filter's lookup box (see LookupModelUnit.h).
#include "LookupModelUnit.h"

TLookupModel::TLookupModel(std::vector<TEntry> entries, QObject* parent)
    : QAbstractListModel(parent), FEntries(std::move(entries))
{
}

int TLookupModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(FEntries.size());
}

QVariant TLookupModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(FEntries.size()))
        return {};
    const TEntry& e = FEntries[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::ToolTipRole:
        return e.Name;
    case Qt::UserRole:
        return e.Number;
    default:
        return {};
    }
}
