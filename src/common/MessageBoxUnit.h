#pragma once
// The program's two message boxes and its title, shared by the shell, the report windows
// and the export.

#include <QString>

inline const QString kApplicationTitle = QStringLiteral("Дравик Одитор Продажби");

// A plain message box: no icon, one OK button, the application title as caption.
void ShowMessage(const QString& text);
// The error box: stop icon, OK, the message with a full stop appended when its last
// character's code is greater than that of ".".
void ShowErrorBox(const QString& message);
QString ErrorBoxText(const QString& message);
