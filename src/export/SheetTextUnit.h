#pragma once
// Text as a worksheet cell stores it: a spreadsheet program reads "_xHHHH_" in a cell's
// text as the character of that code, so a text that holds such a sequence is written with
// its leading underscore escaped ("_x005F_"), and the cell shows the text as it was given.

#include <QByteArray>
#include <QStringView>

// The UTF-8 bytes to give libxlsxwriter for `text`. The library (1.1.4) escapes the
// control characters U+0001-U+0008 and U+000B-U+001F itself, after its length check, and
// nothing else: those are left to it. Escaped here are the underscore that would start an
// escape in the written cell, U+0000 (which a C string cannot carry) and U+FFFE, U+FFFF
// (which XML cannot hold).
QByteArray SheetText(QStringView text);
