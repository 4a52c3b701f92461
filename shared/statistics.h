// statistics.h -- figures over a run's samples, such as the median and 99th percentile frame time
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// The sample `share` (0 to 1) of the way through `values` sorted, the nearest
// rank rounded half up: 0.5 gives the median, 0.99 the 99th percentile. 0
// for no samples.
inline double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t at = static_cast<size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}
