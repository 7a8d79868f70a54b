#pragma once
// A growable array of owned elements.

#include <cstddef>
#include <memory>
#include <vector>

namespace Misc
{

template <typename T> class Array
{
  public:
    Array() = default;
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    Array(Array&&) noexcept = default;
    Array& operator=(Array&&) noexcept = default;

    T* Add(std::unique_ptr<T> element)
    {
        if (!element)
            return nullptr;
        m_items.push_back(std::move(element));
        return m_items.back().get();
    }
    std::size_t Count() const noexcept { return m_items.size(); }
    bool IsEmpty() const noexcept { return m_items.empty(); }
    T* At(std::size_t index) const { return index < m_items.size() ? m_items[index].get() : nullptr; }
    T& operator[](std::size_t index) const { return *m_items[index]; }
    void Clear() { m_items.clear(); }

    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

  private:
    std::vector<std::unique_ptr<T>> m_items;
};

} // namespace Misc
