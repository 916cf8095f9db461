// The window of one audit check (see CheckFormUnit.h).
#include "CheckFormUnit.h"

#include "CheckEvidenceUnit.h"
#include "CheckParamsPanelUnit.h"
#include "CheckQueryUnit.h"
#include "db/DataSourceUnit.h"
#include "db/Exception.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

TCheckForm::TCheckForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository, const TCheckDef& def)
    : TAbsReportBaseForm(AOwner, aDBModel, aRepository), FDef(def)
{
    setWindowTitle(QString::fromUtf16(def.Title));
    BuildParamsPanel();
    BuildEvidence();
    FormCreate();
}

TCheckForm::TCheckForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository, const TCheckDef& def,
                       const TReportFilters& filters)
    : TCheckForm(AOwner, aDBModel, aRepository, def)
{
    SetFilterFields(filters);
}

TCheckForm::~TCheckForm() = default;

TReportUIFilters TCheckForm::GetReportUIFilters() const { return FDef.Filters; }

const TReportDef& TCheckForm::GridDef() const { return FDef.Grid; }

void TCheckForm::FillReportQuery(QString& reportSql, QString& recCountSql)
{
    TCheckQuery(*FRepository, QDate::currentDate()).FillQuery(FDef, FCurrentFilters, FParams, reportSql, recCountSql);
}

QString TCheckForm::TotalsSql(const TReportFilters& filters) const
{
    return TCheckQuery(*FRepository, QDate::currentDate()).TotalsSql(FDef, filters, FParams);
}

QStringList TCheckForm::FilterWords() const
{
    return TAbsReportBaseForm::FilterWords() + FParams.Words(FDef.Params);
}

QStringList TCheckForm::ExportConditions() const
{
    return QStringList{QString::fromUtf16(FDef.Purpose)} + FilterWords();
}

// ---------------------------------------------------------------------------------------
// The parameters

void TCheckForm::BuildParamsPanel()
{
    if (FDef.Params == 0)
        return;
    // The captions of the filters lend the fields' captions their look.
    const QLabel* look = PeriodFilterPanel->findChild<QLabel*>();
    FParamsPanel = new TCheckParamsPanel(FDef.Params, look, FiltersPanel);
    auto* layout = static_cast<QVBoxLayout*>(FiltersPanel->layout());
    layout->insertWidget(layout->indexOf(ReportButtonPanel), FParamsPanel);
    for (QWidget* field : FParamsPanel->Fields())
        AddFilterField(field);
    if (FDef.Params & cpReversalActivities)
        LoadActivityNames();
    FParamsPanel->Show(FParams);
}

void TCheckForm::LoadActivityNames()
{
    // On the window's connection, as the filter lookups are filled; a view that cannot be
    // read leaves the chosen names alone in the list.
    TQuery names(&FSqlManager->Connection(), ckStatic);
    names.SetSQL(QStringLiteral("SELECT DISTINCT OperationName FROM OperationsAudit WHERE OperationName IS NOT NULL"));
    QStringList list;
    try {
        TSqlDataManager::OpenQueryClean(names);
        for (names.First(); !names.Eof(); names.Next())
            list << names.Fields(0).AsString();
    } catch (const Exception&) {
        list.clear();
    }
    list.sort(Qt::CaseInsensitive);
    FParamsPanel->SetActivityNames(list);
}

bool TCheckForm::CommitRunExtra()
{
    if (!FParamsPanel)
        return true;
    const std::optional<TCheckParams> read = FParamsPanel->Read(FParams);
    if (!read) {
        // The refused field is shown, with the focus on it.
        if (FiltersPanel->isHidden()) {
            QEvent toggle(WM_TOGGLE_FILTERS);
            QCoreApplication::sendEvent(this, &toggle);
            FParamsPanel->Read(FParams);
        }
        return false;
    }
    FParams = *read;
    return true;
}

QJsonObject TCheckForm::ParamsJson(const TCheckParams& params, TCheckParamSet which)
{
    QJsonObject extra;
    if (which & cpTolerance)
        extra[QStringLiteral("tolerance")] = params.ToleranceCents;
    if (which & cpOpenMinutes)
        extra[QStringLiteral("minutes")] = params.OpenMinutes;
    if (which & cpOpeningHours) {
        const bool set = params.HasOpeningHours();
        extra[QStringLiteral("opens")] = set ? params.OpensAt.toString(QStringLiteral("HH:mm")) : QString();
        extra[QStringLiteral("closes")] = set ? params.ClosesAt.toString(QStringLiteral("HH:mm")) : QString();
    }
    if (which & cpReversalActivities)
        extra[QStringLiteral("activities")] = QJsonArray::fromStringList(params.ReversalActivities);
    return extra;
}

TCheckParams TCheckForm::ParamsFromJson(const QJsonObject& extra)
{
    TCheckParams params;
    const qint64 cents = extra.value(QStringLiteral("tolerance")).toInteger(-1);
    if (cents >= 0)
        params.ToleranceCents = cents;
    const int minutes = extra.value(QStringLiteral("minutes")).toInt(0);
    if (minutes >= 1)
        params.OpenMinutes = minutes;
    const QTime opens = QTime::fromString(extra.value(QStringLiteral("opens")).toString(), QStringLiteral("HH:mm"));
    const QTime closes = QTime::fromString(extra.value(QStringLiteral("closes")).toString(), QStringLiteral("HH:mm"));
    if (opens.isValid() && closes.isValid() && opens != closes) {
        params.OpensAt = opens;
        params.ClosesAt = closes;
    }
    if (extra.value(QStringLiteral("activities")).isArray()) {
        params.ReversalActivities.clear();
        for (const QJsonValue& v : extra.value(QStringLiteral("activities")).toArray())
            if (v.isString())
                params.ReversalActivities << v.toString();
    }
    return params;
}

QJsonObject TCheckForm::RunExtra() const { return ParamsJson(FParams, FDef.Params); }

void TCheckForm::RecallRunExtra(const QJsonObject& extra)
{
    FParams = ParamsFromJson(extra);
    if (FParamsPanel)
        FParamsPanel->Show(FParams);
}

void TCheckForm::SetFilterFields(const TReportFilters& filters)
{
    if (filters.FromDate != 0 && filters.ToDate != 0) {
        FromDateFilterPicker->setDate(DaysToDate(filters.FromDate));
        ToDateFilterPicker->setDate(DaysToDate(filters.ToDate));
    }
    const std::pair<QComboBox*, int32_t> keyed[] = {{StoreFilterLookup, filters.StoreN},
                                                    {FiscalDeviceFilterLookup, filters.FiscalDeviceN},
                                                    {UserFilterLookup, filters.UserN}};
    for (const auto& [lookup, key] : keyed) {
        const int index = key != 0 ? lookup->findData(QString::number(key)) : 0;
        lookup->setCurrentIndex(std::max(index, 0));
    }
}

// ---------------------------------------------------------------------------------------
// The rows behind a finding

void TCheckForm::BuildEvidence()
{
    FEvidence = new TCheckEvidencePanel(FDbModel, *FRepository, this);
    FEvidence->hide();
    // The grid and the pager above, the rows behind a finding below, in a splitter.
    auto* mainLayout = static_cast<QHBoxLayout*>(MainPanel->layout());
    FSplitter = new QSplitter(Qt::Vertical, MainPanel);
    FSplitter->setObjectName(QStringLiteral("EvidenceSplitter"));
    FSplitter->setChildrenCollapsible(false);
    mainLayout->replaceWidget(GridPanel, FSplitter);
    FSplitter->addWidget(GridPanel);
    FSplitter->addWidget(FEvidence);
    FSplitter->setStretchFactor(0, 3);
    FSplitter->setStretchFactor(1, 2);

    EvidenceButton = new QPushButton(QStringLiteral("Покажи записите"), PagingPanel);
    EvidenceButton->setObjectName(QStringLiteral("EvidenceButton"));
    EvidenceButton->setToolTip(QStringLiteral("Записите от справките зад избраната находка (Enter, двукратно щракване)"));
    EvidenceButton->setEnabled(false);
    auto* paging = static_cast<QHBoxLayout*>(PagingPanel->layout());
    paging->insertSpacing(2, 12);
    paging->insertWidget(3, EvidenceButton);
    QObject::connect(EvidenceButton, &QPushButton::clicked, this, [this] { ShowEvidence(); });

    EvidenceAction = new QAction(QStringLiteral("Покажи записите"), ReportDBGrid);
    EvidenceAction->setObjectName(QStringLiteral("EvidenceAction"));
    QObject::connect(EvidenceAction, &QAction::triggered, this, [this] { ShowEvidence(); });
    const QList<QAction*> actions = ReportDBGrid->actions();
    ReportDBGrid->insertAction(actions.isEmpty() ? nullptr : actions.first(), EvidenceAction);
    if (!actions.isEmpty()) {
        auto* separator = new QAction(ReportDBGrid);
        separator->setSeparator(true);
        ReportDBGrid->insertAction(actions.first(), separator);
    }

    const auto update = [this] {
        const bool row = ReportDBGrid->currentIndex().isValid() && ReportDataSource->rowCount() > 0;
        EvidenceButton->setEnabled(row);
        EvidenceAction->setEnabled(row);
    };
    QObject::connect(ReportDataSource, &QAbstractItemModel::modelReset, this, update);
    QObject::connect(ReportDBGrid->selectionModel(), &QItemSelectionModel::currentChanged, this, update);
    QObject::connect(ReportDBGrid, &QTableView::doubleClicked, this, [this] { ShowEvidence(); });
    ReportDBGrid->installEventFilter(this);
    FEvidence->OnClose = [this] {
        FEvidence->hide();
        ReportDBGrid->setFocus();
    };
}

bool TCheckForm::ShowEvidence()
{
    const QModelIndex current = ReportDBGrid->currentIndex();
    TQuery* page = ReportDataSource->DataSet();
    if (!current.isValid() || !page || !page->Active() || current.row() >= ReportDataSource->rowCount())
        return false;
    page->MoveTo(current.row());
    // The finding's values the rows behind it are found by, as they are typed.
    std::vector<QVariant> keys;
    QStringList shown;
    const QStringList columns = QString::fromUtf16(FDef.EvidenceColumns).split(u',', Qt::SkipEmptyParts);
    for (const QString& alias : columns) {
        for (int c = 0; c < FDef.Grid.ColumnCount && c < page->FieldCount(); ++c) {
            if (alias.trimmed() != QStringView(FDef.Grid.Columns[c].Column))
                continue;
            const TField& field = page->Fields(c);
            if (field.IsNull())
                break;
            const QVariant value = IsNumericFieldType(field.DataType()) && field.Scale() == 0
                                       ? QVariant(field.AsLargeInt())
                                       : QVariant(field.AsString());
            if (!shown.contains(field.AsString())) {
                keys.push_back(value);
                shown << field.AsString();
            }
        }
    }
    if (FEvidence->isHidden()) {
        // The grid keeps the larger part of the window.
        FEvidence->show();
        const int height = FSplitter->height();
        FSplitter->setSizes({height * 55 / 100, height - height * 55 / 100});
    }
    FEvidence->Load(FDef.Evidence, keys, shown);
    return true;
}

bool TCheckForm::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ReportDBGrid && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ShowEvidence();
            return true;
        }
    }
    return TAbsReportBaseForm::eventFilter(watched, e);
}

void TCheckForm::closeEvent(QCloseEvent* e)
{
    FEvidence->Abandon(kClosePatience);
    TAbsReportBaseForm::closeEvent(e);
}
