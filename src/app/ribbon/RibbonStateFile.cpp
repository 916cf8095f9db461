// The ribbon state file: where it is, writing and reading it.

#include "RibbonStateFile.h"

#include "common/MessageBoxUnit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace {

const QString kSettingsFileName = QStringLiteral("MainForm_RibbonOptions.xml");

QString gExecutableDirOverride;
QString gUserConfigDirOverride;

} // namespace

void TRibbonStateFile::SetFolders(const QString& executableDir, const QString& userConfigDir)
{
    gExecutableDirOverride = executableDir;
    gUserConfigDirOverride = userConfigDir;
}

QString TRibbonStateFile::FileName()
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

void TRibbonStateFile::Write(const QString& resourceName, const TRibbonState& state)
{
    const QString fileName = FileName();
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return;
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("RibbonOptions"));
    xml.writeAttribute(QStringLiteral("Resource"), resourceName);
    if (!state.SelectedTab.isEmpty())
        xml.writeTextElement(QStringLiteral("SelectedTab"), state.SelectedTab);
    if (state.Minimized)
        xml.writeTextElement(QStringLiteral("Minimized"), *state.Minimized ? QStringLiteral("true") : QStringLiteral("false"));
    xml.writeEndElement();
    xml.writeEndDocument();
    file.commit();
}

std::optional<TRibbonState> TRibbonStateFile::Read()
{
    QFile file(FileName());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QXmlStreamReader xml(&file);
    if (!xml.readNextStartElement() || xml.name() != u"RibbonOptions")
        return std::nullopt;
    TRibbonState state;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"SelectedTab") {
            state.SelectedTab = xml.readElementText().trimmed();
        } else if (xml.name() == u"Minimized") {
            const QString value = xml.readElementText().trimmed();
            if (value == u"true" || value == u"1")
                state.Minimized = true;
            else if (value == u"false" || value == u"0")
                state.Minimized = false;
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return std::nullopt;
    return state;
}
