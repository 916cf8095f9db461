#pragma once
// Windows-1251, the Cyrillic 8-bit code page: the stored password and the CSV files use it.
// Both directions are table-driven; what the other side cannot hold becomes "?".

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// One byte per character (a surrogate pair is one character). Characters the code page
// lacks become "?".
QByteArray ToWindows1251(QStringView text);
// The same, appended to `out`. Returns how many characters became "?" for want of a byte.
qsizetype AppendWindows1251(QByteArray& out, QStringView text);

// One character per byte. The one byte the code page leaves undefined (0x98) becomes "?".
QString FromWindows1251(QByteArrayView bytes);

// True when every character of `text` has a byte in Windows-1251.
bool FitsWindows1251(QStringView text);
