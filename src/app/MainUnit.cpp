#include "MainUnit.h"

#include "AboutUnit.h"
#include "RibbonMarkup.h"
#include "db/ChooseDBUnit.h"
#include "db/DbPasswordFromLngUnit.h"
#include "db/EnterPasswordUnit.h"
#include "db/OdbcConnectionUnit.h"
#include "db/SqlDataManagerUnit.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QVBoxLayout>

// ---------------------------------------------------------------------------------------
// Message boxes and the application object

void ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, ErrorBoxText(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

TAuditorApplication::TAuditorApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(kApplicationTitle);
    setApplicationVersion(QStringLiteral(AUDITOR_VERSION));
}

bool TAuditorApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const Exception& e) {
        ShowErrorBox(e.Message());
    } catch (const std::exception& e) {
        ShowErrorBox(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Placeholder report window

TReportPlaceholderForm::TReportPlaceholderForm(TReportKind kind, const QString& caption, TSqlDBModel*,
                                               TRepository*)
    : FKind(kind)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QString::fromUtf16(ReportDef(kind).View), this);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
}

// ---------------------------------------------------------------------------------------
// TMainForm

namespace {

// The driver description under which a data source is registered, empty when unknown.
QString RegisteredDriverOf(const QString& dsn)
{
    for (const TOdbcDataSource& ds : ListOdbcDataSources(OdbcEnvironment()))
        if (ds.Name == dsn)
            return ds.Driver;
    return {};
}

struct TReportCommand {
    int CommandId;
    TReportKind Kind;
};
constexpr TReportCommand kReportCommands[] = {
    {CmdSalesSummary, rkSalesSummary}, {CmdSalePayments, rkPayments},   {CmdSalesDetail, rkSalesDetail},
    {CmdSalesReturn, rkReversedSales}, {CmdRevokedSales, rkRevokedSales}, {CmdItemsData, rkItems},
    {CmdPartners, rkPartners},         {CmdActivityTypes, rkActivityTypes}, {CmdPayTypes, rkPayTypes},
    {CmdStores, rkStores},             {CmdUsers, rkUsers},             {CmdActionsLog, rkUsersLog},
};

} // namespace

TMainForm::TMainForm(const QStringList& arguments, QWidget* parent)
    : TUIRibbonForm(parent), ExeDir(QCoreApplication::applicationDirPath())
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(kApplicationTitle);
    setWindowIcon(ApplicationIcon());
    FMdiArea = new QMdiArea(this);
    setCentralWidget(FMdiArea);
    try {
        FormCreate(arguments);
    } catch (const Exception& e) {
        ShowErrorBox(e.Message());
    }
}

TMainForm::~TMainForm() = default;

void TMainForm::FormCreate(const QStringList& arguments)
{
    FDBModel = std::make_unique<TSqlDBModel>();
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return;
    if (arguments.size() == 1)
        throw Exception(QStringLiteral("Not enough parameters for DravikZaravAZUzizuvi!"));
    FDBModel->DSN = arguments[0];
    FDBModel->UserName = QStringLiteral("dba");
    FDBModel->Password = arguments[1];
    // SQL Anywhere is implied, unless the data source is registered for one of the
    // engines that are not SQL Anywhere.
    const QString registered = RegisteredDriverOf(FDBModel->DSN);
    if (registered == QLatin1String("SQLite3") || registered == QLatin1String("PostgreSQL Unicode"))
        FDBModel->SetProviderDescr(registered);
    else
        FDBModel->SetProviderDescr(QStringLiteral("SQL Anywhere 11"));
}

void TMainForm::showEvent(QShowEvent* e)
{
    TUIRibbonForm::showEvent(e);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    if (!FDBModel->DSN.isEmpty())
        ConnectTo(*FDBModel);
    if (FDBModel->DSN.isEmpty() || !TryConnect(*FDBModel, false))
        QCoreApplication::postEvent(this, new QEvent(WM_CHOOSE_DATABASE));
}

bool TMainForm::event(QEvent* e)
{
    const bool result = TUIRibbonForm::event(e);
    if (e->type() == WM_CHOOSE_DATABASE) {
        ChooseDatabase();
        return true;
    }
    return result;
}

void TMainForm::ChooseDatabase()
{
    TSqlDBModel fresh;
    if (TChooseDBForm::Run(fresh))
        ConnectTo(fresh);
}

bool TMainForm::ConnectTo(TSqlDBModel& dbModel)
{
    if (!EstablishConnection(&dbModel))
        return false;
    try {
        SetRepository(TRepository::CreateRepository(dbModel));
    } catch (const Exception& e) {
        ShowMessage(e.Message());
    }
    FDBModel->CopyFrom(dbModel);
    CloseAllReports();
    return true;
}

bool TMainForm::EstablishConnection(TSqlDBModel* dbModel)
{
    if (!dbModel || dbModel->DbType() == dbNone)
        return false;
    bool connected = false;
    if (!dbModel->UserName.isEmpty() && !dbModel->Password.isEmpty())
        connected = TryConnect(*dbModel, false);
    const QString stored = ReadStoredDbPassword(ExeDir);
    if (!connected && !stored.isEmpty()) {
        dbModel->UserName = QStringLiteral("dba");
        dbModel->Password = stored;
        connected = TryConnect(*dbModel, false);
    }
    if (!connected) {
        dbModel->UserName.clear();
        dbModel->Password.clear();
        connected = TryConnect(*dbModel, false);
    }
    if (connected)
        return true;
    for (;;) {
        dbModel->UserName.clear();
        dbModel->Password.clear();
        if (TEnterPasswordForm::Run(QStringLiteral("Не може да се направи връзка с базата данни без парола. "
                                                   "Въведете данни за достъп до базата данни!"),
                                    dbModel->UserName, dbModel->Password) != TEnterPasswordForm::mrOk)
            return false;
        try {
            TryConnect(*dbModel, true);
            return true;
        } catch (const Exception& e) {
            ShowMessage(QStringLiteral("Не може да бъде осъществена връзка с базата данни. Системна грешка : ") +
                        e.Message());
        }
    }
}

bool TMainForm::TryConnect(TSqlDBModel& dbModel, bool reRaise)
{
    auto manager = TSqlDataModule::CreateManager(&dbModel); // outside the guarded part
    try {
        manager->OpenConnection();
        return true;
    } catch (const Exception&) {
        if (reRaise)
            throw;
        return false;
    }
}

void TMainForm::SetRepository(std::unique_ptr<TRepository> repository) { FRepository = std::move(repository); }

void TMainForm::CloseAllReports()
{
    const QList<QMdiSubWindow*> children = FMdiArea->subWindowList();
    for (QMdiSubWindow* child : children)
        child->close();
}

void TMainForm::OpenReportWindow(TReportKind kind)
{
    for (QMdiSubWindow* child : FMdiArea->subWindowList()) {
        auto* report = dynamic_cast<TReportPlaceholderForm*>(child->widget());
        if (report && report->Kind() == kind) {
            FMdiArea->setActiveSubWindow(child);
            return;
        }
    }
    CreateReportWindow(kind);
}

QWidget* TMainForm::CreateReportWindow(TReportKind kind)
{
    if (!FDBModel || !FRepository)
        return nullptr;
    QString caption = QString::fromUtf16(ReportDef(kind).Name);
    for (const TReportCommand& c : kReportCommands)
        if (c.Kind == kind)
            if (TUICommand* command = Ribbon()->CommandById(c.CommandId))
                caption = command->Caption().trimmed();
    auto* form = new TReportPlaceholderForm(kind, caption, FDBModel.get(), FRepository.get());
    QMdiSubWindow* sub = FMdiArea->addSubWindow(form); // the area owns it; closing deletes it
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->showMaximized();
    return form;
}

QObject* TMainForm::SendToActiveReport(QEvent::Type message)
{
    QObject* target = nullptr;
    if (QMdiSubWindow* active = FMdiArea->activeSubWindow())
        target = active->widget();
    if (target) {
        QEvent e(message);
        QCoreApplication::sendEvent(target, &e);
    }
    return target;
}

void TMainForm::ReportExecute(int commandId)
{
    for (const TReportCommand& c : kReportCommands)
        if (c.CommandId == commandId)
            OpenReportWindow(c.Kind);
}

void TMainForm::RibbonCommandCreated(TUIRibbon* sender, TUICommand* command)
{
    TUIRibbonForm::RibbonCommandCreated(sender, command);
    auto* action = dynamic_cast<TUICommandAction*>(command);
    if (!action)
        return;
    const int id = command->CommandId();
    switch (id) {
    case CmdAbout: action->OnExecute = [](const TUICommandActionEventArgs&) { TAboutForm::Run(); }; break;
    case CmdExit: action->OnExecute = [this](const TUICommandActionEventArgs&) { close(); }; break;
    case CmdChooseDb:
        action->OnExecute = [this](const TUICommandActionEventArgs&) {
            QEvent e(WM_CHOOSE_DATABASE);
            QCoreApplication::sendEvent(this, &e);
        };
        break;
    case CmdExportExcel:
        action->OnExecute = [this](const TUICommandActionEventArgs&) { SendToActiveReport(WM_EXPORT_EXCEL); };
        break;
    case CmdExportCSV:
        action->OnExecute = [this](const TUICommandActionEventArgs&) { SendToActiveReport(WM_EXPORT_CSV); };
        break;
    default:
        for (const TReportCommand& c : kReportCommands)
            if (c.CommandId == id)
                action->OnExecute = [this](const TUICommandActionEventArgs& args) {
                    ReportExecute(args.Command->CommandId());
                };
    }
}
