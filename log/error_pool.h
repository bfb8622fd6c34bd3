#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Error texts shared between rows: an outage writes the same text thousands of times, so each distinct text is
// kept once and counted by the rows that refer to it.
class TErrorPool {
public:
    // A reference to the text, counted; equal texts give the same reference.
    uint32_t Intern(std::string_view text);
    void AddRef(uint32_t ref);
    // Forgets the text when the last row referring to it is gone.
    void Release(uint32_t ref);
    std::string_view Text(uint32_t ref) const { return m_entries[ref].text; }
    size_t DistinctCount() const { return m_index.size(); }
    void Clear();

private:
    struct Entry {
        std::string text;
        uint32_t refs = 0;
    };
    // A deque keeps every entry in place, so the index may hold views of the texts.
    std::deque<Entry> m_entries;
    std::vector<uint32_t> m_free;
    std::unordered_map<std::string_view, uint32_t> m_index;
};
