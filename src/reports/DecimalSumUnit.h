#pragma once
// TDecimalSum: exact sums of decimal numbers given as text (the numbers a grid shows, the
// sums an engine returns), with their count and average, and their text in the grid's form
// and in the Bulgarian form. Nothing goes through a double.

#include <QString>
#include <QStringView>
#include <string>

// A decimal number: sign, digits without leading zeros (empty for zero) and how many of
// them are decimals.
struct TDecimal {
    bool Negative = false;
    std::string Digits;
    int Scale = 0;

    // A number as engines and the grid write one: an optional sign, digits with an optional
    // point, an optional exponent. Anything else (a comma, blanks, NaN, trailing text, an
    // exponent beyond a thousand) is no number: false.
    static bool Parse(QStringView text, TDecimal& out);
    // A whole number of hundredths ("123456" -> 1234.56); false when the text is no whole number.
    static bool FromHundredths(QStringView text, TDecimal& out);

    bool IsZero() const { return Digits.empty(); }
    // "-1234.50": a point, at least `minScale` decimals, no grouping (as the grid shows numbers).
    QString Text(int minScale = 2) const;
    // "-1 234,50": grouped thousands and a decimal comma, at least `minScale` decimals.
    QString BulgarianText(int minScale = 2) const;
};

class TDecimalSum {
public:
    // Adds the number `text` holds; false (nothing added) when it holds no number.
    bool Add(QStringView text);
    void Add(const TDecimal& value);

    qint64 Count() const { return FCount; }
    const TDecimal& Sum() const { return FSum; }
    // The sum divided by the count, rounded half away from zero to the sum's decimals (at
    // least two); zero for no numbers.
    TDecimal Average() const;

private:
    TDecimal FSum;
    qint64 FCount = 0;
};
