#pragma once
// The entries of a filter's lookup box (store, fiscal device, operator): a name shown and the
// number it stands for (Qt::UserRole, as text), held in one list, so that thousands of them
// reach the box in one step and cost no object each; and a box filled with them.

#include <QAbstractListModel>
#include <QString>
#include <vector>

class QComboBox;
class TQuery;

class TLookupModel : public QAbstractListModel {
public:
    struct TEntry {
        QString Name;
        QString Number;
    };

    TLookupModel(std::vector<TEntry> entries, QObject* parent);

    // Fills `box` with "<Всички>" (number 0) and the rows of the open `query` (number, then
    // name), the first chosen; the box's tooltip holds the whole name chosen.
    static void FillBox(QComboBox* box, TQuery& query);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<TEntry> FEntries;
};
