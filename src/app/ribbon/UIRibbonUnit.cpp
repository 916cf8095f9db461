// The ribbon host: its commands, building it from the markup, tabs, minimising, the
// application menu and shortcuts (its key tips live in RibbonKeyTips).

#include "UIRibbonUnit.h"

#include "RibbonKeyTips.h"
#include "RibbonLook.h"
#include "RibbonMarkup.h"
#include "RibbonMarkupParser.h"
#include "RibbonStateFile.h"
#include "RibbonWidgets.h"
#include "db/Exception.h"

#include <QAbstractButton>
#include <QFile>
#include <QHBoxLayout>
#include <QHash>
#include <QMenu>
#include <QSet>
#include <QVBoxLayout>

#include <optional>
#include <utility>

namespace {

const QString kMarkupFolder = QStringLiteral(":/resources/ribbon/");

} // namespace

// ---- Commands -------------------------------------------------------------------------------

TUICommand::TUICommand(TUIRibbon* ribbon, int commandId, QString name)
    : QObject(ribbon), FRibbon(ribbon), FCommandId(commandId), FName(std::move(name))
{
}

void TUICommand::SetCaption(const QString& text)
{
    FCaption = text;
    emit Changed();
}

void TUICommand::SetLabelDescription(const QString& text)
{
    FLabelDescription = text;
    emit Changed();
}

void TUICommand::SetTooltipTitle(const QString& text)
{
    FTooltipTitle = text;
    emit Changed();
}

void TUICommand::SetTooltipDescription(const QString& text)
{
    FTooltipDescription = text;
    emit Changed();
}

void TUICommand::SetEnabled(bool value)
{
    if (FEnabled == value)
        return;
    FEnabled = value;
    emit Changed();
}

void TUICommandAction::Execute()
{
    if (!Enabled() || !OnExecute)
        return;
    TUICommandActionEventArgs args;
    args.Command = this;
    OnExecute(args);
}

// ---- Ribbon host ----------------------------------------------------------------------------

TUIRibbon::TUIRibbon(QWidget* parent, TCommandCreatedEvent onCommandCreated)
    : QWidget(parent), OnCommandCreated(std::move(onCommandCreated))
{
    setObjectName(QStringLiteral("Ribbon"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, kText);
    setPalette(palette);
    setFont(RibbonFont());
    setFixedHeight(DefaultHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

TUIRibbon::~TUIRibbon()
{
    if (FBandPopup)
        FBandPopup->close(); // puts the band back; the popup itself goes with its parent
    if (FLoaded)
        SaveSettings();
}

void TUIRibbon::Load(const QString& resourceName)
{
    if (FLoaded)
        return;
    const QString resource = resourceName + QStringLiteral("_RIBBON");
    QFile file(kMarkupFolder + resource + QStringLiteral(".xml"));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot load the ribbon resource \"%1\"").arg(resource));
    const QByteArray markup = file.readAll();
    FResourceName = resourceName;
    BuildFromMarkup(markup);
    FLoaded = true;
    FKeyTips = new TRibbonKeyTips(this);
    SetActiveTabIndex(TabCount() > 0 ? 0 : -1);
    UpdateHeight();
    NotifyCommandsCreated();
    LoadSettings();
}

void TUIRibbon::AddTab(TUIRibbonAddedTab tab)
{
    if (!FLoaded)
        FAddedTabs.append(std::move(tab));
}

void TUIRibbon::BuildFromMarkup(const QByteArray& data)
{
    const QString resource = FResourceName + QStringLiteral("_RIBBON");
    TMarkup markup = ParseMarkup(data, resource);
    // The added tabs join the markup as if it declared them; their texts are their own.
    QHash<int, const TUIRibbonAddedCommand*> addedTexts;
    {
        QSet<int> ids;
        QSet<QString> names;
        for (const TMarkupCommand& c : std::as_const(markup.Commands)) {
            ids.insert(c.Id);
            names.insert(c.Name);
        }
        const auto declare = [&](const TUIRibbonAddedCommand& command) {
            if (ids.contains(command.Id) || names.contains(command.Name))
                throw Exception(
                    QStringLiteral("Ribbon markup \"%1\": command %2 (%3) is taken").arg(resource, command.Name).arg(command.Id));
            ids.insert(command.Id);
            names.insert(command.Name);
            markup.Commands.append(TMarkupCommand{command.Name, command.Id, command.Image, command.Image});
            addedTexts.insert(command.Id, &command);
        };
        for (const TUIRibbonAddedTab& tab : std::as_const(FAddedTabs)) {
            declare(tab.Tab);
            TMarkupTab markupTab{tab.Tab.Name, {}};
            for (const TUIRibbonAddedGroup& group : tab.Groups) {
                declare(group.Group);
                TMarkupGroup markupGroup{group.Group.Name, {}};
                for (const TUIRibbonAddedCommand& button : group.Buttons) {
                    declare(button);
                    markupGroup.Buttons.append(button.Name);
                }
                markupTab.Groups.append(markupGroup);
            }
            markup.Tabs.append(markupTab);
        }
    }
    ValidateMarkup(markup, resource);

    // Commands that anchor the layout carry only texts; all others are actions.
    QSet<QString> anchors;
    if (!markup.ApplicationMenu.isEmpty())
        anchors.insert(markup.ApplicationMenu);
    for (const TMarkupTab& tab : markup.Tabs) {
        anchors.insert(tab.Command);
        for (const TMarkupGroup& group : tab.Groups)
            anchors.insert(group.Command);
    }

    const TRibbonMarkupElementList* descriptors = TRibbonMarkupElementList::LookupListByResourceName(FResourceName);
    QHash<QString, TUICommand*> byName;
    QHash<QString, QIcon> smallIcons;
    QHash<QString, QIcon> largeIcons;
    const auto icon = [](QHash<QString, QIcon>& cache, const QString& file, std::initializer_list<int> sizes) {
        if (file.isEmpty())
            return QIcon();
        auto it = cache.find(file);
        if (it == cache.end())
            it = cache.insert(file, LoadSvgIcon(kMarkupFolder + file, sizes));
        return *it;
    };

    for (const TMarkupCommand& c : markup.Commands) {
        TUICommand* command = anchors.contains(c.Name) ? static_cast<TUICommand*>(new TUICommandAnchor(this, c.Id, c.Name))
                                                       : new TUICommandAction(this, c.Id, c.Name);
        if (const TUIRibbonAddedCommand* added = addedTexts.value(c.Id)) {
            command->FCaption = added->Caption;
            command->FTooltipTitle = added->TooltipTitle;
            command->FTooltipDescription = added->TooltipDescription;
        } else {
            TRibbonMarkupElement descriptor;
            if (descriptors)
                descriptors->TryGetItem(c.Id, descriptor);
            command->FCaption = RibbonResourceString(descriptor.LabelTitleResourceID);
            command->FLabelDescription = RibbonResourceString(descriptor.LabelDescriptionResourceID);
            command->FTooltipTitle = RibbonResourceString(descriptor.TooltipTitleResourceID);
            command->FTooltipDescription = RibbonResourceString(descriptor.TooltipDescriptionResourceID);
        }
        command->FSmallImage = icon(smallIcons, c.SmallImage, {16, 20, 24, 32});
        command->FLargeImage = icon(largeIcons, c.LargeImage, {32, 40, 48, 64});
        FCommands.append(command);
        byName.insert(c.Name, command);
    }

    const auto find = [&byName](const QString& name) { return byName.value(name); };
    const auto action = [&byName](const QString& name) { return static_cast<TUICommandAction*>(byName.value(name)); };

    // Tab row: application menu button, tab headers, the minimise chevron.
    auto* rootLayout = new QVBoxLayout(this);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(0);
    FTabRow = new TRibbonTabRow(this);
    FTabRowLayout = new QHBoxLayout(FTabRow);
    FTabRowLayout->setContentsMargins(0, 0, 4, 0);
    FTabRowLayout->setSpacing(2);
    rootLayout->addWidget(FTabRow);

    if (!markup.ApplicationMenu.isEmpty()) {
        TUICommand* menuCommand = find(markup.ApplicationMenu);
        auto* button = new TRibbonApplicationButton(FTabRow);
        button->setObjectName(menuCommand->Name());
        button->setProperty("commandId", menuCommand->CommandId());
        button->setText(menuCommand->Caption());
        button->setToolTip(TooltipHtml(menuCommand->TooltipTitle(), menuCommand->TooltipDescription()));
        FApplicationButton = button;
        FTabRowLayout->addWidget(button, 0, Qt::AlignBottom);
        FTabRowLayout->addSpacing(4);
        connect(button, &QAbstractButton::pressed, this, &TUIRibbon::ShowApplicationMenu);

        FApplicationMenu = new QMenu(this);
        FApplicationMenu->setObjectName(QStringLiteral("RibbonApplicationMenu"));
        ApplyRibbonMenuLook(FApplicationMenu);
        for (qsizetype g = 0; g < markup.MenuGroups.size(); ++g) {
            if (g > 0)
                FApplicationMenu->addSeparator();
            for (const QString& name : markup.MenuGroups[g]) {
                TUICommandAction* command = action(name);
                QAction* item = FApplicationMenu->addAction(command->LargeImage(), command->Caption());
                item->setObjectName(command->Name());
                item->setProperty("commandId", command->CommandId());
                item->setEnabled(command->Enabled());
                item->setToolTip(TooltipHtml(command->TooltipTitle(), command->TooltipDescription()));
                connect(item, &QAction::triggered, this, [this, command] { ExecuteFromUi(command); });
                connect(command, &TUICommand::Changed, item, [item, command] {
                    item->setText(command->Caption());
                    item->setEnabled(command->Enabled());
                });
            }
        }
        connect(FApplicationMenu, &QMenu::aboutToHide, button, [button] {
            button->MenuOpen = false;
            button->update();
        });
    }

    // Band: one page of groups per tab.
    FBandHost = new QWidget(this);
    auto* hostLayout = new QVBoxLayout(FBandHost);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    FBand = new TRibbonBand(FBandHost);
    hostLayout->addWidget(FBand);
    rootLayout->addWidget(FBandHost);

    for (const TMarkupTab& tab : markup.Tabs) {
        TUICommand* tabCommand = find(tab.Command);
        const int index = static_cast<int>(FTabCommands.size());
        auto* header = new TRibbonTabHeader(this, tabCommand, index, FTabRow);
        FTabRowLayout->addWidget(header, 0, Qt::AlignBottom);
        FTabHeaders.append(header);
        FTabCommands.append(tabCommand);

        auto* page = new QWidget(FBand);
        page->setObjectName(tabCommand->Name() + QStringLiteral("Page"));
        auto* pageLayout = new QHBoxLayout(page);
        pageLayout->setContentsMargins(4, 3, 4, 3);
        pageLayout->setSpacing(0);
        for (const TMarkupGroup& g : tab.Groups) {
            auto* group = new TRibbonGroup(find(g.Command), page);
            for (const QString& name : g.Buttons) {
                auto* button = new TRibbonLargeButton(action(name), group);
                connect(button, &QAbstractButton::clicked, this, [this, button] { ExecuteFromUi(button->Command()); });
                group->AddButton(button);
            }
            pageLayout->addWidget(group);
        }
        pageLayout->addStretch(1);
        static_cast<TRibbonBand*>(FBand)->AddPage(page);
    }

    FTabRowLayout->addStretch(1);
    auto* minimize = new TRibbonMinimizeButton(FTabRow);
    FMinimizeButton = minimize;
    FTabRowLayout->addWidget(minimize, 0, Qt::AlignVCenter);
    connect(minimize, &QAbstractButton::clicked, this, [this] { SetMinimized(!FMinimized); });

}

void TUIRibbon::NotifyCommandsCreated()
{
    for (TUICommand* command : std::as_const(FCommands))
        if (OnCommandCreated)
            OnCommandCreated(this, command);
}

TUICommand* TUIRibbon::CommandById(int commandId) const
{
    for (TUICommand* command : FCommands)
        if (command->CommandId() == commandId)
            return command;
    return nullptr;
}

int TUIRibbon::TabCount() const
{
    return static_cast<int>(FTabCommands.size());
}

void TUIRibbon::SetActiveTabIndex(int index)
{
    if (index < -1 || index >= TabCount())
        return;
    const bool changed = index != FActiveTab;
    FActiveTab = index;
    if (FBand && index >= 0)
        static_cast<TRibbonBand*>(FBand)->SetCurrent(index);
    UpdateTabHeaders();
    if (changed)
        emit ActiveTabChanged(index);
}

void TUIRibbon::SetMinimized(bool value)
{
    if (FMinimized == value)
        return;
    if (FBandPopup)
        FBandPopup->close();
    FMinimized = value;
    UpdateHeight();
    UpdateTabHeaders();
    emit MinimizedChanged(value);
}

void TUIRibbon::UpdateHeight()
{
    if (!FLoaded)
        return;
    FBandHost->setVisible(!FMinimized);
    setFixedHeight(FMinimized ? kTabRowHeight : DefaultHeight);
    if (auto* chevron = static_cast<TRibbonMinimizeButton*>(FMinimizeButton)) {
        chevron->PointsDown = FMinimized;
        chevron->setToolTip(FMinimized ? QStringLiteral("Разгъване на лентата") : QStringLiteral("Свиване на лентата"));
        chevron->update();
    }
}

void TUIRibbon::UpdateTabHeaders()
{
    for (QAbstractButton* header : std::as_const(FTabHeaders))
        header->update();
}

void TUIRibbon::TabHeaderClicked(int index)
{
    SetActiveTabIndex(index);
    if (FMinimized && !FBandPopup)
        ShowBandPopup();
}

void TUIRibbon::TabHeaderDoubleClicked(int index)
{
    SetActiveTabIndex(index);
    SetMinimized(!FMinimized);
}

void TUIRibbon::ShowBandPopup()
{
    auto* popup = new TRibbonBandPopup(this);
    FBandPopup = popup;
    popup->layout()->addWidget(FBand);
    FBand->show();
    popup->setGeometry(QRect(mapToGlobal(QPoint(0, kTabRowHeight - 1)), QSize(width(), kBandHeight)));
    popup->show();
    UpdateTabHeaders();
}

void TUIRibbon::BandPopupClosed()
{
    if (!FBandPopup)
        return;
    QWidget* popup = FBandPopup;
    FBandPopup = nullptr;
    if (FKeyTips && FKeyTips->Level() == TRibbonKeyTips::TLevel::Commands)
        FKeyTips->Hide(); // their badges sat on the popup
    FBandHost->layout()->addWidget(FBand);
    FBand->show();
    popup->deleteLater();
    UpdateTabHeaders();
}

void TUIRibbon::ExecuteFromUi(TUICommandAction* command)
{
    if (FBandPopup)
        FBandPopup->close();
    command->Execute();
}

void TUIRibbon::ShowApplicationMenu()
{
    if (!FApplicationMenu)
        return;
    if (FBandPopup)
        FBandPopup->close();
    auto* button = static_cast<TRibbonApplicationButton*>(FApplicationButton);
    button->MenuOpen = true;
    button->setDown(false);
    button->update();
    FApplicationMenu->popup(button->mapToGlobal(QPoint(0, button->height())));
}

bool TUIRibbon::HandleShortCut(const QKeySequence& key)
{
    if (key.isEmpty())
        return false;
    for (TUICommand* command : std::as_const(FCommands)) {
        auto* action = dynamic_cast<TUICommandAction*>(command);
        if (action && !action->Shortcut().isEmpty() && action->Shortcut() == key && action->Enabled()) {
            ExecuteFromUi(action);
            return true;
        }
    }
    return false;
}

// ---- Ribbon state ---------------------------------------------------------------------------

void TUIRibbon::SetSettingsFolders(const QString& executableDir, const QString& userConfigDir)
{
    TRibbonStateFile::SetFolders(executableDir, userConfigDir);
}

QString TUIRibbon::SettingsFileName()
{
    return TRibbonStateFile::FileName();
}

void TUIRibbon::SaveSettings() const
{
    TRibbonState state;
    if (FActiveTab >= 0 && FActiveTab < TabCount())
        state.SelectedTab = FTabCommands[FActiveTab]->Name();
    state.Minimized = FMinimized;
    TRibbonStateFile::Write(FResourceName, state);
}

bool TUIRibbon::LoadSettings()
{
    const std::optional<TRibbonState> state = TRibbonStateFile::Read();
    if (!state)
        return false;
    for (int i = 0; i < TabCount(); ++i)
        if (FTabCommands[i]->Name() == state->SelectedTab)
            SetActiveTabIndex(i);
    if (state->Minimized)
        SetMinimized(*state->Minimized);
    return true;
}
