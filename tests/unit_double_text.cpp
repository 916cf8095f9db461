// Numbers as text: the fast path of DoubleToText must write exactly what printf's %.15g and
// %.7g write, over the values where the layouts switch and a spread of random doubles.
#include "db/QueryUnit.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>

namespace {

std::string Printf(double v, int precision)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", precision, v);
    return buf;
}

} // namespace

TEST(DoubleToText, IsPrintfG)
{
    const double cases[] = {0.0, -0.0, 1, -1, 12.5, -0.25, 0.1, 0.3, 1.0 / 3, 2.0 / 3, 1e-4, 1.5e-4, 9.99e-5, 1e-5,
                            123456789012345.0, 999999999999999.0, 1e15, 1234567890123456.0, 1e16, 12000000,
                            1200000, 100000, 1e21, 1e-300, 5e-324, std::numeric_limits<double>::max(),
                            std::numeric_limits<double>::min(), 0.1 + 0.2, 1e100, -1234.5678, 3343469,
                            std::nextafter(1.0, 2.0), std::nextafter(100.0, 0.0), 0.000123456789012345};
    for (double v : cases)
        for (int precision : {15, 7})
            EXPECT_EQ(DoubleToText(v, precision).toStdString(), Printf(v, precision)) << v << " %." << precision << "g";

    // Prices, quantities and sums as they come from a shop's tables, and doubles of every
    // magnitude with every bit pattern.
    std::mt19937_64 random(20261210);
    for (int i = 0; i < 200000; ++i) {
        double v;
        switch (i % 3) {
        case 0: v = double(std::int64_t(random() % 100000000) - 50000000) / 100; break;
        case 1: v = double(random() % 1000000) / 1000 * double(random() % 7); break;
        default: {
            const std::uint64_t bits = random();
            std::memcpy(&v, &bits, sizeof v);
            if (!std::isfinite(v))
                continue;
        }
        }
        for (int precision : {15, 7})
            ASSERT_EQ(DoubleToText(v, precision).toStdString(), Printf(v, precision)) << v << " %." << precision << "g";
    }
    EXPECT_EQ(DoubleToText(std::numeric_limits<double>::infinity(), 15).toStdString(), Printf(HUGE_VAL, 15));
}
