#include "log/error_pool.h"

uint32_t TErrorPool::Intern(std::string_view text) {
    if (const auto found = m_index.find(text); found != m_index.end()) {
        ++m_entries[found->second].refs;
        return found->second;
    }
    uint32_t ref;
    if (m_free.empty()) {
        ref = static_cast<uint32_t>(m_entries.size());
        m_entries.emplace_back();
    } else {
        ref = m_free.back();
        m_free.pop_back();
    }
    Entry& entry = m_entries[ref];
    entry.text.assign(text);
    entry.refs = 1;
    m_index.emplace(entry.text, ref);
    return ref;
}

void TErrorPool::AddRef(uint32_t ref) { ++m_entries[ref].refs; }

void TErrorPool::Release(uint32_t ref) {
    Entry& entry = m_entries[ref];
    if (--entry.refs > 0)
        return;
    m_index.erase(entry.text);
    std::string().swap(entry.text);
    m_free.push_back(ref);
}

void TErrorPool::Clear() {
    m_index.clear();
    m_free.clear();
    m_entries.clear();
}
