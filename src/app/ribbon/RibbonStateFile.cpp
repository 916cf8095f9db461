// The ribbon state file: where it is, writing and reading it.

#include "UIRibbonUnit.h"

#include "common/MessageBoxUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <optional>

namespace {

const QString kSettingsFileName = QStringLiteral("MainForm_RibbonOptions.xml");

QString gExecutableDirOverride;
QString gUserConfigDirOverride;

} // namespace

void TUIRibbon::SetSettingsFolders(const QString& executableDir, const QString& userConfigDir)
{
    gExecutableDirOverride = executableDir;
    gUserConfigDirOverride = userConfigDir;
}

QString TUIRibbon::SettingsFileName()
{
    const QString executableDir =
        gExecutableDirOverride.isEmpty() ? QCoreApplication::applicationDirPath() : gExecutableDirOverride;
    const QString besideExecutable = QDir(executableDir).filePath(kSettingsFileName);
    if (QFileInfo::exists(besideExecutable))
        return besideExecutable;
    const QString configDir = gUserConfigDirOverride.isEmpty()
                                  ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                  : gUserConfigDirOverride;
    return QDir(configDir).filePath(kApplicationTitle + QLatin1Char('/') + kSettingsFileName);
}

// <RibbonOptions Resource="APPLICATION">
//   <SelectedTab>CmdTools</SelectedTab>
//   <Minimized>false</Minimized>
// </RibbonOptions>
void TUIRibbon::SaveSettings() const
{
    const QString fileName = SettingsFileName();
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("RibbonOptions"));
    xml.writeAttribute(QStringLiteral("Resource"), FResourceName);
    if (FActiveTab >= 0 && FActiveTab < TabCount())
        xml.writeTextElement(QStringLiteral("SelectedTab"), FTabCommands[FActiveTab]->Name());
    xml.writeTextElement(QStringLiteral("Minimized"), FMinimized ? QStringLiteral("true") : QStringLiteral("false"));
    xml.writeEndElement();
    xml.writeEndDocument();
    file.commit();
}

bool TUIRibbon::LoadSettings()
{
    QFile file(SettingsFileName());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || xml.name() != u"RibbonOptions")
        return false;
    QString selectedTab;
    std::optional<bool> minimized;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"SelectedTab") {
            selectedTab = xml.readElementText().trimmed();
        } else if (xml.name() == u"Minimized") {
            const QString value = xml.readElementText().trimmed();
            if (value == u"true" || value == u"1")
                minimized = true;
            else if (value == u"false" || value == u"0")
                minimized = false;
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return false;
    for (int i = 0; i < TabCount(); ++i)
        if (FTabCommands[i]->Name() == selectedTab)
            SetActiveTabIndex(i);
    if (minimized)
        SetMinimized(*minimized);
    return true;
}
