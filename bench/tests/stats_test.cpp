#include "stats.hpp"

#include <gtest/gtest.h>

#include <numeric>

namespace kal::bench {
namespace {

TEST(Stats, PercentilesInterpolateBetweenTheNearestValues) {
    struct Case {
        std::vector<double> values;
        double p;
        double expected;
    };
    const Case cases[] = {
        {{}, 50.0, 0.0},
        {{7.0}, 99.0, 7.0},
        {{3.0, 1.0, 2.0}, 50.0, 2.0},
        {{4.0, 1.0, 3.0, 2.0}, 50.0, 2.5},
        {{1.0, 2.0, 3.0, 4.0, 5.0}, 0.0, 1.0},
        {{1.0, 2.0, 3.0, 4.0, 5.0}, 100.0, 5.0},
        {{1.0, 2.0, 3.0, 4.0, 5.0}, 75.0, 4.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(percentile(c.values, c.p), c.expected) << c.p;
    }
}

TEST(Stats, OneLatePeriodInAHundredSetsTheNinetyNinthPercentile) {
    std::vector<double> deviations(99, 0.1);
    deviations.push_back(5.0);
    EXPECT_LT(percentile(deviations, 98.0), 0.2);
    EXPECT_GT(percentile(deviations, 99.5), 2.0);
    EXPECT_DOUBLE_EQ(median(deviations), 0.1);
}

}  // namespace
}  // namespace kal::bench
