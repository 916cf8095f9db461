// Text of cell values: pure text routines (see FieldTextUnit.h).
#include "FieldTextUnit.h"

#include <algorithm>

#include <QByteArray>
#include <QDate>
#include <QTime>
#include <charconv>
#include <cmath>
#include <cstring>

QString PadDecimal(QString text, int scale)
{
    // Decimal text as the column's scale has it: "12.5" of a NUMERIC(12,2) reads "12.50".
    if (scale <= 0)
        return text;
    for (const QChar c : text)
        if (!c.isDigit() && c != QLatin1Char('.') && c != QLatin1Char('-') && c != QLatin1Char('+'))
            return text; // an exponent, NaN, Infinity: as the engine wrote it
    int dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        text += QLatin1Char('.');
        dot = text.size() - 1;
    }
    const int have = text.size() - dot - 1;
    if (have < scale)
        text += QString(scale - have, QLatin1Char('0'));
    return text;
}

// "0.00", "#,##0.00", "0.00####": minimum and maximum decimals and thousands grouping.
QString FormatNumber(double v, const QString& fmt)
{
    const int dot = fmt.indexOf(QLatin1Char('.'));
    int minDec = 0, maxDec = 0;
    if (dot >= 0) {
        for (int i = dot + 1; i < fmt.size(); ++i) {
            if (fmt[i] == QLatin1Char('0')) { ++minDec; ++maxDec; }
            else if (fmt[i] == QLatin1Char('#')) ++maxDec;
        }
    }
    const bool group = fmt.left(dot < 0 ? fmt.size() : dot).contains(QLatin1Char(','));
    QString s = QString::number(v, 'f', maxDec);
    if (maxDec > minDec) {
        while (s.endsWith(QLatin1Char('0')) && s.size() - s.indexOf(QLatin1Char('.')) - 1 > minDec)
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (group) {
        int end = s.indexOf(QLatin1Char('.'));
        if (end < 0) end = s.size();
        const int begin = s.startsWith(QLatin1Char('-')) ? 1 : 0;
        for (int i = end - 3; i > begin; i -= 3)
            s.insert(i, QLatin1Char(','));
    }
    return s;
}

QString BytesToHex(const std::byte* p, SQLLEN n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(p), qsizetype(n)).toHex().toUpper());
}

// Fixed-pattern date and time texts written digit by digit (prototype).
namespace {
inline char16_t* Digits2(char16_t* q, int v) { q[0] = char16_t(u'0' + v / 10); q[1] = char16_t(u'0' + v % 10); return q + 2; }
} // namespace
QString FastDate(int y, int m, int d, bool withTime, int hh, int mi, int ss)
{
    if (y < 1 || y > 9999 || !QDate::isValid(y, m, d))
        return {};
    QString s(withTime ? 19 : 10, Qt::Uninitialized);
    char16_t* q = reinterpret_cast<char16_t*>(s.data());
    q = Digits2(q, d); *q++ = u'.'; q = Digits2(q, m); *q++ = u'.'; q = Digits2(q, y / 100); q = Digits2(q, y % 100);
    if (withTime) { *q++ = u' '; q = Digits2(q, hh); *q++ = u':'; q = Digits2(q, mi); *q++ = u':'; Digits2(q, ss); }
    return s;
}
QString FastTime(int hh, int mi, int ss)
{
    if (!QTime::isValid(hh, mi, ss))
        return {};
    QString s(8, Qt::Uninitialized);
    char16_t* q = reinterpret_cast<char16_t*>(s.data());
    q = Digits2(q, hh); *q++ = u':'; q = Digits2(q, mi); *q++ = u':'; Digits2(q, ss);
    return s;
}

QString DoubleToText(double v, int precision)
{
    char buf[64];
    char* out = buf;
    // Money and quantities: a value that is a whole number of hundredths. The nearest double
    // to n / 100 is v, and with at most 15 digits n / 100 is also what printf rounds v to.
    if (precision == 15 && v != 0 && std::fabs(v) < 1e12) {
        const long long n = std::llround(v * 100);
        if (double(n) / 100 == v) {
            unsigned long long a = n < 0 ? 0ull - (unsigned long long)n : (unsigned long long)n;
            if (n < 0)
                *out++ = '-';
            const unsigned cents = unsigned(a % 100);
            out = std::to_chars(out, buf + sizeof buf, a / 100).ptr;
            if (cents) {
                *out++ = '.';
                *out++ = char('0' + cents / 10);
                if (cents % 10)
                    *out++ = char('0' + cents % 10);
            }
            return QString::fromLatin1(buf, qsizetype(out - buf));
        }
    }
    if ((std::isnormal(v) || v == 0) && precision > 0 && precision <= 17) {
        // The shortest digits that read back as v. When there are no more of them than the
        // precision, they are the digits printf would round to (a normal double's spacing is
        // finer than a 15-digit decimal's), and only printf's %g layout is left to do; that
        // saves most of the cost of a rounding conversion.
        const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
        const char* p = buf;
        const char* const e = static_cast<const char*>(std::memchr(buf, 'e', size_t(r.ptr - buf)));
        char digits[24];
        int count = 0;
        const bool negative = *p == '-';
        if (negative)
            ++p;
        for (; p != e; ++p)
            if (*p != '.')
                digits[count++] = *p;
        int exponent = 0;
        std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, exponent);
        if (count <= precision) {
            if (exponent < -4 || exponent >= precision) // scientific, as to_chars wrote it
                return QString::fromLatin1(buf, qsizetype(r.ptr - buf));
            char text[64];
            out = text;
            if (negative)
                *out++ = '-';
            if (exponent < 0) {
                *out++ = '0';
                *out++ = '.';
                out = std::fill_n(out, -exponent - 1, '0');
                out = std::copy_n(digits, count, out);
            } else if (exponent + 1 >= count) {
                out = std::copy_n(digits, count, out);
                out = std::fill_n(out, exponent + 1 - count, '0');
            } else {
                out = std::copy_n(digits, exponent + 1, out);
                *out++ = '.';
                out = std::copy_n(digits + exponent + 1, count - exponent - 1, out);
            }
            return QString::fromLatin1(text, qsizetype(out - text));
        }
    }
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
    return QString::fromLatin1(buf, qsizetype(r.ptr - buf));
}

namespace {

// `count` digits at `at` as a number; false when they are not all digits.
bool Digits(QStringView t, qsizetype at, int count, int& value)
{
    if (at + count > t.size())
        return false;
    value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = t[at + i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c - u'0');
    }
    return true;
}

// "hh:mm:ss[.f...]" at `at`; `at` moves past it.
bool ParseTime(QStringView t, qsizetype& at, TIsoTemporal& out)
{
    if (!Digits(t, at, 2, out.Hour) || at + 2 >= t.size() || t[at + 2] != u':' || !Digits(t, at + 3, 2, out.Minute) ||
        at + 5 >= t.size() || t[at + 5] != u':' || !Digits(t, at + 6, 2, out.Second))
        return false;
    at += 8;
    if (at < t.size() && t[at] == u'.') {
        int digits = 0;
        ++at;
        const qsizetype first = at;
        while (at < t.size() && t[at].unicode() >= u'0' && t[at].unicode() <= u'9') {
            if (digits < 6)
                out.Microsecond = out.Microsecond * 10 + (t[at].unicode() - u'0');
            ++digits;
            ++at;
        }
        if (digits == 0)
            return false;
        out.Fraction = t.mid(first, at - first);
        for (; digits < 6; ++digits)
            out.Microsecond *= 10;
    }
    out.HasTime = true;
    return out.Hour < 24 && out.Minute < 60 && out.Second < 60;
}

} // namespace

bool ParseIsoTemporal(QStringView t, TIsoTemporal& out)
{
    out = {};
    qsizetype at = 0;
    if (t.size() >= 10 && t[4] == u'-') {
        if (!Digits(t, 0, 4, out.Year) || t[4] != u'-' || !Digits(t, 5, 2, out.Month) || t[7] != u'-' ||
            !Digits(t, 8, 2, out.Day))
            return false;
        if (out.Year < 1 || !QDate::isValid(out.Year, out.Month, out.Day))
            return false;
        out.HasDate = true;
        at = 10;
        if (at == t.size())
            return true;
        if (t[at] != u' ' && t[at] != u'T')
            return false;
        ++at;
    }
    if (!ParseTime(t, at, out))
        return false;
    // A zone after a date-time, "+02", "-05:30": the wall-clock time is what is shown.
    if (out.HasDate && at < t.size() && (t[at] == u'+' || t[at] == u'-')) {
        int zone = 0;
        if (!Digits(t, at + 1, 2, zone))
            return false;
        at += 3;
        if (at < t.size() && t[at] == u':' && Digits(t, at + 1, 2, zone))
            at += 3;
    }
    return at == t.size();
}

QString FractionText(const TIsoTemporal& t)
{
    return t.Fraction.isEmpty() ? QString() : QLatin1Char('.') + t.Fraction.toString();
}

bool ParseStrictInteger(std::string_view text, qint64& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    if (begin == end || (*begin == '-' && begin + 1 == end))
        return false;
    const auto r = std::from_chars(begin, end, value);
    return r.ec == std::errc() && r.ptr == end;
}

bool ParseStrictReal(std::string_view text, double& value)
{
    // from_chars alone would take "inf", "nan" and hex forms: the characters are checked
    // first, then the whole text must be one number.
    size_t i = 0;
    const size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9')
        ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        size_t exponent = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9')
            ++i, ++exponent;
        if (exponent == 0)
            return false;
    }
    if (i != n)
        return false;
    const char* begin = text.data() + (text.starts_with('+') ? 1 : 0);
    const auto r = std::from_chars(begin, text.data() + n, value);
    return r.ec == std::errc() && r.ptr == text.data() + n && std::isfinite(value);
}
