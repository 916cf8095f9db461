// The checks tab's commands and their windows (see CheckCommandsUnit.h).
#include "CheckCommandsUnit.h"

#include "CheckFormUnit.h"
#include "CheckOverviewUnit.h"

#include <QMdiArea>
#include <QPushButton>
#include <QMdiSubWindow>
#include <array>
#include <memory>

namespace {

// A label's "&" is shown as it is, never taken for an access key.
QString Label(const char16_t* text) { return QString::fromUtf16(text).replace(u'&', QStringLiteral("&&")); }

constexpr std::array kGroups{TCheckGroup::Numbering, TCheckGroup::Sums, TCheckGroup::Reversals, TCheckGroup::Times,
                             TCheckGroup::People};

QString GroupImage(TCheckGroup group)
{
    switch (group) {
    case TCheckGroup::Numbering: return QStringLiteral("check-numbering.svg");
    case TCheckGroup::Sums: return QStringLiteral("check-sums.svg");
    case TCheckGroup::Reversals: return QStringLiteral("check-reversals.svg");
    case TCheckGroup::Times: return QStringLiteral("check-times.svg");
    case TCheckGroup::People: return QStringLiteral("check-people.svg");
    }
    return {};
}

} // namespace

TCheckCommand ChecksTabCommand()
{
    return TCheckCommand{CmdChecks, QStringLiteral("CmdChecks"), QStringLiteral("Проверки")};
}

QList<TCheckCommandGroup> CheckCommandGroups()
{
    QList<TCheckCommandGroup> groups;
    groups.append(TCheckCommandGroup{
        TCheckCommand{CmdChecksOverviewGroup, QStringLiteral("CmdChecksOverviewGroup"), QStringLiteral("Обобщение")},
        {TCheckCommand{CmdChecksOverview, QStringLiteral("CmdChecksOverview"),
                       QStringLiteral("Обобщение на проверките"), QStringLiteral("Обобщение на проверките"),
                       QStringLiteral("Всички проверки за избран период: броят на находките и сумата им"),
                       QStringLiteral("check-overview.svg")}}});
    const std::span<const TCheckDef> checks = CheckList();
    for (const TCheckGroup group : kGroups) {
        TCheckCommandGroup g{TCheckCommand{CmdCheckGroupFirst + int(group),
                                           QStringLiteral("CmdCheckGroup%1").arg(int(group)),
                                           CheckGroupCaption(group).replace(u'&', QStringLiteral("&&"))},
                             {}};
        for (size_t i = 0; i < checks.size(); ++i) {
            const TCheckDef& def = checks[i];
            if (def.Group != group)
                continue;
            g.Commands.append(TCheckCommand{CmdCheckFirst + int(i),
                                            QStringLiteral("CmdCheck_") + QString::fromLatin1(def.Key),
                                            Label(def.Title), QString::fromUtf16(def.Title),
                                            QString::fromUtf16(def.Purpose), GroupImage(group), &def});
        }
        if (!g.Commands.isEmpty())
            groups.append(g);
    }
    return groups;
}

const TCheckDef* CheckOfCommand(int commandId)
{
    const std::span<const TCheckDef> checks = CheckList();
    const int index = commandId - CmdCheckFirst;
    return index >= 0 && index < int(checks.size()) ? &checks[size_t(index)] : nullptr;
}

bool IsCheckCommand(int commandId) { return commandId == CmdChecksOverview || CheckOfCommand(commandId); }

TCheckCommands::TCheckCommands(QMdiArea* area, TDbModelOf dbModel, TRepositoryOf repository)
    : FArea(area), FDbModel(std::move(dbModel)), FRepository(std::move(repository))
{
}

bool TCheckCommands::Execute(int commandId)
{
    if (commandId == CmdChecksOverview) {
        OpenOverview();
        return true;
    }
    if (const TCheckDef* def = CheckOfCommand(commandId)) {
        OpenCheck(*def);
        return true;
    }
    return false;
}

QWidget* TCheckCommands::AddWindow(QWidget* form)
{
    QMdiSubWindow* sub = FArea->addSubWindow(form); // the area owns it; closing deletes it
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(FArea->window()->windowIcon());
    sub->showMaximized();
    return form;
}

TCheckForm* TCheckCommands::OpenCheck(const TCheckDef& def, const TReportFilters* filters)
{
    for (QMdiSubWindow* child : FArea->subWindowList()) {
        auto* open = dynamic_cast<TCheckForm*>(child->widget());
        if (open && &open->Def() == &def) {
            FArea->setActiveSubWindow(child);
            if (filters && open->ReportButton->isEnabled()) {
                open->SetFilterFields(*filters);
                open->ReportButtonClick();
            }
            return open;
        }
    }
    const TSqlDBModel* dbModel = FDbModel();
    TRepository* repository = FRepository();
    if (!dbModel || !repository)
        return nullptr;
    std::unique_ptr<TCheckForm> form = filters ? std::make_unique<TCheckForm>(FArea, dbModel, repository, def, *filters)
                                               : std::make_unique<TCheckForm>(FArea, dbModel, repository, def);
    TCheckForm* check = form.get();
    AddWindow(form.release());
    if (filters)
        check->ReportButtonClick();
    return check;
}

TCheckOverviewForm* TCheckCommands::OpenOverview()
{
    for (QMdiSubWindow* child : FArea->subWindowList())
        if (auto* open = dynamic_cast<TCheckOverviewForm*>(child->widget())) {
            FArea->setActiveSubWindow(child);
            return open;
        }
    const TSqlDBModel* dbModel = FDbModel();
    TRepository* repository = FRepository();
    if (!dbModel || !repository)
        return nullptr;
    auto form = std::make_unique<TCheckOverviewForm>(FArea, dbModel, repository);
    TCheckOverviewForm* overview = form.get();
    overview->OnOpenCheck = [this](const TCheckDef& def, const TReportFilters& filters) { OpenCheck(def, &filters); };
    AddWindow(form.release());
    return overview;
}
