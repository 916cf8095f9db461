// The overview of the audit checks (see CheckOverviewUnit.h).
#include "CheckOverviewUnit.h"

#include "CheckFormUnit.h"
#include "CheckQueryUnit.h"
#include "common/MessageBoxUnit.h"
#include "db/Exception.h"
#include "db/SqlDataManagerUnit.h"
#include "reports/DateFieldUnit.h"
#include "reports/DecimalSumUnit.h"
#include "reports/LookupModelUnit.h"
#include "reports/ReportListUnit.h"
#include "reports/ReportMemoryUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr std::chrono::milliseconds kCancelPatience{500};

// The colour of a line with findings: a red that reads on the table's background.
QColor WarningColour(const QPalette& palette)
{
    const QColor base = palette.color(QPalette::Base);
    return base.lightnessF() < 0.5 ? QColor(0xff, 0x8a, 0x80) : QColor(0xb0, 0x1c, 0x1c);
}

// "Без филтър по оператор" for the filters set that the check does not take.
QString FiltersLeftOut(const TCheckDef& def, const TReportFilters& f)
{
    QStringList out;
    if (!(def.Filters & rfPeriod) && f.FromDate != 0)
        out << QStringLiteral("период");
    if (!(def.Filters & rfStore) && f.StoreN != 0)
        out << QStringLiteral("търговски обект");
    if (!(def.Filters & rfFP) && f.FiscalDeviceN != 0)
        out << QStringLiteral("фискално устройство");
    if (!(def.Filters & rfUser) && f.UserN != 0)
        out << QStringLiteral("оператор");
    return out.isEmpty() ? QString() : QStringLiteral("Без филтър по ") + out.join(QStringLiteral(", "));
}

// The filters of `f` the check takes.
TReportFilters FiltersFor(const TCheckDef& def, TReportFilters f)
{
    if (!(def.Filters & rfPeriod))
        f.FromDate = f.ToDate = 0;
    if (!(def.Filters & rfStore))
        f.StoreN = 0;
    if (!(def.Filters & rfFP))
        f.FiscalDeviceN = 0;
    if (!(def.Filters & rfUser))
        f.UserN = 0;
    return f;
}

} // namespace

TCheckOverviewForm::TCheckOverviewForm(QWidget* AOwner, const TSqlDBModel* aDBModel, TRepository* aRepository)
    : QWidget(AOwner), FDbModel(aDBModel), FRepository(aRepository)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Обобщение на проверките"));
    FSqlManager = TSqlDataModule::CreateManager(aDBModel);
    FQuery.SetConnection(&FSqlManager->OpenConnection());
    FQuery.AfterOpen = [this] { CheckArrived(); };
    FQuery.OnOpenError = [this](const QString& message) { CheckFailed(message); };
    for (const TCheckDef& def : CheckList())
        FLines.push_back(TLine{&def});
    BuildWidgets();
    FillLookups();
    for (int i = 0; i < int(FLines.size()); ++i)
        ShowLine(i);
    FitColumns();
    FAbandonedWatch = new QTimer(this);
    FAbandonedWatch->setInterval(250);
    QObject::connect(FAbandonedWatch, &QTimer::timeout, this, [this] {
        if (FQuery.Executing())
            return;
        FAbandonedWatch->stop();
        if (FTransaction) {
            FSqlManager->EndReadTransaction();
            FTransaction = false;
        }
        SetIdle(true);
    });
}

TCheckOverviewForm::~TCheckOverviewForm() { FQuery.Close(); }

void TCheckOverviewForm::BuildWidgets()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(6);
    auto* filters = new QHBoxLayout;
    filters->setSpacing(6);
    const auto caption = [&](const QString& text) { filters->addWidget(new QLabel(text, this)); };
    const auto date = [&](const QString& name) {
        auto* d = new TDateField(this);
        d->setObjectName(name);
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        d->setDate(QDate::currentDate());
        d->installEventFilter(this);
        filters->addWidget(d);
        return d;
    };
    const auto lookup = [&](const QString& name) {
        auto* c = new QComboBox(this);
        c->setObjectName(name);
        c->setMinimumWidth(120);
        c->setMaximumWidth(200);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->installEventFilter(this);
        filters->addWidget(c, 1);
        return c;
    };
    caption(QStringLiteral("От дата"));
    FromDateField = date(QStringLiteral("FromDateField"));
    caption(QStringLiteral("До дата"));
    ToDateField = date(QStringLiteral("ToDateField"));
    caption(QStringLiteral("Търговски обект"));
    StoreLookup = lookup(QStringLiteral("StoreLookup"));
    caption(QStringLiteral("ФУ"));
    DeviceLookup = lookup(QStringLiteral("DeviceLookup"));
    caption(QStringLiteral("Потребител"));
    UserLookup = lookup(QStringLiteral("UserLookup"));
    RunButton = new QPushButton(QStringLiteral("Провери"), this);
    RunButton->setObjectName(QStringLiteral("RunButton"));
    RunButton->setDefault(true);
    RunButton->setToolTip(QStringLiteral("Изпълнява всички проверки за избраните филтри"));
    filters->addWidget(RunButton);
    root->addLayout(filters);

    auto* progress = new QHBoxLayout;
    ProgressLabel = new QLabel(QStringLiteral("Изберете филтрите и натиснете „Провери“."), this);
    ProgressLabel->setObjectName(QStringLiteral("ProgressLabel"));
    ProgressLabel->setTextFormat(Qt::PlainText);
    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setRange(0, int(FLines.size()));
    ProgressBar->setValue(0);
    ProgressBar->setFixedWidth(220);
    CancelButton = new QPushButton(QStringLiteral("Отказ"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    CancelButton->setToolTip(QStringLiteral("Прекратява проверките (Esc)"));
    CancelButton->setEnabled(false);
    progress->addWidget(ProgressLabel, 1);
    progress->addWidget(ProgressBar);
    progress->addWidget(CancelButton);
    root->addLayout(progress);

    Model = new QStandardItemModel(0, colCount_, this);
    Model->setHorizontalHeaderLabels({QStringLiteral("Група"), QStringLiteral("Проверка"),
                                      QStringLiteral("Какво търси"), QStringLiteral("Находки"),
                                      QStringLiteral("Сума, лв."), QStringLiteral("Бележка")});
    Table = new QTableView(this);
    Table->setObjectName(QStringLiteral("OverviewTable"));
    Table->setModel(Model);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setAlternatingRowColors(true);
    Table->setWordWrap(false);
    Table->setTextElideMode(Qt::ElideRight);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    // What a check looks for takes the room left; its whole sentence is its tooltip.
    Table->horizontalHeader()->setSectionResizeMode(colPurpose, QHeaderView::Stretch);
    Table->horizontalHeader()->setHighlightSections(false);
    Table->setColumnWidth(colCount, 110);
    Table->setColumnWidth(colAmount, 110);
    Table->setColumnWidth(colNote, 240);
    Table->installEventFilter(this);
    root->addWidget(Table, 1);

    QObject::connect(RunButton, &QPushButton::clicked, this, [this] { Run(); });
    QObject::connect(CancelButton, &QPushButton::clicked, this, [this] { CancelRun(); });
    QObject::connect(Table, &QTableView::doubleClicked, this, [this](const QModelIndex& index) { OpenLine(index.row()); });
    FEsc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    FEsc->setContext(Qt::WidgetWithChildrenShortcut);
    FEsc->setEnabled(false);
    QObject::connect(FEsc, &QShortcut::activated, this, [this] { CancelRun(); });
    for (int i = 0; i < int(FLines.size()); ++i)
        Model->appendRow(QList<QStandardItem*>{});
    Model->setRowCount(int(FLines.size()));
}

void TCheckOverviewForm::FillLookups()
{
    // As the report windows fill them: on the window's connection, when it opens.
    const std::pair<QComboBox*, TLookupKind> lookups[] = {
        {StoreLookup, TLookupKind::Stores}, {DeviceLookup, TLookupKind::FiscalDevices}, {UserLookup, TLookupKind::Operators}};
    for (const auto& [box, kind] : lookups) {
        TQuery query(&FSqlManager->Connection(), ckStatic);
        query.SetSQL(QString::fromUtf16(LookupListItem(kind).Sql));
        TSqlDataManager::OpenQueryClean(query);
        TLookupModel::FillBox(box, query);
    }
}

TReportFilters TCheckOverviewForm::FieldFilters() const
{
    TReportFilters f;
    f.FromDate = DateToDays(FromDateField->date());
    f.ToDate = DateToDays(ToDateField->date());
    f.StoreN = StoreLookup->currentData().toString().toInt();
    f.FiscalDeviceN = DeviceLookup->currentData().toString().toInt();
    f.UserN = UserLookup->currentData().toString().toInt();
    return f;
}

TReportFilters TCheckOverviewForm::RunFilters() const { return FHasRun ? FRunFilters : FieldFilters(); }

void TCheckOverviewForm::SetIdle(bool idle)
{
    RunButton->setEnabled(idle);
    CancelButton->setEnabled(!idle && FCurrent >= 0);
    FEsc->setEnabled(!idle && FCurrent >= 0);
}

void TCheckOverviewForm::Run()
{
    if (Running() || !RunButton->isEnabled())
        return;
    for (TDateField* field : {FromDateField, ToDateField})
        if (!field->Commit()) {
            field->setFocus();
            return;
        }
    FRunFilters = FieldFilters();
    FHasRun = true;
    for (TLine& line : FLines)
        line = TLine{line.Def};
    for (int i = 0; i < int(FLines.size()); ++i)
        ShowLine(i);
    try {
        // Every check sees the same state of the database, where the engine allows.
        FSqlManager->OpenConnection();
        FSqlManager->HoldReadTransaction();
        FTransaction = true;
    } catch (const Exception& e) {
        ProgressLabel->setText(e.Message());
        return;
    }
    ProgressBar->setValue(0);
    FCurrent = 0;
    SetIdle(false);
    Table->setFocus();
    StartCheck(0);
}

void TCheckOverviewForm::StartCheck(int index)
{
    FCurrent = index;
    TLine& line = FLines[size_t(index)];
    line.State = TLine::TState::Running;
    line.Note = FiltersLeftOut(*line.Def, FRunFilters);
    ShowLine(index);
    ProgressLabel->setText(QStringLiteral("Проверка %1 от %2: %3")
                               .arg(index + 1)
                               .arg(FLines.size())
                               .arg(QString::fromUtf16(line.Def->Title)));
    ProgressBar->setValue(index);
    const TCheckParams params =
        FDbModel && !FDbModel->DSN.isEmpty()
            ? TCheckForm::ParamsFromJson(TReportMemory::RecallExtra(FDbModel->DSN, line.Def->Grid))
            : TCheckParams{};
    try {
        FQuery.Close();
        FQuery.SetSQL(TCheckQuery(*FRepository, QDate::currentDate())
                          .OverviewSql(*line.Def, FiltersFor(*line.Def, FRunFilters), params));
        FQuery.SetRunMode(FSqlManager->QuickSelectSwitch());
        FQuery.OpenAsync();
    } catch (const Exception& e) {
        CheckFailed(e.Message());
    }
}

void TCheckOverviewForm::CheckArrived()
{
    if (FCurrent < 0)
        return;
    TLine& line = FLines[size_t(FCurrent)];
    try {
        if (!FQuery.Active() || FQuery.IsEmpty())
            throw Exception(QStringLiteral("Проверката не върна резултат."));
        line.Count = FQuery.Fields(0).AsLargeInt();
        line.Amount.clear();
        if (line.Def->AmountColumn >= 0 && FQuery.FieldCount() >= 4) {
            const TField& sum = FQuery.Fields(1);
            TDecimal value;
            if (!sum.IsNull()) {
                const bool read = FRepository->TotalsInHundredths() ? TDecimal::FromHundredths(sum.AsString(), value)
                                                                    : TDecimal::Parse(sum.AsString(), value);
                if (!read)
                    throw Exception(QStringLiteral("Сумата \"%1\" не е число.").arg(sum.AsString()));
            }
            line.Amount = value.Text(2);
            const qint64 leftOut = FQuery.Fields(2).AsLargeInt() + FQuery.Fields(3).AsLargeInt();
            if (leftOut > 0) {
                const QString note = QStringLiteral("%1 стойности не са пресметнати в сумата").arg(leftOut);
                line.Note = line.Note.isEmpty() ? note : line.Note + QStringLiteral("; ") + note;
            }
        }
        line.State = TLine::TState::Done;
    } catch (const Exception& e) {
        FQuery.Close();
        CheckFailed(e.Message());
        return;
    }
    FQuery.Close();
    ShowLine(FCurrent);
    Next();
}

void TCheckOverviewForm::CheckFailed(const QString& message)
{
    if (FCurrent < 0)
        return;
    TLine& line = FLines[size_t(FCurrent)];
    line.State = TLine::TState::Failed;
    line.Note = QStringLiteral("Грешка: ") + message;
    ShowLine(FCurrent);
    // A failed statement ends the transaction on some engines: the checks after it run in one
    // of their own.
    try {
        FQuery.Close();
        FSqlManager->EndReadTransaction();
        FSqlManager->HoldReadTransaction();
    } catch (const Exception& e) {
        EndRun(e.Message());
        return;
    }
    Next();
}

void TCheckOverviewForm::Next()
{
    if (FCurrent + 1 < int(FLines.size())) {
        StartCheck(FCurrent + 1);
        return;
    }
    int withFindings = 0;
    for (const TLine& line : FLines)
        withFindings += line.State == TLine::TState::Done && line.Count > 0;
    ProgressBar->setValue(int(FLines.size()));
    EndRun(QStringLiteral("Готово. Проверки: %1, с находки: %2.").arg(FLines.size()).arg(withFindings));
}

void TCheckOverviewForm::FitColumns()
{
    // Wide enough for the titles in bold, with the warning mark.
    for (int c : {int(colGroup), int(colTitle)}) {
        Table->resizeColumnToContents(c);
        Table->setColumnWidth(c, std::min(Table->columnWidth(c) + 8, 360));
    }
}

void TCheckOverviewForm::EndRun(const QString& progress)
{
    FCurrent = -1;
    if (FTransaction) {
        FSqlManager->EndReadTransaction();
        FTransaction = false;
    }
    ProgressLabel->setText(progress);
    FitColumns();
    SetIdle(true);
}

void TCheckOverviewForm::CancelRun()
{
    if (!Running())
        return;
    const int stoppedAt = FCurrent;
    FCurrent = -1;
    // The running statement is cancelled; one its server does not let go of keeps the
    // connection (and the Run button) until it does.
    const bool stopped = FQuery.TryClose(kCancelPatience);
    for (int i = stoppedAt; i < int(FLines.size()); ++i) {
        FLines[size_t(i)].State = TLine::TState::Cancelled;
        FLines[size_t(i)].Note.clear();
        ShowLine(i);
    }
    ProgressLabel->setText(QStringLiteral("Прекратено при проверка %1 от %2.").arg(stoppedAt + 1).arg(FLines.size()));
    if (stopped) {
        if (FTransaction) {
            FSqlManager->EndReadTransaction();
            FTransaction = false;
        }
        SetIdle(true);
    } else {
        RunButton->setEnabled(false);
        CancelButton->setEnabled(false);
        FEsc->setEnabled(false);
        FAbandonedWatch->start();
    }
}

void TCheckOverviewForm::ShowLine(int index)
{
    const TLine& line = FLines[size_t(index)];
    const TCheckDef& def = *line.Def;
    const bool found = line.State == TLine::TState::Done && line.Count > 0;
    const QLocale bg(QLocale::Bulgarian);
    QString count;
    switch (line.State) {
    case TLine::TState::NotRun: break;
    case TLine::TState::Running: count = QStringLiteral("…"); break;
    case TLine::TState::Done: count = bg.toString(line.Count); break;
    case TLine::TState::Failed: count = QStringLiteral("грешка"); break;
    case TLine::TState::Cancelled: count = QStringLiteral("не е проверено"); break;
    }
    const QString texts[colCount_] = {CheckGroupCaption(def.Group), QString::fromUtf16(def.Title),
                                      QString::fromUtf16(def.Purpose), count,
                                      line.State == TLine::TState::Done ? line.Amount : QString(), line.Note};
    QFont font = Table->font();
    font.setBold(found);
    const QColor warning = WarningColour(Table->palette());
    for (int c = 0; c < colCount_; ++c) {
        auto* item = new QStandardItem(texts[c]);
        item->setToolTip(texts[c].toHtmlEscaped());
        item->setFont(font);
        if (c == colCount || c == colAmount)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (found && (c == colTitle || c == colCount))
            item->setForeground(warning);
        if (line.State == TLine::TState::Failed && c == colNote)
            item->setForeground(warning);
        if (found && c == colTitle)
            item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
        Model->setItem(index, c, item);
    }
}

void TCheckOverviewForm::OpenLine(int row)
{
    if (row < 0 || row >= int(FLines.size()) || !OnOpenCheck)
        return;
    try {
        OnOpenCheck(*FLines[size_t(row)].Def, RunFilters());
    } catch (const Exception& e) {
        ShowErrorBox(e.Message());
    }
}

bool TCheckOverviewForm::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == Table) {
                OpenLine(Table->currentIndex().row());
                return true;
            }
            if (RunButton->isEnabled()) {
                Run();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TCheckOverviewForm::changeEvent(QEvent* e)
{
    QWidget::changeEvent(e);
    // The warning colour follows the palette (a light or a dark one).
    if (e->type() == QEvent::PaletteChange && Model)
        for (int i = 0; i < int(FLines.size()); ++i)
            ShowLine(i);
}

void TCheckOverviewForm::closeEvent(QCloseEvent* e)
{
    FCurrent = -1;
    const bool stopped = FQuery.TryClose(kCancelPatience);
    if (!stopped && parentWidget()) {
        // The server does not answer the cancel: the window goes at once and is freed once its
        // worker has let go of the query and the connection.
        hide();
        setAttribute(Qt::WA_DeleteOnClose, false);
        setParent(nullptr);
        auto* reaper = new QTimer(this);
        connect(reaper, &QTimer::timeout, this, [this] {
            if (!FQuery.Executing())
                deleteLater();
        });
        reaper->start(250);
    }
    QWidget::closeEvent(e);
}
