// The program's message box and error box.
#include "common/MessageBoxUnit.h"

#include <QApplication>
#include <QMessageBox>

void ShowMessage(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, kApplicationTitle, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

void ShowErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, ErrorBoxText(message), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}
