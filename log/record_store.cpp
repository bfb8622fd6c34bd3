#include "log/record_store.h"

#include <algorithm>

TRecordStore::TRecordStore() = default;
TRecordStore::~TRecordStore() = default;

uint32_t TRecordStore::Append(const TRecordData& record) {
    if (m_blocks.empty() || m_blocks.back()->count == BlockSize) {
        m_starts.push_back(m_count);
        m_blocks.push_back(std::make_unique<Block>());
    }
    Block& block = *m_blocks.back();
    const int index = block.count++;
    StoreInto(block, index, record);
    block.id[index] = m_nextId++;
    ++m_count;
    return block.id[index];
}

TRecordView TRecordStore::At(int row) const {
    const Location at = Locate(row);
    return ViewOf(*m_blocks[at.block], at.index);
}

void TRecordStore::Replace(int row, const TRecordData& record) {
    const Location at = Locate(row);
    Block& block = *m_blocks[at.block];
    ReleaseError(block, at.index);
    StoreInto(block, at.index, record);
}

void TRecordStore::Remove(int row) { RemoveRows({row}); }

void TRecordStore::RemoveRows(const std::vector<int>& ascendingRows) {
    size_t next = 0;
    for (size_t b = 0; b < m_blocks.size() && next < ascendingRows.size(); ++b) {
        Block& block = *m_blocks[b];
        const int blockEnd = m_starts[b] + block.count;
        if (ascendingRows[next] >= blockEnd)
            continue;
        // Squeeze the block's kept rows together; the other blocks stay where they are.
        int kept = 0;
        for (int i = 0; i < block.count; ++i) {
            if (next < ascendingRows.size() && ascendingRows[next] == m_starts[b] + i) {
                ReleaseError(block, i);
                ++next;
                continue;
            }
            if (kept != i) {
                block.timeMs[kept] = block.timeMs[i];
                block.value[kept] = block.value[i];
                block.errorRef[kept] = block.errorRef[i];
                block.id[kept] = block.id[i];
                block.present[kept] = block.present[i];
            }
            ++kept;
        }
        m_count -= block.count - kept;
        block.count = kept;
    }
    std::erase_if(m_blocks, [](const std::unique_ptr<Block>& block) { return block->count == 0; });
    RebuildStarts();
}

void TRecordStore::Clear() {
    m_blocks.clear();
    m_starts.clear();
    m_count = 0;
    m_errors.Clear();
}

int TRecordStore::RowOfId(uint32_t id) const {
    // The first block whose first id is beyond the one sought follows the block that may hold it.
    const auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), id,
                                        [](uint32_t wanted, const auto& block) { return wanted < block->id[0]; });
    if (after == m_blocks.begin())
        return -1;
    const size_t b = static_cast<size_t>(after - m_blocks.begin()) - 1;
    const Block& block = *m_blocks[b];
    const uint32_t* found = std::lower_bound(block.id, block.id + block.count, id);
    if (found == block.id + block.count || *found != id)
        return -1;
    return m_starts[b] + static_cast<int>(found - block.id);
}

TRecordStore::Location TRecordStore::Locate(int row) const {
    const auto after = std::upper_bound(m_starts.begin(), m_starts.end(), row);
    const size_t b = static_cast<size_t>(after - m_starts.begin()) - 1;
    return {b, row - m_starts[b]};
}

void TRecordStore::StoreInto(Block& block, int index, const TRecordData& record) {
    block.timeMs[index] = record.timeMs;
    block.value[index] = record.value;
    block.present[index] = record.present;
    block.errorRef[index] = (record.present & HasError) ? m_errors.Intern(record.error) : 0;
}

void TRecordStore::ReleaseError(const Block& block, int index) {
    if (block.present[index] & HasError)
        m_errors.Release(block.errorRef[index]);
}

void TRecordStore::RebuildStarts() {
    m_starts.resize(m_blocks.size());
    int start = 0;
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        m_starts[b] = start;
        start += m_blocks[b]->count;
    }
}
