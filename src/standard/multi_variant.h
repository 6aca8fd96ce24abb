#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "standard/variant.h"

namespace osk {

// An ordered list of variants, used as a stack by the expression evaluator:
// push and push_back append at the back, top() is the back and pop() removes
// it.
class CMultiVariant {
public:
    using container_type = std::deque<CVariant>;
    using iterator = container_type::iterator;
    using const_iterator = container_type::const_iterator;
    using reverse_iterator = container_type::reverse_iterator;
    using const_reverse_iterator = container_type::const_reverse_iterator;

    void push(const CVariant& value) { _items.push_back(value); }
    void push_back(const CVariant& value) { _items.push_back(value); }
    // Removes the last item; does nothing on an empty list.
    void pop();
    // The last item; throws osk::CException on an empty list.
    CVariant& top();
    const CVariant& top() const;

    size_t size() const { return _items.size(); }
    bool empty() const { return _items.empty(); }
    void clear() { _items.clear(); }

    iterator begin() { return _items.begin(); }
    iterator end() { return _items.end(); }
    const_iterator begin() const { return _items.begin(); }
    const_iterator end() const { return _items.end(); }
    reverse_iterator rbegin() { return _items.rbegin(); }
    reverse_iterator rend() { return _items.rend(); }
    const_reverse_iterator rbegin() const { return _items.rbegin(); }
    const_reverse_iterator rend() const { return _items.rend(); }

    // Appends the items of another list (itself included).
    CMultiVariant& operator+=(const CMultiVariant& other);

    // The text forms of all items joined by ","; throws when an item has no
    // text form (an unknown variant converts to the empty text).
    std::string string() const;

private:
    container_type _items;
};

} // namespace osk
