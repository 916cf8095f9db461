// Exact decimal sums of numbers given as text (see DecimalSumUnit.h).
#include "DecimalSumUnit.h"

#include <QLocale>
#include <algorithm>

namespace {

constexpr int kMaxExponent = 1000;

// a - b for magnitudes of equal length with a >= b.
std::string SubtractDigits(const std::string& a, const std::string& b)
{
    std::string r(a.size(), '0');
    int borrow = 0;
    for (size_t i = a.size(); i-- > 0;) {
        int d = (a[i] - '0') - (b[i] - '0') - borrow;
        borrow = d < 0;
        r[i] = char('0' + (d + 10) % 10);
    }
    return r;
}

std::string AddDigits(const std::string& a, const std::string& b)
{
    std::string r(a.size() + 1, '0');
    int carry = 0;
    for (size_t i = a.size(); i-- > 0;) {
        const int d = (a[i] - '0') + (b[i] - '0') + carry;
        carry = d / 10;
        r[i + 1] = char('0' + d % 10);
    }
    r[0] = char('0' + carry);
    return r;
}

void TrimLeadingZeros(std::string& digits)
{
    const size_t first = digits.find_first_not_of('0');
    digits.erase(0, first == std::string::npos ? digits.size() : first);
}

// The digits of `d` at `scale` decimals (scale >= d.Scale), padded on the left to `width`.
std::string Aligned(const TDecimal& d, int scale, size_t width)
{
    std::string s = d.Digits + std::string(size_t(scale - d.Scale), '0');
    return std::string(width - std::min(width, s.size()), '0') + s;
}

// The integer and fraction digits of `d` with at least `minScale` decimals.
void Parts(const TDecimal& d, int minScale, std::string& whole, std::string& fraction)
{
    const int scale = std::max(d.Scale, minScale);
    std::string s = d.Digits + std::string(size_t(scale - d.Scale), '0');
    if (s.size() <= size_t(scale))
        s.insert(0, size_t(scale) + 1 - s.size(), '0');
    whole = s.substr(0, s.size() - size_t(scale));
    fraction = s.substr(s.size() - size_t(scale));
}

} // namespace

bool TDecimal::Parse(QStringView text, TDecimal& out)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    TDecimal d;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        d.Negative = text[i++] == u'-';
    std::string digits;
    int scale = 0;
    bool anyDigit = false, point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits += char(c.unicode());
            anyDigit = true;
            if (point)
                ++scale;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            negativeExponent = text[i++] == u'-';
        int exponent = 0;
        bool exponentDigit = false;
        for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
            exponent = exponent * 10 + (text[i].unicode() - u'0');
            exponentDigit = true;
            if (exponent > kMaxExponent)
                return false;
        }
        if (!exponentDigit)
            return false;
        scale += negativeExponent ? exponent : -exponent;
    }
    if (i != n)
        return false;
    if (scale < 0) {
        digits.append(size_t(-scale), '0');
        scale = 0;
    }
    TrimLeadingZeros(digits);
    d.Digits = std::move(digits);
    d.Scale = scale;
    if (d.Digits.empty())
        d.Negative = false;
    out = std::move(d);
    return true;
}

bool TDecimal::FromHundredths(QStringView text, TDecimal& out)
{
    TDecimal d;
    if (!Parse(text, d) || d.Scale != 0)
        return false;
    d.Scale = 2;
    out = std::move(d);
    return true;
}

QString TDecimal::Text(int minScale) const
{
    std::string whole, fraction;
    Parts(*this, minScale, whole, fraction);
    QString s = QString::fromLatin1((Negative ? "-" : "") + whole);
    if (!fraction.empty())
        s += QLatin1Char('.') + QString::fromLatin1(fraction);
    return s;
}

QString TDecimal::BulgarianText(int minScale) const
{
    std::string whole, fraction;
    Parts(*this, minScale, whole, fraction);
    const QLocale bg(QLocale::Bulgarian);
    QString grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            grouped += bg.groupSeparator();
        grouped += QLatin1Char(whole[i]);
    }
    QString s = (Negative ? QStringLiteral("-") : QString()) + grouped;
    if (!fraction.empty())
        s += bg.decimalPoint() + QString::fromLatin1(fraction);
    return s;
}

bool TDecimalSum::Add(QStringView text)
{
    TDecimal d;
    if (!TDecimal::Parse(text, d))
        return false;
    Add(d);
    return true;
}

void TDecimalSum::Add(const TDecimal& value)
{
    ++FCount;
    const int scale = std::max(FSum.Scale, value.Scale);
    const size_t width =
        std::max(FSum.Digits.size() + size_t(scale - FSum.Scale), value.Digits.size() + size_t(scale - value.Scale));
    const std::string a = Aligned(FSum, scale, width);
    const std::string b = Aligned(value, scale, width);
    TDecimal r;
    r.Scale = scale;
    if (FSum.Negative == value.Negative) {
        r.Digits = AddDigits(a, b);
        r.Negative = FSum.Negative;
    } else if (a >= b) {
        r.Digits = SubtractDigits(a, b);
        r.Negative = FSum.Negative;
    } else {
        r.Digits = SubtractDigits(b, a);
        r.Negative = value.Negative;
    }
    TrimLeadingZeros(r.Digits);
    if (r.Digits.empty())
        r.Negative = false;
    FSum = std::move(r);
}

TDecimal TDecimalSum::Average() const
{
    TDecimal avg;
    if (FCount == 0 || FSum.IsZero())
        return avg;
    // Long division of the sum's digits (one more decimal for the rounding) by the count.
    const int scale = std::max(FSum.Scale, 2);
    const std::string dividend = FSum.Digits + std::string(size_t(scale - FSum.Scale + 1), '0');
    std::string quotient;
    unsigned __int128 rest = 0;
    for (const char c : dividend) {
        rest = rest * 10 + unsigned(c - '0');
        quotient += char('0' + int(rest / unsigned(FCount)));
        rest %= unsigned(FCount);
    }
    // The last digit decides the rounding, half away from zero.
    const bool up = quotient.back() >= '5';
    quotient.pop_back();
    if (up) {
        size_t i = quotient.size();
        while (i > 0 && quotient[i - 1] == '9')
            quotient[--i] = '0';
        if (i == 0)
            quotient.insert(quotient.begin(), '1');
        else
            ++quotient[i - 1];
    }
    TrimLeadingZeros(quotient);
    avg.Digits = std::move(quotient);
    avg.Scale = scale;
    avg.Negative = FSum.Negative && !avg.Digits.empty();
    return avg;
}
