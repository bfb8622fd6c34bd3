#pragma once

#include "log/error_pool.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Presence flags of a record's fields, one bit per field in field order; a field without its flag is null.
enum TFieldPresence : uint8_t { HasTime = 1, HasValue = 2, HasError = 4 };

// A record while it is being inserted or edited. Like the record read in place, no member has a default
// initialiser: a record built without one of the columns does not compile, and TRecordData() is all zero.
struct TRecordData {
    int64_t timeMs;
    int32_t value;
    std::string error;
    uint8_t present;
};

// A stored record read in place; the error text is a view into the store's pool, valid until the next change.
struct TRecordView {
    int64_t timeMs;
    int32_t value;
    std::string_view error;
    uint32_t errorRef; // equal texts have equal refs while the store is unchanged
    uint8_t present;
    uint32_t id;
};

// The rows of the log in row order, kept compact for week-long runs: fixed blocks of columns (time as integer
// milliseconds, error texts shared through a pool), so appending never moves stored rows and a delete moves
// rows only inside the blocks it touches. Every row gets an id that rises with row order, which makes ids
// usable as bookmarks found by binary search.
class TRecordStore {
public:
    TRecordStore();
    ~TRecordStore();
    TRecordStore(const TRecordStore&) = delete;
    TRecordStore& operator=(const TRecordStore&) = delete;

    int Count() const { return m_count; }
    uint32_t Append(const TRecordData& record); // returns the new row's id
    TRecordView At(int row) const;
    void Replace(int row, const TRecordData& record); // keeps the row's id
    void Remove(int row);
    void RemoveRows(const std::vector<int>& ascendingRows);
    void Clear();
    // The row holding the id, or -1 when it is gone.
    int RowOfId(uint32_t id) const;
    size_t DistinctErrorCount() const { return m_errors.DistinctCount(); }

    // Calls visit(const TRecordView&) for the rows first .. Count()-1 in row order.
    template <class Visitor> void ForEach(int first, Visitor&& visit) const;

private:
    static constexpr int BlockSize = 4096;
    struct Block {
        int count = 0;
        int64_t timeMs[BlockSize];
        int32_t value[BlockSize];
        uint32_t errorRef[BlockSize];
        uint32_t id[BlockSize];
        uint8_t present[BlockSize];
    };
    struct Location {
        size_t block;
        int index;
    };

    Location Locate(int row) const;
    TRecordView ViewOf(const Block& block, int index) const;
    void StoreInto(Block& block, int index, const TRecordData& record);
    void ReleaseError(const Block& block, int index);
    void RebuildStarts();

    std::vector<std::unique_ptr<Block>> m_blocks;
    std::vector<int> m_starts; // first row of each block
    int m_count = 0;
    // Ids rise for the life of the table and are never reused; 2^32 appends would take a century of cycles.
    uint32_t m_nextId = 1;
    TErrorPool m_errors;
};

// In the header: the export and the statistics call it once per row.
inline TRecordView TRecordStore::ViewOf(const Block& block, int index) const {
    const uint8_t present = block.present[index];
    const uint32_t errorRef = (present & HasError) ? block.errorRef[index] : 0;
    return {.timeMs = block.timeMs[index],
            .value = block.value[index],
            .error = (present & HasError) ? m_errors.Text(errorRef) : std::string_view(),
            .errorRef = errorRef,
            .present = present,
            .id = block.id[index]};
}

template <class Visitor> void TRecordStore::ForEach(int first, Visitor&& visit) const {
    if (first >= m_count)
        return;
    Location at = Locate(first);
    for (size_t b = at.block; b < m_blocks.size(); ++b) {
        const Block& block = *m_blocks[b];
        for (int i = b == at.block ? at.index : 0; i < block.count; ++i)
            visit(ViewOf(block, i));
    }
}
