#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>

namespace vorlanx::link {

// Values kept per sender address, at most `limit` of them: a hash map for the lookup of every
// datagram and a list in the order last heard, so that finding a sender, marking it heard and
// forgetting the one silent longest each take constant time however many terminals a canteen
// has. Not locked: its owner holds the lock.
template <typename Value> class SilenceOrder {
public:
    struct Entry {
        std::string address;
        Value value;
    };
    using List = std::list<Entry>;

    explicit SilenceOrder(std::size_t limit) : m_limit(limit) {}

    // The entry of `address`, marked as heard last; nullptr when unknown.
    Value* touch(const std::string& address) {
        const auto found = m_index.find(address);
        if (found == m_index.end())
            return nullptr;
        m_entries.splice(m_entries.end(), m_entries, found->second);
        return &found->second->value;
    }

    // The entry of `address` without marking it heard; nullptr when unknown.
    Value* find(const std::string& address) {
        const auto found = m_index.find(address);
        return found == m_index.end() ? nullptr : &found->second->value;
    }
    const Value* find(const std::string& address) const {
        const auto found = m_index.find(address);
        return found == m_index.end() ? nullptr : &found->second->value;
    }

    // Adds `address` as heard last. At the limit the entry silent longest makes room first; its
    // address is written to `forgotten` when given.
    Value& insert(const std::string& address, Value value, std::string* forgotten = nullptr) {
        if (m_entries.size() >= m_limit && !m_entries.empty()) {
            if (forgotten)
                *forgotten = m_entries.front().address;
            m_index.erase(m_entries.front().address);
            m_entries.pop_front();
        }
        m_entries.push_back({address, std::move(value)});
        m_index.emplace(address, std::prev(m_entries.end()));
        return m_entries.back().value;
    }

    bool erase(const std::string& address) {
        const auto found = m_index.find(address);
        if (found == m_index.end())
            return false;
        m_entries.erase(found->second);
        m_index.erase(found);
        return true;
    }

    void clear() {
        m_index.clear();
        m_entries.clear();
    }

    std::size_t size() const { return m_entries.size(); }
    std::size_t limit() const { return m_limit; }
    // Silent longest first.
    const List& entries() const { return m_entries; }

private:
    std::size_t m_limit;
    List m_entries;
    std::unordered_map<std::string, typename List::iterator> m_index;
};

} // namespace vorlanx::link
