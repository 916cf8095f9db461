#pragma once
// The entries of a filter's lookup box (store, fiscal device, operator): a name shown and the
// number it stands for (Qt::UserRole, as text), held in one list, so that thousands of them
// reach the box in one step and cost no object each.

#include <QAbstractListModel>
#include <QString>
#include <vector>

class TLookupModel : public QAbstractListModel {
public:
    struct TEntry {
        QString Name;
        QString Number;
    };

    TLookupModel(std::vector<TEntry> entries, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<TEntry> FEntries;
};
