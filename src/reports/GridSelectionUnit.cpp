// The selected cells of a report grid: their figures and their copy (see GridSelectionUnit.h).
#include "GridSelectionUnit.h"

#include "DecimalSumUnit.h"
#include "db/DataSourceUnit.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QTableView>
#include <algorithm>
#include <set>

namespace {

// A cell as spreadsheets read it from TAB-separated text.
QString CopyCell(QString text)
{
    if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r') && !text.contains(u'"'))
        return text;
    text.replace(QLatin1String("\""), QLatin1String("\"\""));
    return u'"' + text + u'"';
}

} // namespace

TGridSelection::TGridSelection(QTableView* grid, TDataSource* source, QWidget* summaryBar)
    : QObject(grid), FGrid(grid), FSource(source)
{
    setObjectName(QStringLiteral("GridSelection"));
    FLabel = new QLabel(summaryBar); // the bar's child
    FLabel->setObjectName(QStringLiteral("SelectionLabel"));
    FLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    FLabel->setContentsMargins(12, 0, 8, 0);
    FLabel->hide();
    if (auto* layout = qobject_cast<QHBoxLayout*>(summaryBar->layout()))
        layout->addWidget(FLabel);

    // Ctrl+C copies with the titles; the context menu offers both copies.
    auto* copyWithTitles = new QAction(QStringLiteral("Копирай със заглавията"), grid);
    copyWithTitles->setObjectName(QStringLiteral("CopyWithTitlesAction"));
    copyWithTitles->setShortcut(QKeySequence::Copy);
    copyWithTitles->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(copyWithTitles, &QAction::triggered, this, [this] { Copy(true); });
    auto* copy = new QAction(QStringLiteral("Копирай"), grid);
    copy->setObjectName(QStringLiteral("CopyAction"));
    QObject::connect(copy, &QAction::triggered, this, [this] { Copy(false); });
    grid->addAction(copy);
    grid->addAction(copyWithTitles);
    grid->setContextMenuPolicy(Qt::ActionsContextMenu);

    QObject::connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { Update(); });
    QObject::connect(source, &QAbstractItemModel::modelReset, this, [this] { Update(); });
}

QString TGridSelection::CopyText(bool withTitles) const
{
    const QItemSelection selection = FGrid->selectionModel()->selection();
    std::set<int> rows;
    std::set<int> visualColumns;
    const QHeaderView* header = FGrid->horizontalHeader();
    for (const QItemSelectionRange& range : selection) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.insert(r);
        for (int c = range.left(); c <= range.right(); ++c)
            if (!header->isSectionHidden(c))
                visualColumns.insert(header->visualIndex(c));
    }
    if (rows.empty() || visualColumns.empty())
        return {};
    QString text;
    const auto line = [&](const auto& cellOf) {
        bool first = true;
        for (const int visual : visualColumns) {
            if (!first)
                text += u'\t';
            first = false;
            text += CopyCell(cellOf(header->logicalIndex(visual)));
        }
        text += u'\n';
    };
    if (withTitles)
        line([&](int c) { return FSource->headerData(c, Qt::Horizontal).toString(); });
    for (const int r : rows)
        line([&](int c) {
            return FGrid->selectionModel()->isSelected(FSource->index(r, c)) ? FSource->CellText(r, c) : QString();
        });
    return text;
}

void TGridSelection::Copy(bool withTitles) const
{
    const QString text = CopyText(withTitles);
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

QString TGridSelection::FiguresText() const
{
    TQuery* query = FSource->DataSet();
    if (!query || !query->Active())
        return {};
    TDecimalSum sum;
    for (const QItemSelectionRange& range : FGrid->selectionModel()->selection())
        for (int c = range.left(); c <= range.right(); ++c) {
            // A number column's cell is counted when its text is a number: a value stored
            // there that is none shows as it is stored and is left out.
            if (c >= query->FieldCount() || !IsNumericFieldType(query->Fields(c).DataType()))
                continue;
            for (int r = range.top(); r <= range.bottom(); ++r)
                sum.Add(FSource->CellText(r, c));
        }
    if (sum.Count() < 2)
        return {};
    return QStringLiteral("Избрани: %1 · Сума: %2 · Средно: %3")
        .arg(QLocale(QLocale::Bulgarian).toString(sum.Count()), sum.Sum().BulgarianText(2),
             sum.Average().BulgarianText(2));
}

void TGridSelection::Update()
{
    const QString figures = FiguresText();
    FLabel->setText(figures);
    FLabel->setVisible(!figures.isEmpty());
}
