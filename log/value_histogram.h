#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <vector>

// Counts of 32-bit values that answer "the k-th smallest" quickly: response times are mostly small whole
// milliseconds, so they are counted in a dense table with a coarse index over it; the rare others in a map.
class TValueHistogram {
public:
    TValueHistogram();

    void Add(int32_t value);
    void Clear();
    int64_t Count() const { return m_count; }
    // The value of 0-based rank k in ascending order; k must be below Count().
    int32_t ValueAtRank(int64_t rank) const;

private:
    static constexpr int32_t DenseLimit = 1 << 16;
    static constexpr int32_t CoarseWidth = 256;

    std::vector<uint32_t> m_dense;
    std::array<int64_t, DenseLimit / CoarseWidth> m_coarse{};
    std::map<int32_t, int64_t> m_below; // negative values
    std::map<int32_t, int64_t> m_above; // DenseLimit and more
    int64_t m_belowCount = 0;
    int64_t m_denseCount = 0;
    int64_t m_count = 0;
};
