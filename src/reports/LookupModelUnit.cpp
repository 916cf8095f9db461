// The entries of a filter's lookup box (see LookupModelUnit.h).
#include "LookupModelUnit.h"

#include "db/QueryUnit.h"

#include <QComboBox>

void TLookupModel::FillBox(QComboBox* box, TQuery& query)
{
    // The entries go to the box in one model: added one by one, each of thousands of entries
    // would be an item of its own, announced to the box and its views on its own.
    std::vector<TEntry> entries;
    entries.push_back({QStringLiteral("<Всички>"), QStringLiteral("0")});
    for (query.First(); !query.Eof(); query.Next())
        entries.push_back({query.Fields(1).AsString(), query.Fields(0).AsString()});
    box->setModel(new TLookupModel(std::move(entries), box)); // the box's child
    // The box is narrower than long names: its tooltip, like its list's, holds the whole.
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [box] { box->setToolTip(box->currentText()); });
    box->setCurrentIndex(0);
    box->setToolTip(box->currentText());
}

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
