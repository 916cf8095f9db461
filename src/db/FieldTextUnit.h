#pragma once
// Text of cell values: doubles as printf writes them, decimals padded to their scale,
// numbers in a display format, fixed-pattern dates and times, bytes as hex. Pure text
// routines, free of ODBC statements.

#include <QString>
#include <cstddef>
#include <string_view>
#include <sqltypes.h>

// v as printf's "%.<precision>g" writes it in the C locale.
QString DoubleToText(double v, int precision);
// Decimal text with at least `scale` decimals; a text that is no plain number (NaN,
// Infinity) is left as it is.
QString PadDecimal(QString text, int scale);
// v in a "0.00"-style display format.
QString FormatNumber(double v, const QString& fmt);
// n bytes as upper-case hex digits.
QString BytesToHex(const std::byte* p, SQLLEN n);
// dd.MM.yyyy, with " hh:mm:ss" when withTime; empty for a date that does not exist.
QString FastDate(int y, int m, int d, bool withTime, int hh, int mi, int ss);
// hh:mm:ss; empty for a time that does not exist.
QString FastTime(int hh, int mi, int ss);

// A date, time or date-time as an engine writes it in ISO form: "yyyy-MM-dd",
// "hh:mm:ss[.ffffff]" or "yyyy-MM-dd hh:mm:ss[.ffffff][+zz[:zz]]" (a zone is read past).
// False for anything else, a value that does not exist, or a year outside 1..9999 (a date
// "BC", "infinity").
struct TIsoTemporal {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Microsecond = 0;
    bool HasDate = false, HasTime = false;
    // The digits of the fraction of a second as written (any number of them), or empty.
    QStringView Fraction;
};
bool ParseIsoTemporal(QStringView text, TIsoTemporal& out);
// The fraction of a second as written after the seconds of a shown time: ".5", ".789123".
QString FractionText(const TIsoTemporal& t);

// A whole number written as an engine writes one: an optional sign and decimal digits only,
// within 64 bits.
bool ParseStrictInteger(std::string_view text, qint64& value);
// A finite decimal number written as an engine writes one: an optional sign, digits with an
// optional point, an optional exponent. NaN, infinities, hex, a comma or trailing text: false.
bool ParseStrictReal(std::string_view text, double& value);
