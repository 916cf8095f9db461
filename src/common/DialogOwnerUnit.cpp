// Which window a modal dialog belongs to.
#include "common/DialogOwnerUnit.h"

#include <QApplication>
#include <QMainWindow>

QWidget* DialogOwnerWindow()
{
    QWidget* active = QApplication::activeWindow();
    if (qobject_cast<QMainWindow*>(active))
        return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            return w;
    return active;
}
