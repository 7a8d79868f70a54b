#pragma once
// The program's own lists of owned elements. Each list has exactly one built-in
// iteration cursor, so two iterations over the same list are never nested.

#include <cstddef>
#include <list>
#include <memory>
#include <string>

namespace Misc
{

// Case-insensitive key order of the sorted lists: A-Z fold to a-z, U+0080..U+00FF
// stay as they are, characters from U+0100 fold through the platform's lower-case
// mapping. Gives the difference of the first differing folded pair; a key that is a
// prefix of the other compares lower.
int CompareKeys(const std::wstring& first, const std::wstring& second);
wchar_t FoldKeyChar(wchar_t c);

template <typename T> class List_Base
{
  public:
    List_Base() = default;
    List_Base(const List_Base&) = delete;
    List_Base& operator=(const List_Base&) = delete;
    virtual ~List_Base() { Clear(); }

    std::size_t Count() const noexcept { return m_nodes.size(); }
    bool IsEmpty() const noexcept { return m_nodes.empty(); }

    // Deletes every element; the cursor is reset.
    void Clear()
    {
        m_nodes.clear();
        m_cursor = m_nodes.end();
    }

    // Cursor iteration: First, then Next until nullptr.
    T* First()
    {
        m_cursor = m_nodes.begin();
        return Current();
    }
    T* Next()
    {
        if (m_cursor != m_nodes.end())
            ++m_cursor;
        return Current();
    }
    T* Last()
    {
        m_cursor = m_nodes.empty() ? m_nodes.end() : std::prev(m_nodes.end());
        return Current();
    }
    T* Prev()
    {
        if (m_cursor == m_nodes.begin())
            m_cursor = m_nodes.end();
        else if (m_cursor != m_nodes.end())
            --m_cursor;
        return Current();
    }
    T* Current() const { return m_cursor == m_nodes.end() ? nullptr : m_cursor->get(); }

    // Read-only traversal for code that must not disturb the cursor.
    template <typename F> void ForEach(F&& visit) const
    {
        for (const auto& node : m_nodes)
            visit(*node);
    }

  protected:
    using Nodes = std::list<std::unique_ptr<T>>;
    Nodes m_nodes;
    typename Nodes::iterator m_cursor = m_nodes.end();
};

// Appends at the end.
template <typename T> class List : public List_Base<T>
{
  public:
    T* Add(std::unique_ptr<T> element)
    {
        if (!element)
            return nullptr;
        this->m_nodes.push_back(std::move(element));
        return this->m_nodes.back().get();
    }
};

// Keeps ascending key order (T::Key() gives the key); a newcomer goes before the
// elements whose key equals its own.
template <typename T> class SortedList : public List_Base<T>
{
  public:
    T* Add(std::unique_ptr<T> element)
    {
        if (!element)
            return nullptr;
        auto& nodes = this->m_nodes;
        const std::wstring& key = element->Key();
        auto at = nodes.end();
        if (!nodes.empty() && CompareKeys(key, nodes.back()->Key()) <= 0)
        {
            at = nodes.begin();
            while (at != nodes.end() && CompareKeys((*at)->Key(), key) < 0)
                ++at;
        }
        return nodes.insert(at, std::move(element))->get();
    }
};

} // namespace Misc
