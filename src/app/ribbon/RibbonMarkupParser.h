#pragma once
// The ribbon markup read into plain structs (its commands, the application menu's groups,
// the tabs with their groups of buttons) and checked before the ribbon is built from it.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct TMarkupCommand {
    QString Name;
    int Id = 0;
    QString SmallImage;
    QString LargeImage;
};

struct TMarkupGroup {
    QString Command;
    QStringList Buttons;
};

struct TMarkupTab {
    QString Command;
    QList<TMarkupGroup> Groups;
};

struct TMarkup {
    QList<TMarkupCommand> Commands;
    QString ApplicationMenu;
    QList<QStringList> MenuGroups;
    QList<TMarkupTab> Tabs;
};

// Reads the markup; throws Exception naming the resource when it is malformed.
TMarkup ParseMarkup(const QByteArray& data, const QString& resource);
// Throws Exception naming the resource when the views use an undeclared command or a
// tab, group or the application menu as a button.
void ValidateMarkup(const TMarkup& markup, const QString& resource);
