#pragma once
// Text of cell values: doubles as printf writes them, decimals padded to their scale,
// numbers in a display format, fixed-pattern dates and times, bytes as hex. Pure text
// routines, free of ODBC statements.

#include <QString>
#include <cstddef>
#include <sqltypes.h>

// v as printf's "%.<precision>g" writes it in the C locale.
QString DoubleToText(double v, int precision);
// Decimal text with at least `scale` decimals.
QString PadDecimal(QString text, int scale);
// v in a "0.00"-style display format.
QString FormatNumber(double v, const QString& fmt);
// n bytes as upper-case hex digits.
QString BytesToHex(const std::byte* p, SQLLEN n);
// dd.MM.yyyy, with " hh:mm:ss" when withTime; empty for a date that does not exist.
QString FastDate(int y, int m, int d, bool withTime, int hh, int mi, int ss);
// hh:mm:ss; empty for a time that does not exist.
QString FastTime(int hh, int mi, int ss);
