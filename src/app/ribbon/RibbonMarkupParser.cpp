// Parsing and validation of the ribbon markup.

#include "RibbonMarkupParser.h"

#include "db/Exception.h"

#include <QSet>
#include <QXmlStreamReader>

#include <utility>

TMarkup ParseMarkup(const QByteArray& data, const QString& resource)
{
    const auto fail = [&resource](const QString& what) {
        return Exception(QStringLiteral("Ribbon markup \"%1\": %2").arg(resource, what));
    };
    TMarkup markup;
    QXmlStreamReader xml(data);
    bool inMenu = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"ApplicationMenu")
            inMenu = false;
        if (!xml.isStartElement())
            continue;
        const auto element = xml.name();
        const QString command = xml.attributes().value(QLatin1String("CommandName")).toString();
        if (element == u"Command") {
            TMarkupCommand c;
            c.Name = xml.attributes().value(QLatin1String("Name")).toString();
            bool ok = false;
            c.Id = xml.attributes().value(QLatin1String("Id")).toInt(&ok);
            if (c.Name.isEmpty() || !ok)
                throw fail(QStringLiteral("a command without name or id"));
            c.SmallImage = xml.attributes().value(QLatin1String("SmallImage")).toString();
            c.LargeImage = xml.attributes().value(QLatin1String("LargeImage")).toString();
            markup.Commands.append(c);
        } else if (element == u"ApplicationMenu") {
            markup.ApplicationMenu = command;
            inMenu = true;
        } else if (element == u"MenuGroup") {
            if (!inMenu)
                throw fail(QStringLiteral("a menu group outside the application menu"));
            markup.MenuGroups.append(QStringList());
        } else if (element == u"Tab") {
            markup.Tabs.append(TMarkupTab{command, {}});
        } else if (element == u"Group") {
            if (markup.Tabs.isEmpty())
                throw fail(QStringLiteral("group %1 outside a tab").arg(command));
            markup.Tabs.last().Groups.append(TMarkupGroup{command, {}});
        } else if (element == u"Button") {
            if (inMenu) {
                if (markup.MenuGroups.isEmpty())
                    throw fail(QStringLiteral("menu item %1 outside a menu group").arg(command));
                markup.MenuGroups.last().append(command);
            } else {
                if (markup.Tabs.isEmpty() || markup.Tabs.last().Groups.isEmpty())
                    throw fail(QStringLiteral("button %1 outside a group").arg(command));
                markup.Tabs.last().Groups.last().Buttons.append(command);
            }
        }
    }
    if (xml.hasError())
        throw fail(xml.errorString());
    return markup;
}

// Every name the views use must be a declared command, and a button must not be a tab,
// group or the application menu; checked before anything is built.
void ValidateMarkup(const TMarkup& markup, const QString& resource)
{
    QSet<QString> declared;
    for (const TMarkupCommand& c : markup.Commands)
        declared.insert(c.Name);
    QSet<QString> anchors;
    QStringList buttons;
    if (!markup.ApplicationMenu.isEmpty())
        anchors.insert(markup.ApplicationMenu);
    for (const QStringList& group : markup.MenuGroups)
        buttons += group;
    for (const TMarkupTab& tab : markup.Tabs) {
        anchors.insert(tab.Command);
        for (const TMarkupGroup& group : tab.Groups) {
            anchors.insert(group.Command);
            buttons += group.Buttons;
        }
    }
    for (const QString& name : anchors)
        if (!declared.contains(name))
            throw Exception(QStringLiteral("Ribbon markup \"%1\": unknown command %2").arg(resource, name));
    for (const QString& name : std::as_const(buttons)) {
        if (!declared.contains(name))
            throw Exception(QStringLiteral("Ribbon markup \"%1\": unknown command %2").arg(resource, name));
        if (anchors.contains(name))
            throw Exception(QStringLiteral("Ribbon markup \"%1\": %2 cannot be a button").arg(resource, name));
    }
}
