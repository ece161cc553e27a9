#pragma once

// Order statistics over measurements: the benchmark reports medians and high percentiles
// because the machine it runs on is shared and noisy.

#include <vector>

namespace kal::bench {

// The p-th percentile (0..100) with linear interpolation between neighbours; 0 when empty.
double percentile(std::vector<double> values, double p);

inline double median(const std::vector<double>& values) {
    return percentile(values, 50.0);
}

}  // namespace kal::bench
