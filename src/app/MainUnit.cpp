// The main window: command line, connection sequence, ribbon commands and the report windows.
#include "MainUnit.h"

#include "AboutUnit.h"
#include "app/ribbon/RibbonMarkup.h"
#include "checks/CheckCommandsUnit.h"
#include "db/ChooseDBUnit.h"
#include "db/DbEngineUnit.h"
#include "db/DbPasswordFromLngUnit.h"
#include "db/EnterPasswordUnit.h"
#include "db/OdbcConnectionUnit.h"
#include "db/SqlDataManagerUnit.h"
#include "reports/ActivityTypesUnit.h"
#include "reports/ItemsUnit.h"
#include "reports/PartnersUnit.h"
#include "reports/PayTypesUnit.h"
#include "reports/PaymentsUnit.h"
#include "reports/ReversedSalesUnit.h"
#include "reports/RevokedSalesUnit.h"
#include "reports/SalesDetailUnit.h"
#include "reports/SalesSummaryUnit.h"
#include "reports/StoresUnit.h"
#include "reports/UsersLogUnit.h"
#include "reports/UsersUnit.h"

#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QLocale>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>

// ---------------------------------------------------------------------------------------
// The application object

TAuditorApplication::TAuditorApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(kApplicationTitle);
    setApplicationVersion(QStringLiteral(AUDITOR_VERSION));
    // The installed desktop entry: the window system shows its name and icon for the windows.
    setDesktopFileName(QStringLiteral("dravik-auditor"));
    ApplyLocale();
    ApplyFont();
}

void TAuditorApplication::ApplyLocale() { QLocale::setDefault(QLocale(QLocale::Bulgarian, QLocale::Bulgaria)); }

QFont TAuditorApplication::ProgramFont()
{
    static const bool registered = [] {
        if (QFontDatabase::hasFamily(QStringLiteral("Tahoma")))
            return true;
        for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
            if (QFile::exists(QString::fromLatin1(file)))
                QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        return QFontDatabase::hasFamily(QStringLiteral("Tahoma"));
    }();
    Q_UNUSED(registered);
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    font.setPixelSize(11);
    return font;
}

void TAuditorApplication::ApplyFont() { QApplication::setFont(ProgramFont()); }

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

using TReportFactory = std::unique_ptr<TAbsReportBaseForm> (*)(QWidget*, const TSqlDBModel*, TRepository*);

template <class T>
bool IsReport(const QWidget* w)
{
    return dynamic_cast<const T*>(w) != nullptr;
}

template <class T>
std::unique_ptr<TAbsReportBaseForm> MakeReport(QWidget* owner, const TSqlDBModel* dbModel, TRepository* repository)
{
    return std::make_unique<T>(owner, dbModel, repository);
}

// The report window class of every report command.
struct TReportCommand {
    int CommandId;
    TReportKind Kind;
    TReportFactory Create;
    bool (*IsInstance)(const QWidget*); // an instance of the class or of one derived from it
};
const TReportCommand kReportCommands[] = {
    {CmdSalesSummary, rkSalesSummary, &MakeReport<TSalesSummaryForm>, &IsReport<TSalesSummaryForm>},
    {CmdSalePayments, rkPayments, &MakeReport<TPaymentsForm>, &IsReport<TPaymentsForm>},
    {CmdSalesDetail, rkSalesDetail, &MakeReport<TSalesDetailForm>, &IsReport<TSalesDetailForm>},
    {CmdSalesReturn, rkReversedSales, &MakeReport<TReversedSalesForm>, &IsReport<TReversedSalesForm>},
    {CmdRevokedSales, rkRevokedSales, &MakeReport<TRevokedSalesForm>, &IsReport<TRevokedSalesForm>},
    {CmdItemsData, rkItems, &MakeReport<TItemsForm>, &IsReport<TItemsForm>},
    {CmdPartners, rkPartners, &MakeReport<TPartnersForm>, &IsReport<TPartnersForm>},
    {CmdActivityTypes, rkActivityTypes, &MakeReport<TActivityTypesForm>, &IsReport<TActivityTypesForm>},
    {CmdPayTypes, rkPayTypes, &MakeReport<TPayTypesForm>, &IsReport<TPayTypesForm>},
    {CmdStores, rkStores, &MakeReport<TStoresForm>, &IsReport<TStoresForm>},
    {CmdUsers, rkUsers, &MakeReport<TUsersForm>, &IsReport<TUsersForm>},
    {CmdActionsLog, rkUsersLog, &MakeReport<TUsersLogForm>, &IsReport<TUsersLogForm>},
};

const TReportCommand& ReportCommandOf(TReportKind kind)
{
    for (const TReportCommand& c : kReportCommands)
        if (c.Kind == kind)
            return c;
    throw Exception(QStringLiteral("No report window for this report"));
}

// The checks tab, made from the catalogue, after the markup's tabs.
void AddChecksTab(TUIRibbon& ribbon)
{
    const auto added = [](const TCheckCommand& c) {
        return TUIRibbonAddedCommand{c.Id, c.Name, c.Caption, c.TooltipTitle, c.TooltipDescription, c.Image};
    };
    TUIRibbonAddedTab tab{added(ChecksTabCommand()), {}};
    for (const TCheckCommandGroup& group : CheckCommandGroups()) {
        TUIRibbonAddedGroup g{added(group.Group), {}};
        for (const TCheckCommand& c : group.Commands)
            g.Buttons.append(added(c));
        tab.Groups.append(g);
    }
    ribbon.AddTab(std::move(tab));
}

} // namespace

TMainForm::TMainForm(const QStringList& arguments, QWidget* parent)
    : TUIRibbonForm(parent), ExeDir(QCoreApplication::applicationDirPath())
{
    setObjectName(QStringLiteral("MainForm"));
    setFont(TAuditorApplication::ProgramFont()); // the report windows inside inherit it
    setWindowTitle(kApplicationTitle);
    setWindowIcon(ApplicationIcon());
    FMdiArea = new QMdiArea(this);
    setCentralWidget(FMdiArea);
    FChecks = std::make_unique<TCheckCommands>(
        FMdiArea, [this] { return FDBModel.get(); }, [this] { return FRepository.get(); });
    AddChecksTab(*Ribbon());
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
    FDBModel->SetProviderDescr(DriverDescrOfDataSource(RegisteredDriverOf(FDBModel->DSN)));
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
        // The previous repository stays, but the SQL it writes (paging, date literals) must be
        // that of the engine the windows now run it on.
        if (FRepository && FRepository->Dialect() != dbModel.DbType())
            SetRepository(std::make_unique<TRepository>(dbModel.DbType()));
    }
    FDBModel->CopyFrom(dbModel);
    CloseAllReports();
    return true;
}

bool TMainForm::EstablishConnection(TSqlDBModel* dbModel)
{
    if (!dbModel || dbModel->DbType() == dbNone)
        return false;
    // The driver's message of the last failed attempt goes into the log-in dialog: a reason
    // no password can mend (no driver, an unknown data source, no server) is then plain.
    QString failure;
    bool connected = false;
    if (!dbModel->UserName.isEmpty() && !dbModel->Password.isEmpty())
        connected = TryConnect(*dbModel, false, &failure);
    const QString stored = ReadStoredDbPassword(ExeDir);
    if (!connected && !stored.isEmpty()) {
        dbModel->UserName = QStringLiteral("dba");
        dbModel->Password = stored;
        connected = TryConnect(*dbModel, false, &failure);
    }
    if (!connected) {
        dbModel->UserName.clear();
        dbModel->Password.clear();
        connected = TryConnect(*dbModel, false, &failure);
    }
    if (connected)
        return true;
    for (;;) {
        dbModel->UserName.clear();
        dbModel->Password.clear();
        if (TEnterPasswordForm::Run(QStringLiteral("Не може да се направи връзка с базата данни без парола. "
                                                   "Въведете данни за достъп до базата данни!"),
                                    dbModel->UserName, dbModel->Password, failure) != TEnterPasswordForm::mrOk)
            return false;
        try {
            TryConnect(*dbModel, true);
            return true;
        } catch (const Exception& e) {
            failure = e.Message();
            ShowMessage(QStringLiteral("Не може да бъде осъществена връзка с базата данни. Системна грешка : ") +
                        e.Message());
        }
    }
}

bool TMainForm::TryConnect(TSqlDBModel& dbModel, bool reRaise, QString* failure)
{
    auto manager = TSqlDataModule::CreateManager(&dbModel); // outside the guarded part
    try {
        manager->OpenConnection();
        return true;
    } catch (const Exception& e) {
        if (failure)
            *failure = e.Message();
        if (reRaise)
            throw;
        return false;
    }
}

void TMainForm::SetRepository(std::unique_ptr<TRepository> repository) { FRepository = std::move(repository); }

void TMainForm::closeEvent(QCloseEvent* e)
{
    // The report windows are closed as a user closes them, before the frame takes them
    // down with it: one whose server does not answer lets the program end without waiting.
    CloseAllReports();
    TUIRibbonForm::closeEvent(e);
}

void TMainForm::CloseAllReports()
{
    const QList<QMdiSubWindow*> children = FMdiArea->subWindowList();
    for (QMdiSubWindow* child : children)
        child->close();
}

void TMainForm::OpenReportWindow(TReportKind kind)
{
    const TReportCommand& command = ReportCommandOf(kind);
    for (QMdiSubWindow* child : FMdiArea->subWindowList()) {
        if (command.IsInstance(child->widget())) {
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
    // Connects and loads the lookups; a failure raises before any window is shown.
    std::unique_ptr<TAbsReportBaseForm> form = ReportCommandOf(kind).Create(this, FDBModel.get(), FRepository.get());
    TAbsReportBaseForm* report = form.get();
    QMdiSubWindow* sub = FMdiArea->addSubWindow(form.release()); // the area owns it; closing deletes it
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(windowIcon());
    sub->showMaximized();
    return report;
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
    // The user action ends here: a window that cannot connect or load its lookups is not
    // opened, and the reason is shown.
    try {
        for (const TReportCommand& c : kReportCommands)
            if (c.CommandId == commandId)
                OpenReportWindow(c.Kind);
    } catch (const Exception& e) {
        ShowErrorBox(e.Message());
    }
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
        if (IsCheckCommand(id)) {
            action->OnExecute = [this](const TUICommandActionEventArgs& args) {
                // The user action ends here, as a report command's does.
                try {
                    FChecks->Execute(args.Command->CommandId());
                } catch (const Exception& e) {
                    ShowErrorBox(e.Message());
                }
            };
            break;
        }
        for (const TReportCommand& c : kReportCommands)
            if (c.CommandId == id)
                action->OnExecute = [this](const TUICommandActionEventArgs& args) {
                    ReportExecute(args.Command->CommandId());
                };
    }
}
