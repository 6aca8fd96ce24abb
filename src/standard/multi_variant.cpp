#include "standard/multi_variant.h"

#include "extended/exception.h"

namespace osk {

namespace {
const char* const kModule = "standard";

// User-visible texts of CMultiVariant.
const char* const kNoTop = "Cannot access the top of a variant list.";
const char* const kEmptyList = "The list is empty.";
} // namespace

void CMultiVariant::pop()
{
    if (!_items.empty()) _items.pop_back();
}

CVariant& CMultiVariant::top()
{
    if (_items.empty()) throw OSK_EXCEPTION(CMessage(kNoTop), CMessage(kEmptyList), "CMultiVariant::top", kModule);
    return _items.back();
}

const CVariant& CMultiVariant::top() const
{
    if (_items.empty()) throw OSK_EXCEPTION(CMessage(kNoTop), CMessage(kEmptyList), "CMultiVariant::top", kModule);
    return _items.back();
}

CMultiVariant& CMultiVariant::operator+=(const CMultiVariant& other)
{
    // Counted first so appending a list to itself doubles it once.
    const size_t count = other._items.size();
    for (size_t i = 0; i < count; ++i) _items.push_back(other._items[i]);
    return *this;
}

std::string CMultiVariant::string() const
{
    std::string text;
    for (const_iterator item = _items.begin(); item != _items.end(); ++item) {
        if (item != _items.begin()) text += ',';
        text += item->string();
    }
    return text;
}

} // namespace osk
