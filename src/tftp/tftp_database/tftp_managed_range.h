#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "standard/ip_address.h"

// The set of values a key/value record manages, written as its value: a
// comma-separated list of items, each a single value or an inclusive range
// "first-last". The values of one item are both IP addresses of one family
// (IPv4 or IPv6) or both non-negative decimal integers; the list may mix
// items of either kind. Examples: "10.1.0.10-10.1.0.99, 10.2.0.1",
// "2001:db8::1-2001:db8::ff", "100-199,250".
class CTFTPManagedRange {
public:
    // Throws osk::CException (why names the offending item) when an item is
    // not of the forms above or its first value lies after its last.
    explicit CTFTPManagedRange(const std::string& text);

    // True when value (an address or a number) lies in one of the items.
    // Any other text lies in none.
    bool contains(const std::string& value) const;

private:
    // One end of an item: an address, or a number when address is unset.
    struct CBound {
        bool isAddress = false;
        osk::CIPAddress address;
        uint64_t number = 0;
        bool operator<(const CBound& other) const;
    };
    struct CItem {
        CBound first;
        CBound last;
    };

    // False when text is neither an address nor a number.
    static bool _bound(const std::string& text, CBound& bound);

    std::vector<CItem> _items;
};
