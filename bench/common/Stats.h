#pragma once
// Order statistics for the benchmarks that print latency figures. A percentile is named only when
// there are enough samples for it: a p99 needs at least 1,000 (ten samples beyond it), a p95 200,
// a median 1; with fewer samples the figure printed is the maximum and is named so.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

namespace benchstats {

// The value below which a fraction p of the samples lie (nearest rank); NaN without samples.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size())));
    return v[std::min(v.size() - 1, rank == 0 ? 0 : rank - 1)];
}

inline double median(const std::vector<double>& v) { return percentile(v, 0.5); }

inline double maximum(const std::vector<double>& v)
{
    return v.empty() ? NAN : *std::max_element(v.begin(), v.end());
}

// Samples needed before the p-th percentile is printed as such.
inline std::size_t samplesFor(double p)
{
    return p >= 0.99 ? 1000 : p >= 0.95 ? 200 : 1;
}

// A high percentile that is honest about its name.
struct Tail {
    double value;
    std::string name;  // "p99" or "max"
};

inline Tail tail(const std::vector<double>& v, double p = 0.99)
{
    if (v.size() >= samplesFor(p))
        return {percentile(v, p), "p" + std::to_string(static_cast<int>(std::lround(p * 100)))};
    return {maximum(v), "max"};
}

}  // namespace benchstats
