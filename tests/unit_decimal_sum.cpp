// Exact decimal sums of the numbers a grid shows: what is a number, the sum, count and
// average, and their texts.
#include "reports/DecimalSumUnit.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(DecimalSum, WhatIsANumber)
{
    const struct {
        const char* Text;
        const char* Read; // as the grid writes it; nullptr: no number
    } cases[] = {
        {"12.5", "12.50"},     {"-0.10", "-0.10"},  {"+3", "3.00"},          {"007.250", "7.250"},
        {"1e+20", "100000000000000000000.00"},      {"1.5E-3", "0.0015"},    {".5", "0.50"},
        {"5.", "5.00"},        {"-0", "0.00"},      {"12,50", nullptr},      {"abc", nullptr},
        {"", nullptr},         {" 7", nullptr},     {"7 ", nullptr},         {"1e", nullptr},
        {"NaN", nullptr},      {"inf", nullptr},    {"0x1F", nullptr},       {"1e99999", nullptr},
        {"1.2.3", nullptr},    {"-", nullptr},      {".", nullptr},
    };
    for (const auto& c : cases) {
        TDecimal d;
        const bool read = TDecimal::Parse(QString::fromUtf8(c.Text), d);
        EXPECT_EQ(read, c.Read != nullptr) << c.Text;
        if (read && c.Read) {
            EXPECT_EQ(d.Text(2), QString::fromUtf8(c.Read)) << c.Text;
        }
    }
}

TEST(DecimalSum, SumsCountsAndAveragesExactly)
{
    const QString nbsp = QLocale(QLocale::Bulgarian).groupSeparator();
    const struct {
        std::vector<const char*> Texts;
        qint64 Count;
        const char* Sum;
        const char* Average;
        const char* BulgarianSum;
    } cases[] = {
        // A double accumulation gives 0.30000000000000004 and 1234.8000000000002.
        {{"1234.50", "0.10", "0.20"}, 3, "1234.80", "411.60", "1 234,80"},
        {{"0.1", "0.2", "12,50", "abc"}, 2, "0.30", "0.15", "0,30"},
        {{"-5.005", "5"}, 2, "-0.005", "-0.003", "-0,005"},        // half away from zero
        {{"1", "1", "1"}, 3, "3.00", "1.00", "3,00"},
        {{"2", "0", "0"}, 3, "2.00", "0.67", "2,00"},
        {{"-1000000", "-234567.891"}, 2, "-1234567.891", "-617283.946", "-1 234 567,891"},
        {{"99999999999999999999.99", "0.01"}, 2, "100000000000000000000.00", "50000000000000000000.00",
         "100 000 000 000 000 000 000,00"},
        {{"10", "-10"}, 2, "0.00", "0.00", "0,00"},
    };
    for (const auto& c : cases) {
        TDecimalSum sum;
        for (const char* t : c.Texts)
            sum.Add(QString::fromUtf8(t));
        SCOPED_TRACE(c.Sum);
        EXPECT_EQ(sum.Count(), c.Count);
        EXPECT_EQ(sum.Sum().Text(2), QString::fromUtf8(c.Sum));
        EXPECT_EQ(sum.Average().Text(2), QString::fromUtf8(c.Average));
        EXPECT_EQ(sum.Sum().BulgarianText(2), QString::fromUtf8(c.BulgarianSum).replace(u' ', nbsp));
    }
    TDecimal cents;
    ASSERT_TRUE(TDecimal::FromHundredths(u"-123456", cents));
    EXPECT_EQ(cents.Text(2), QStringLiteral("-1234.56"));
    EXPECT_FALSE(TDecimal::FromHundredths(u"12.5", cents));
}
