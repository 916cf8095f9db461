#pragma once
// The main window: the multiple-document frame with the ribbon, the command line, the
// connection sequence and the report windows. Also the application object, which shows
// an exception that reaches the event loop in the error box and lets the loop go on.

#include "app/ribbon/UIRibbonFormUnit.h"
#include "common/MessageBoxUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/AbsReportBaseUnit.h"
#include "reports/RepositoryUnit.h"

#include <QApplication>
#include <QFont>
#include <QEvent>
#include <QStringList>
#include <QWidget>
#include <memory>

class QMdiArea;
class TCheckCommands;
class QMdiSubWindow;

// The main window posts or sends itself this to open the data source chooser.
inline constexpr QEvent::Type WM_CHOOSE_DATABASE = QEvent::Type(2035);

class TAuditorApplication : public QApplication {
public:
    TAuditorApplication(int& argc, char** argv);
    // The interface is Bulgarian whatever the system's language: calendars, day and month
    // names of the widgets. Files keep their own fixed formats.
    static void ApplyLocale();
    // The program's font: Tahoma at 11 pixels (the Wine package's Tahoma, registered with
    // the program, where the system has none), else the closest sans-serif family there is.
    static QFont ProgramFont();
    // Makes it the font of every window and dialog (the ribbon keeps its own).
    static void ApplyFont();
    bool notify(QObject* receiver, QEvent* event) override;
};

class TMainForm : public TUIRibbonForm {
public:
    // `arguments` without the program name: data source name and password.
    explicit TMainForm(const QStringList& arguments, QWidget* parent = nullptr);
    ~TMainForm() override;

    const TSqlDBModel& DBModel() const { return *FDBModel; }
    TRepository* Repository() const { return FRepository.get(); }
    QMdiArea* MdiArea() const { return FMdiArea; }

    bool ConnectTo(TSqlDBModel& dbModel);
    bool EstablishConnection(TSqlDBModel* dbModel);
    // `failure`, when given, receives the message of a failed attempt.
    static bool TryConnect(TSqlDBModel& dbModel, bool reRaise, QString* failure = nullptr);
    void ChooseDatabase();
    void SetRepository(std::unique_ptr<TRepository> repository);
    void CloseAllReports();
    void OpenReportWindow(TReportKind kind);
    QWidget* CreateReportWindow(TReportKind kind);
    QObject* SendToActiveReport(QEvent::Type message);
    // The checks tab's commands and windows.
    TCheckCommands& Checks() const { return *FChecks; }

    // Directory whose Bulgarian.lng holds the stored password (the executable's).
    QString ExeDir;

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void RibbonCommandCreated(TUIRibbon* sender, TUICommand* command) override;

private:
    void FormCreate(const QStringList& arguments);
    void FormShow();
    void ReportExecute(int commandId);

    std::unique_ptr<TSqlDBModel> FDBModel;
    std::unique_ptr<TRepository> FRepository;
    QMdiArea* FMdiArea = nullptr;
    std::unique_ptr<TCheckCommands> FChecks;
    bool FShown = false;
};
