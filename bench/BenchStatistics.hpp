#pragma once
// The statistics every benchmark reports.

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace plinkora::bench {

/// The value `share` of the way through the sorted values (0.5 the median, 0.99 the 99th
/// percentile), to the nearest one; 0 for none.
inline double percentile(std::vector<double> values, double share) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    const auto index =
        static_cast<std::size_t>(share * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline double median(std::vector<double> values) {
    return percentile(std::move(values), 0.5);
}

} // namespace plinkora::bench
