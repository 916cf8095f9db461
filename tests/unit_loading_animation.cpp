// The time written under the loading picture while a page loads.
#include "reports/LoadingAnimationUnit.h"

#include <gtest/gtest.h>

namespace {

TEST(LoadingAnimation, ElapsedTextAfterTheFirstSecond)
{
    const std::pair<qint64, const char*> cases[] = {
        {0, ""}, {999, ""}, {1000, "Зареждане… 1 с"}, {59999, "Зареждане… 59 с"},
        {60000, "Зареждане… 1:00 мин"}, {65432, "Зареждане… 1:05 мин"}, {3600000, "Зареждане… 60:00 мин"}};
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(TLoadingAnimation::ElapsedText(ms), QString::fromUtf8(text)) << ms;
}

} // namespace
