#include "log/value_histogram.h"

#include <algorithm>
#include <cstddef>

namespace {

int32_t RankInMap(const std::map<int32_t, int64_t>& counts, int64_t rank) {
    for (const auto& [value, count] : counts) {
        if (rank < count)
            return value;
        rank -= count;
    }
    return counts.empty() ? 0 : counts.rbegin()->first;
}

} // namespace

TValueHistogram::TValueHistogram() : m_dense(DenseLimit, 0) {}

void TValueHistogram::Add(int32_t value) {
    ++m_count;
    if (value < 0) {
        ++m_below[value];
        ++m_belowCount;
    } else if (value >= DenseLimit) {
        ++m_above[value];
    } else {
        ++m_dense[static_cast<size_t>(value)];
        ++m_coarse[static_cast<size_t>(value / CoarseWidth)];
        ++m_denseCount;
    }
}

void TValueHistogram::Clear() {
    std::fill(m_dense.begin(), m_dense.end(), 0);
    m_coarse.fill(0);
    m_below.clear();
    m_above.clear();
    m_belowCount = m_denseCount = m_count = 0;
}

int32_t TValueHistogram::ValueAtRank(int64_t rank) const {
    if (rank < m_belowCount)
        return RankInMap(m_below, rank);
    rank -= m_belowCount;
    if (rank >= m_denseCount)
        return RankInMap(m_above, rank - m_denseCount);
    size_t bucket = 0;
    while (rank >= m_coarse[bucket])
        rank -= m_coarse[bucket++];
    for (size_t value = bucket * CoarseWidth;; ++value) {
        if (rank < m_dense[value])
            return static_cast<int32_t>(value);
        rank -= m_dense[value];
    }
}
