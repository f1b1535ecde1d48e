// The edits of this session that Ctrl+Z can take back, newest last: each with
// its undo file and what it did in the user's words.
#pragma once

#include <string>
#include <utility>
#include <vector>

class UndoHistory
{
public:
    struct Entry
    {
        std::string undoFile;
        std::string description; // "3 items deleted"
    };

    void add(std::string undoFile, std::string description)
    {
        m_entries.push_back({std::move(undoFile), std::move(description)});
    }
    // The newest edit not yet taken back, or null.
    const Entry *newest() const { return m_entries.empty() ? nullptr : &m_entries.back(); }
    // The newest edit has been taken back; the one before is next.
    void dropNewest()
    {
        if (!m_entries.empty()) m_entries.pop_back();
    }

    // The edit of this undo file was taken back elsewhere (the History window).
    void remove(const std::string &undoFile)
    {
        std::erase_if(m_entries, [&](const Entry &e) { return e.undoFile == undoFile; });
    }
    void clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
};
