// The export framework: the strategy sequence, the gauge and the progress dialog.
#include "ExportUnit.h"

#include "ExportExcelUnit.h"
#include "ExportTextUnit.h"
#include "db/DataSourceUnit.h"
#include "db/Exception.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <algorithm>

namespace {

TQuery* DataSetOfGrid(QTableView* grid)
{
    auto* source = grid ? dynamic_cast<TDataSource*>(grid->model()) : nullptr;
    return source ? source->DataSet() : nullptr;
}

} // namespace

// ---------------------------------------------------------------------------------------
// TExportStrategyAbs

TExportStrategyAbs::TExportStrategyAbs(const RExportOptions& exportOpts, const TExportSource& aDataSource,
                                       TQuery* aDataSet)
    : FDataSource(aDataSource), FDataSet(aDataSet), FExportOpts(exportOpts)
{
    if (aDataSource.Grid)
        FldCount = aDataSource.Grid->model() ? aDataSource.Grid->model()->columnCount() : 0;
    else if (aDataSource.DataSet)
        FldCount = aDataSource.DataSet->FieldCount();
    else
        throw Exception(QStringLiteral("TExportForm.GetDataSet Not implenented!"));
}

TExportStrategyAbs::~TExportStrategyAbs() = default;

std::unique_ptr<TExportStrategyAbs> TExportStrategyAbs::GetInstance(const RExportOptions& exportOpts,
                                                                    const TExportSource& aDataSource,
                                                                    TQuery* aDataSet)
{
    switch (exportOpts.ExportKind) {
    case ekTextFile: return std::make_unique<TExportTextStrategy>(exportOpts, aDataSource, aDataSet);
    case ekExcel: return std::make_unique<TExportExcelStrategy>(exportOpts, aDataSource, aDataSet);
    }
    throw Exception(QStringLiteral("Not implemented Export Kind - Init"));
}

bool TExportStrategyAbs::Init(int aRecCount)
{
    FRecCount = aRecCount;
    return true;
}

TField* TExportStrategyAbs::GetExportField(int index, int& width) const
{
    if (FDataSource.Grid) {
        if (FDataSource.Grid->isColumnHidden(index))
            return nullptr;
        width = (FDataSource.Grid->columnWidth(index) + 7) / 8;
        TQuery* q = DataSetOfGrid(FDataSource.Grid);
        return q && index < q->FieldCount() ? &q->Fields(index) : nullptr;
    }
    if (FDataSource.DataSet) {
        TField& f = FDataSource.DataSet->Fields(index);
        width = f.DisplayWidth;
        return &f;
    }
    throw Exception(QStringLiteral("TExportForm.SetDataField Not implenented!"));
}

void TExportStrategyAbs::ReportProgress(int progress, const QString& info)
{
    if (OnReportProgress)
        OnReportProgress(progress, info);
}

void TExportStrategyAbs::PumpMessages()
{
    if (OnPumpMessages)
        OnPumpMessages();
    else
        QCoreApplication::processEvents();
}

void TExportStrategyAbs::ShowError(const QString& message)
{
    if (OnShowError) {
        OnShowError(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool TExportStrategyAbs::MakeExport()
{
    bool result = false;
    if (!BeginExport())
        return false;
    if (FDataSource.DataSet)
        FldCount = FDataSource.DataSet->FieldCount(); // its statement may have run since
    // A cancel that came before the run leaves no open, empty target behind.
    if (IsCanceled) {
        EndExport(false);
        return false;
    }
    const QString n = QString::number(FRecCount);
    FDataSet->DisableControls();
    try {
        ReportProgress(0, QStringLiteral("Preparing header"));
        PumpMessages();
        WriteHeader();
        ReportProgress(0, QStringLiteral("0 / ") + n);
        FDataSet->First();
        int i = 0;
        bool canceled = false;
        while (!FDataSet->Eof()) {
            if (IsCanceled) {
                canceled = true;
                break;
            }
            if (i % 100 == 0) {
                ReportProgress(i, QString::number(i) + QLatin1Char('/') + n);
                PumpMessages();
            }
            ++i;
            WriteRecord();
            FDataSet->Next();
        }
        // A cancelled export is not an export: its partial target is removed.
        if (!canceled) {
            ReportProgress(FRecCount, QStringLiteral("Finalizing"));
            PumpMessages();
            WriteFooter();
            result = true;
        }
    } catch (...) {
        FDataSet->EnableControls();
        try {
            EndExport(false);
        } catch (...) {
        }
        throw;
    }
    FDataSet->EnableControls();
    EndExport(result);
    return result;
}

QString FileNameOfTitle(const QString& title)
{
    QString name = title.trimmed();
    for (QChar& c : name)
        if (c.unicode() < 32 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    return name;
}

// ---------------------------------------------------------------------------------------
// TGauge

TGauge::TGauge(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

int TGauge::PercentDone() const
{
    if (FMax == FMin)
        return 0;
    const int p = std::clamp(FProgress, std::min(FMin, FMax), std::max(FMin, FMax));
    return int(100.0 * double(p - FMin) / double(FMax - FMin));
}

void TGauge::Changed(int oldPercent)
{
    if (PercentDone() != oldPercent) {
        ++FRepaints;
        update();
    }
}

void TGauge::SetMinValue(int v)
{
    const int old = PercentDone();
    FMin = v;
    Changed(old);
}

void TGauge::SetMaxValue(int v)
{
    const int old = PercentDone();
    FMax = v;
    Changed(old);
}

void TGauge::SetProgress(int v)
{
    const int old = PercentDone();
    FProgress = v;
    Changed(old);
}

void TGauge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(rect(), Qt::white);
    const int percent = PercentDone();
    const QRect filled(r.left(), r.top(), r.width() * percent / 100, r.height());
    p.fillRect(filled, Qt::black);
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.drawRect(r);
    // The text reads on both parts: white over the filled part, black over the rest.
    const QString text = QStringLiteral("%1%").arg(percent);
    p.setClipRect(filled);
    p.setPen(Qt::white);
    p.drawText(rect(), Qt::AlignCenter, text);
    p.setClipRect(QRect(filled.right() + 1, 0, width(), height()));
    p.setPen(Qt::black);
    p.drawText(rect(), Qt::AlignCenter, text);
}

// ---------------------------------------------------------------------------------------
// TExportForm

std::function<void(TExportForm&)> TExportForm::OnShowing;

RExportOptions TExportForm::GetDefaultOpts() { return RExportOptions(); }

RExportOptions TExportForm::GetReportOpts(TExportKind kind, const QString& title)
{
    RExportOptions opts = GetDefaultOpts();
    opts.ExportKind = kind;
    opts.Header = false;
    opts.PageBreaks = false;
    opts.ClmDelimiter = QStringLiteral("\t");
    opts.FixedWidth = false;
    opts.Title = title;
    opts.Footer = nullptr;
    opts.FileName.clear();
    return opts;
}

TExportForm::TExportForm()
{
    setObjectName(QStringLiteral("ExportForm"));
    setWindowTitle(QStringLiteral("Export"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(361, 83);
    ExportProgress = new TGauge(this);
    ExportProgress->setObjectName(QStringLiteral("ExportProgress"));
    ExportProgress->setGeometry(0, 0, 361, 25);
    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setAlignment(Qt::AlignCenter);
    lblInfo->setGeometry(0, 31, 359, 15);
    lblDetail = new QLabel(this);
    lblDetail->setObjectName(QStringLiteral("lblDetail"));
    lblDetail->setAlignment(Qt::AlignCenter);
    lblDetail->setWordWrap(true);
    lblDetail->hide();
    btnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(143, 52, 75, 25);
    btnOk = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(143, 52, 75, 25);
    btnOk->setDefault(true);
    setTabOrder(btnCancel, btnOk);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
}

TExportForm::~TExportForm()
{
    // A statement given up on may still end later: it must not find this dialog.
    if (FDataSet && FStatement == TStatement::Running) {
        FDataSet->AfterOpen = nullptr;
        FDataSet->OnOpenError = nullptr;
    }
}

void TExportForm::DoExport(const TExportSource& aDataSource, const RExportOptions& opts, int aRecCount,
                           std::function<bool(const QString& sqlState)> reopen)
{
    TExportForm form;
    form.Reopen = std::move(reopen);
    if (!form.PrepareExport(aDataSource, opts, aRecCount))
        return;
    if (OnShowing)
        OnShowing(form);
    form.exec();
}

bool TExportForm::PrepareExport(const TExportSource& aDataSource, const RExportOptions& opts, int aRecCount)
{
    btnOk->hide();
    btnCancel->show();
    RecCount = aRecCount;
    FExportOpts = opts;
    FDataSource = aDataSource;
    if (aDataSource.Grid) {
        FDataSet = DataSetOfGrid(aDataSource.Grid);
    } else if (aDataSource.DataSet) {
        FDataSet = aDataSource.DataSet;
    } else {
        return false;
    }
    if (!FDataSet)
        return false;
    if (!FDataSet->Active()) {
        if (!FDataSet->Executing())
            return false;
        FStatement = TStatement::Running;
        FDataSet->AfterOpen = [this] { StatementOpened(); };
        FDataSet->OnOpenError = [this](const QString& message) { StatementFailed(message); };
    }
    FExportStrat = TExportStrategyAbs::GetInstance(FExportOpts, FDataSource, FDataSet);
    FExportStrat->OnReportProgress = [this](int progress, const QString& info) {
        HandleReportProgress(progress, info);
    };
    setWindowTitle(FExportStrat->GetCaption());
    return FExportStrat->Init(RecCount);
}

void TExportForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!FRunning && btnCancel->isVisible())
        QCoreApplication::postEvent(this, new QEvent(WM_START_EXPORT));
}

bool TExportForm::event(QEvent* e)
{
    if (e->type() == WM_START_EXPORT) {
        if (!FRunning && FExportStrat && btnCancel->isVisible())
            RunExport();
        return true;
    }
    return QDialog::event(e);
}

void TExportForm::RunExport()
{
    ExportProgress->SetMinValue(0);
    ExportProgress->SetMaxValue(RecCount);
    lblInfo->setText(QStringLiteral("Initalizing Export"));
    if (FStatement == TStatement::Running) {
        FWaiting = true; // StatementOpened or StatementFailed go on
        return;
    }
    if (FStatement == TStatement::Failed) {
        ShowFailure(FStatementError);
        return;
    }
    FRunning = true;
    QCoreApplication::processEvents();
    try {
        const bool done = FExportStrat->MakeExport();
        lblInfo->setText(done ? QStringLiteral("Data was exported succesfully!") : QStringLiteral("Data was not exported!"));
        if (done)
            ShowDetail(FExportStrat->Notice());
    } catch (const Exception& e) {
        lblInfo->setText(QStringLiteral("There was problem exporting data!"));
        ShowDetail(e.Message());
    } catch (const std::exception& e) {
        lblInfo->setText(QStringLiteral("There was problem exporting data!"));
        ShowDetail(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        lblInfo->setText(QStringLiteral("There was problem exporting data!"));
    }
    btnOk->show();
    btnCancel->hide();
    btnOk->setFocus();
    FRunning = false;
    if (FCloseRequested)
        done(QDialog::Rejected);
}

void TExportForm::StatementOpened()
{
    FStatement = TStatement::Ready;
    if (FWaiting) {
        FWaiting = false;
        RunExport();
    }
}

void TExportForm::StatementFailed(const QString& message)
{
    if (Reopen && Reopen(FDataSet->LastErrorState()))
        return; // running again; its end comes back here
    FStatement = TStatement::Failed;
    FStatementError = message;
    if (FWaiting) {
        FWaiting = false;
        ShowFailure(message);
    }
}

void TExportForm::GiveUpStatement()
{
    // A server that does not answer the cancel keeps the statement on its worker; the
    // data set's owner waits for it, not the user.
    FWaiting = false;
    FDataSet->TryClose(kGiveUpPatience);
    lblInfo->setText(QStringLiteral("Data was not exported!"));
    btnOk->show();
    btnCancel->hide();
    btnOk->setFocus();
}

void TExportForm::ShowFailure(const QString& message)
{
    lblInfo->setText(QStringLiteral("There was problem exporting data!"));
    ShowDetail(message);
    btnOk->show();
    btnCancel->hide();
    btnOk->setFocus();
}

void TExportForm::ShowDetail(const QString& text)
{
    // The dialog grows by the lines the text takes; the buttons move down under it.
    if (text.isEmpty())
        return;
    constexpr int kTop = 47, kSide = 6, kWidth = 361;
    lblDetail->setText(text);
    const int h = lblDetail->heightForWidth(kWidth - 2 * kSide);
    lblDetail->setGeometry(kSide, kTop, kWidth - 2 * kSide, h);
    lblDetail->show();
    const int buttonsTop = kTop + h + 6;
    btnOk->move(btnOk->x(), buttonsTop);
    btnCancel->move(btnCancel->x(), buttonsTop);
    setFixedSize(kWidth, buttonsTop + 25 + 6);
}

void TExportForm::HandleReportProgress(int CurProgress, const QString& aInfo)
{
    ExportProgress->SetProgress(CurProgress);
    lblInfo->setText(aInfo);
}

void TExportForm::btnCancelClick()
{
    if (FWaiting) {
        GiveUpStatement();
        return;
    }
    if (FExportStrat)
        FExportStrat->IsCanceled = true;
}

void TExportForm::closeEvent(QCloseEvent* e)
{
    // Closing while the run goes on takes effect when it returns.
    if (FRunning) {
        FCloseRequested = true;
        e->ignore();
        return;
    }
    if (FWaiting)
        GiveUpStatement();
    QDialog::closeEvent(e);
}

void TExportForm::reject()
{
    // Escape during the run is the Cancel button.
    if (FRunning) {
        btnCancelClick();
        return;
    }
    if (FWaiting)
        GiveUpStatement();
    QDialog::reject();
}
