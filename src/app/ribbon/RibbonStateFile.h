#pragma once
// The ribbon state file: where it lives, and the selected tab and minimised state it
// keeps between runs.
//
// <RibbonOptions Resource="APPLICATION">
//   <SelectedTab>CmdTools</SelectedTab>
//   <Minimized>false</Minimized>
// </RibbonOptions>

#include <QString>

#include <optional>

// What the state file says. SelectedTab is the tab command's name, empty when the file
// names none; Minimized is unset when the file has no valid value for it.
struct TRibbonState {
    QString SelectedTab;
    std::optional<bool> Minimized;
};

class TRibbonStateFile {
public:
    // "MainForm_RibbonOptions.xml" beside the executable when it exists there, else in
    // "<user config>/Дравик Одитор Продажби/".
    static QString FileName();
    // Test hooks: replace the executable's folder and the user config folder (empty
    // restores the real one).
    static void SetFolders(const QString& executableDir, const QString& userConfigDir);

    // The state in the file; nothing when there is no file or it is not a ribbon state file.
    static std::optional<TRibbonState> Read();
    // Writes the file for the ribbon built from resourceName, creating its folder; an empty
    // SelectedTab and an unset Minimized are left out. Failures are ignored.
    static void Write(const QString& resourceName, const TRibbonState& state);
};
