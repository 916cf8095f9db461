#pragma once
// The ribbon: a host widget across the top of a main window, built at run time from a
// markup file in the program's resources (":/resources/ribbon/<name>_RIBBON.xml"):
// an application menu, tabs, groups of large buttons. Every command of the markup gets
// a command object; the window that hosts the ribbon binds handlers to them.

#include <QKeySequence>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QHBoxLayout;
class QMenu;
class TRibbonKeyTips;
class TUIRibbon;
class TUICommandAction;

// What a command handler receives. Verb is always 0 (execute) and Properties nullptr.
struct TUICommandActionEventArgs {
    TUICommandAction* Command = nullptr;
    int Verb = 0;
    void* Properties = nullptr;
};

// A command of the ribbon markup: its id, name, texts (labels may carry "&" before an
// access key), pictures and enabled state. Owned by the ribbon that created it.
class TUICommand : public QObject {
    Q_OBJECT
public:
    int CommandId() const { return FCommandId; }
    const QString& Name() const { return FName; }
    TUIRibbon* Ribbon() const { return FRibbon; }

    const QString& Caption() const { return FCaption; }
    const QString& LabelDescription() const { return FLabelDescription; }
    const QString& TooltipTitle() const { return FTooltipTitle; }
    const QString& TooltipDescription() const { return FTooltipDescription; }
    void SetCaption(const QString& text);
    void SetLabelDescription(const QString& text);
    void SetTooltipTitle(const QString& text);
    void SetTooltipDescription(const QString& text);

    const QIcon& SmallImage() const { return FSmallImage; }
    const QIcon& LargeImage() const { return FLargeImage; }

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value);

    // A key that activates the command when the hosting window does not use it itself.
    const QKeySequence& Shortcut() const { return FShortcut; }
    void SetShortcut(const QKeySequence& key) { FShortcut = key; }

signals:
    void Changed();

protected:
    TUICommand(TUIRibbon* ribbon, int commandId, QString name);

private:
    friend class TUIRibbon;

    TUIRibbon* FRibbon;
    int FCommandId;
    QString FName;
    QString FCaption;
    QString FLabelDescription;
    QString FTooltipTitle;
    QString FTooltipDescription;
    QIcon FSmallImage;
    QIcon FLargeImage;
    bool FEnabled = true;
    QKeySequence FShortcut;
};

// The application menu, a tab or a group: commands that only carry texts.
class TUICommandAnchor : public TUICommand {
    Q_OBJECT
public:
    TUICommandAnchor(TUIRibbon* ribbon, int commandId, QString name) : TUICommand(ribbon, commandId, std::move(name)) {}
};

// A button or menu item (and a command the markup declares without placing it).
class TUICommandAction : public TUICommand {
    Q_OBJECT
public:
    TUICommandAction(TUIRibbon* ribbon, int commandId, QString name) : TUICommand(ribbon, commandId, std::move(name)) {}

    std::function<void(const TUICommandActionEventArgs&)> OnExecute;

    // Runs OnExecute when the command is enabled and has a handler.
    void Execute();
};

// A command of a tab the program adds to the markup's at run time: its id and name (unique in
// the ribbon), texts and picture (a file beside the markup; empty for none).
struct TUIRibbonAddedCommand {
    int Id = 0;
    QString Name;
    QString Caption;
    QString TooltipTitle;
    QString TooltipDescription;
    QString Image;
};
struct TUIRibbonAddedGroup {
    TUIRibbonAddedCommand Group;
    QList<TUIRibbonAddedCommand> Buttons;
};
struct TUIRibbonAddedTab {
    TUIRibbonAddedCommand Tab;
    QList<TUIRibbonAddedGroup> Groups;
};

// The ribbon host widget.
class TUIRibbon : public QWidget {
    Q_OBJECT
public:
    using TCommandCreatedEvent = std::function<void(TUIRibbon* sender, TUICommand* command)>;

    static constexpr int DefaultHeight = 117;

    explicit TUIRibbon(QWidget* parent, TCommandCreatedEvent onCommandCreated = {});
    // Saves the ribbon state file when the ribbon was loaded.
    ~TUIRibbon() override;

    TCommandCreatedEvent OnCommandCreated;

    // Builds the ribbon from ":/resources/ribbon/<resourceName>_RIBBON.xml", passes every
    // new command to OnCommandCreated and restores the saved state. Only the first call
    // loads; later calls do nothing. Throws Exception naming the resource when the markup
    // cannot be read.
    void Load(const QString& resourceName);
    bool Loaded() const { return FLoaded; }
    // A tab put after the markup's own when the ribbon loads; its commands are created, key
    // tipped and collapsed as the markup's are. Load throws Exception when an id or a name is
    // taken already. Ignored once the ribbon has loaded.
    void AddTab(TUIRibbonAddedTab tab);
    const QString& ResourceName() const { return FResourceName; }

    // Command objects in the order they were created (the markup's command order).
    const QList<TUICommand*>& Commands() const { return FCommands; }
    TUICommand* CommandById(int commandId) const;

    int TabCount() const;
    int ActiveTabIndex() const { return FActiveTab; }
    void SetActiveTabIndex(int index);

    // A minimised ribbon shows only its tab row; a click on a tab opens its band over
    // the window below.
    bool Minimized() const { return FMinimized; }
    void SetMinimized(bool value);

    QMenu* ApplicationMenu() const { return FApplicationMenu; }
    void ShowApplicationMenu();

    // Offers a key to the commands; true when a command with that shortcut ran.
    bool HandleShortCut(const QKeySequence& key);

    // The keyboard access to tabs and commands (Alt or F10); null before Load.
    TRibbonKeyTips* KeyTips() const { return FKeyTips; }

    // The ribbon state file: "MainForm_RibbonOptions.xml" beside the executable when it
    // exists there, else in "<user config>/Дравик Одитор Продажби/".
    static QString SettingsFileName();
    // Test hooks: replace the executable's folder and the user config folder (empty
    // restores the real one).
    static void SetSettingsFolders(const QString& executableDir, const QString& userConfigDir);

    // Applies the state file, when there is one (true when it was read).
    bool LoadSettings();
    // Writes the state file, creating its folder; failures are ignored.
    void SaveSettings() const;

signals:
    void ActiveTabChanged(int index);
    void MinimizedChanged(bool minimized);

private:
    friend class TRibbonTabHeader;
    friend class TRibbonBandPopup;
    friend class TRibbonKeyTips;

    void BuildFromMarkup(const QByteArray& markup);
    void NotifyCommandsCreated();
    void ExecuteFromUi(TUICommandAction* command);
    void TabHeaderClicked(int index);
    void TabHeaderDoubleClicked(int index);
    void ShowBandPopup();
    void BandPopupClosed();
    void UpdateTabHeaders();
    void UpdateHeight();

    QString FResourceName;
    bool FLoaded = false;
    QList<TUIRibbonAddedTab> FAddedTabs;
    QList<TUICommand*> FCommands;
    int FActiveTab = -1;
    bool FMinimized = false;

    QHBoxLayout* FTabRowLayout = nullptr;
    QWidget* FTabRow = nullptr;
    QWidget* FBandHost = nullptr;
    QWidget* FBand = nullptr;
    QAbstractButton* FApplicationButton = nullptr;
    QAbstractButton* FMinimizeButton = nullptr;
    QList<QAbstractButton*> FTabHeaders;
    QList<TUICommand*> FTabCommands;
    QMenu* FApplicationMenu = nullptr;
    QWidget* FBandPopup = nullptr;
    TRibbonKeyTips* FKeyTips = nullptr;
};
