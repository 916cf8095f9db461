#pragma once
// The commands of the ribbon's checks tab, made from the catalogue (the overview, then a
// group per check group with a command per check), and opening their windows in the main
// window's area: one window per check, the overview once.

#include "CheckCatalogueUnit.h"
#include "db/SqlDbModelUnit.h"
#include "reports/RepositoryUnit.h"

#include <QList>
#include <QString>
#include <functional>

class QMdiArea;
class QWidget;
class TCheckForm;
class TCheckOverviewForm;

// Command ids of the checks tab, above the markup's own: the tab, the overview's group and
// command, a group per TCheckGroup and a command per check of CheckList(), in its order.
enum : int {
    CmdChecks = 900,
    CmdChecksOverviewGroup = 901,
    CmdChecksOverview = 902,
    CmdCheckGroupFirst = 910,
    CmdCheckFirst = 1000,
};

// A command of the tab: its id, name, label, tooltip, picture (a ribbon picture file) and
// the check it opens (none for the tab, the groups and the overview).
struct TCheckCommand {
    int Id = 0;
    QString Name;
    QString Caption;
    QString TooltipTitle;
    QString TooltipDescription;
    QString Image;
    const TCheckDef* Def = nullptr;
};
struct TCheckCommandGroup {
    TCheckCommand Group;
    QList<TCheckCommand> Commands;
};

TCheckCommand ChecksTabCommand();
// The overview's group first, then the groups of the checks, in ribbon order (a group
// without checks is left out).
QList<TCheckCommandGroup> CheckCommandGroups();
// The check a command opens; nullptr for none.
const TCheckDef* CheckOfCommand(int commandId);
bool IsCheckCommand(int commandId);

class TCheckCommands {
public:
    using TDbModelOf = std::function<const TSqlDBModel*()>;
    using TRepositoryOf = std::function<TRepository*()>;
    // Windows go to `area`, on the data source and repository the main window has then.
    TCheckCommands(QMdiArea* area, TDbModelOf dbModel, TRepositoryOf repository);

    // Runs a command of the tab: false for a command that is none of its.
    bool Execute(int commandId);
    // The check's window, activated when it is open, else made; with `filters` it takes
    // them and runs. A failure to connect raises before any window is shown.
    TCheckForm* OpenCheck(const TCheckDef& def, const TReportFilters* filters = nullptr);
    TCheckOverviewForm* OpenOverview();

private:
    QWidget* AddWindow(QWidget* form);

    QMdiArea* FArea;
    TDbModelOf FDbModel;
    TRepositoryOf FRepository;
};
