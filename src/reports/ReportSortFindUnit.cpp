// The report window's column order and find field (see ReportSortFindUnit.h).
#include "ReportSortFindUnit.h"

#include "AbsReportBaseUnit.h"
#include "ReportFindUnit.h"
#include "ReportSortUnit.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>

TReportSortFind::TReportSortFind(TAbsReportBaseForm& form) : QObject(&form), FForm(form)
{
    QHeaderView* header = form.ReportDBGrid->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    QObject::connect(header, &QHeaderView::sectionClicked, this, [this](int column) { TitleClicked(column); });
    // A new page brings its titles back (the indicator stays with its column).
    QObject::connect(form.ReportDataSource, &QAbstractItemModel::modelReset, this, [this] {
        if (FForm.ReportDataSource->columnCount() > 0)
            ShowState();
    });

    FindPanel = new QFrame(form.GridPanel);
    FindPanel->setObjectName(QStringLiteral("FindPanel"));
    FindPanel->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(FindPanel);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(6);
    auto* label = new QLabel(QStringLiteral("Търсене:"), FindPanel);
    FindField = new QLineEdit(FindPanel);
    FindField->setObjectName(QStringLiteral("FindField"));
    FindField->setPlaceholderText(QStringLiteral("текст в текстовите колони на справката (Enter търси, Esc затваря)"));
    FindField->setClearButtonEnabled(true);
    FindField->setToolTip(QStringLiteral("Търси текста като част от текстовите колони, без значение малки или "
                                         "главни букви. Празен текст премахва търсенето."));
    label->setBuddy(FindField);
    auto* close = new QToolButton(FindPanel);
    close->setObjectName(QStringLiteral("FindCloseButton"));
    close->setText(QStringLiteral("✕"));
    close->setAutoRaise(true);
    close->setToolTip(QStringLiteral("Затваряне (Esc)"));
    FindField->setMinimumWidth(FindField->fontMetrics().horizontalAdvance(FindField->placeholderText()) + 40);
    row->addWidget(label);
    row->addWidget(FindField);
    row->addWidget(close);
    row->addStretch(1);
    if (auto* layout = qobject_cast<QBoxLayout*>(form.GridPanel->layout()))
        layout->insertWidget(0, FindPanel);
    FindPanel->hide();
    FindField->installEventFilter(this);
    QObject::connect(FindField, &QLineEdit::returnPressed, this, [this] { RunFind(); });
    QObject::connect(close, &QToolButton::clicked, this, [this] { CloseFind(); });

    auto* find = new QAction(&form);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(find, &QAction::triggered, this, [this] { OpenFind(); });
    form.addAction(find);
}

void TReportSortFind::ShowState()
{
    const TReportFilters& f = FForm.CurrentFilters();
    QHeaderView* header = FForm.ReportDBGrid->horizontalHeader();
    header->setSortIndicator(f.SortColumn, f.SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TReportSortFind::OpenFind()
{
    if (FindPanel->isHidden())
        FindField->setText(FForm.CurrentFilters().FindText);
    FindPanel->show();
    FindField->setFocus(Qt::ShortcutFocusReason);
    FindField->selectAll();
}

void TReportSortFind::CloseFind()
{
    FindPanel->hide();
    if (FForm.ReportDBGrid->isVisible())
        FForm.ReportDBGrid->setFocus();
}

bool TReportSortFind::eventFilter(QObject* watched, QEvent* e)
{
    // Esc is the field's: it closes the field and goes no further.
    if (watched == FindField && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Escape) {
        CloseFind();
        return true;
    }
    return QObject::eventFilter(watched, e);
}

void TReportSortFind::TitleClicked(int column)
{
    // The header has turned its indicator already; the window's order decides what it shows.
    if (!FForm.RerunWith([column](TReportFilters& f) { TReportSort::Click(f, column); }))
        ShowState();
}

void TReportSortFind::RunFind()
{
    const QString text = FindField->text();
    FForm.RerunWith([text](TReportFilters& f) { f.FindText = text; });
}
