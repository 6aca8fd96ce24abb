#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "standard/object.h"
#include "standard/time_t.h"

namespace osk {

// The framework's universal record: an ordered multimap from text keys to
// text values with a line-oriented text form ("key=value" fields joined by a
// separator). Entries with equal keys keep their insertion order. Typed
// getters and setters convert numbers, booleans, durations and times.
//
// Not synchronised: a shared map is guarded by its owner.
class CStringMap : public CObject {
public:
    // Key order: bytewise, or comparing the upper case of each ASCII letter
    // when case is ignored (the "C" locale's toupper(), which the service
    // never changes); a proper prefix sorts first either way. Inline: every
    // configuration read of a request walks the tree with it.
    struct CKeyLess {
        bool ignoreCase = false;
        bool operator()(const std::string& left, const std::string& right) const
        {
            if (!ignoreCase) return left < right;
            const size_t common = left.size() < right.size() ? left.size() : right.size();
            for (size_t i = 0; i < common; ++i) {
                const unsigned char l = upper(static_cast<unsigned char>(left[i]));
                const unsigned char r = upper(static_cast<unsigned char>(right[i]));
                if (l != r) return l < r;
            }
            return left.size() < right.size();
        }
        static unsigned char upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c; }
    };
    using map_t = std::multimap<std::string, std::string, CKeyLess>;
    using iterator = map_t::iterator;
    using const_iterator = map_t::const_iterator;

    explicit CStringMap(bool ignoreCase = false);
    // Sets the separator and escape character, then parses text as by set().
    explicit CStringMap(const std::string& text, const char* separator = "\n", char escape = 0,
                        bool ignoreCase = false);
    explicit CStringMap(const char* text, const char* separator = "\n", char escape = 0,
                        bool ignoreCase = false);
    CStringMap(const CStringMap& other) = default;
    CStringMap(CStringMap&& other) = default;
    CStringMap& operator=(const CStringMap& other) = default;
    CStringMap& operator=(CStringMap&& other) = default;
    ~CStringMap() override = default;

    // ---- CObject --------------------------------------------------------
    std::string typeName() const override { return "osk::CStringMap"; }
    // join("\n", true, "").
    std::string string() const override;
    // Adds the entries of a text form (does not clear).
    void string(const std::string& text) override { set(text); }

    // ---- text form ----------------------------------------------------
    // Every entry as quote + key + "=" + value + quote, separated by
    // separator (the map's own when empty); with trailing, the last entry is
    // followed by the separator too. Nothing is escaped.
    virtual std::string join(const std::string& separator, bool trailing, const std::string& quote) const;
    // out becomes key=value + the map's own separator for every entry.
    virtual void fastString(std::string& out) const;
    // The value a derived map supplies for a missing key; empty here.
    virtual std::string get_default(const std::string& key) const;

    // Parses text and adds its entries. Returns true.
    bool set(const std::string& text);
    // Clears the entries, then parses text.
    CStringMap& operator=(const std::string& text);
    CStringMap& operator=(const char* text);
    CStringMap& operator+=(const std::string& text);
    CStringMap& operator+=(const CStringMap& other);
    CStringMap operator+(const CStringMap& other) const;

    // The template with backslash escapes translated (\\ \n \r \xHH, any
    // other character stands for itself) and every "%key%" replaced by the
    // value, key after key in key order. Throws on "\x" without two
    // following characters, and when the filled text would grow beyond
    // kMaxFilledSize bytes (as long as an expression's longest value: a
    // template fills a name or a line, never a file).
    std::string formattedString(const std::string& templateText) const;
    static constexpr size_t kMaxFilledSize = 1 << 16;

    // ---- entries ------------------------------------------------------
    // The first entry with this key; inserts (key, "") when there is none.
    std::string& operator[](const std::string& key);
    // Always adds an entry (duplicates allowed).
    void string_insert(const std::string& key, const std::string& value);
    bool defined(const std::string& key) const;
    bool hasValue(const std::string& key) const;
    // Inserts every entry of other, keeping duplicates.
    void append(const CStringMap& other);
    // Assigns every entry of other through operator[]: overwrites the first
    // entry with that key or adds one.
    void merge(const CStringMap& other);

    size_t size() const { return _entries.size(); }
    bool empty() const { return _entries.empty(); }
    void clear() { _entries.clear(); }
    size_t count(const std::string& key) const { return _entries.count(key); }
    // Removes every entry with this key; returns how many were removed.
    size_t erase(const std::string& key) { return _entries.erase(key); }
    iterator erase(const_iterator position) { return _entries.erase(position); }
    iterator find(const std::string& key) { return _entries.find(key); }
    const_iterator find(const std::string& key) const { return _entries.find(key); }
    iterator begin() { return _entries.begin(); }
    iterator end() { return _entries.end(); }
    const_iterator begin() const { return _entries.begin(); }
    const_iterator end() const { return _entries.end(); }
    const map_t& entries() const { return _entries; }

    bool ignoreCase() const { return _entries.key_comp().ignoreCase; }
    const std::string& separator() const { return _separator; }
    void separator(const std::string& value) { _separator = value; }
    char escape() const { return _escape; }
    void escape(char value) { _escape = value; }

    // Same entries in the same order.
    bool operator==(const CStringMap& other) const { return _entries == other._entries; }
    bool operator!=(const CStringMap& other) const { return !(*this == other); }

    // ---- typed setters (write through operator[]) ----------------------
    void set_string(const std::string& key, const std::string& value);
    void set_bool(const std::string& key, bool value);
    void set_int8(const std::string& key, int8_t value);
    void set_int16(const std::string& key, int16_t value);
    void set_int32(const std::string& key, int32_t value);
    void set_short(const std::string& key, short value);
    void set_long(const std::string& key, long value);
    void set_uint8(const std::string& key, uint8_t value);
    void set_uint16(const std::string& key, uint16_t value);
    void set_uint32(const std::string& key, uint32_t value);
    void set_ulong(const std::string& key, unsigned long value);
    void set_int64(const std::string& key, int64_t value);
    void set_uint64(const std::string& key, uint64_t value);
    void set_double(const std::string& key, double value);
    void set_float(const std::string& key, float value);
    void set_sec(const std::string& key, unsigned long seconds);
    void set_msec(const std::string& key, unsigned long milliseconds);
    void set_usec(const std::string& key, unsigned long microseconds);
    void set_ctimet(const std::string& key, const CTimeT& time);

    void set_string(const char* key, const std::string& value) { set_string(std::string(key), value); }
    void set_bool(const char* key, bool value) { set_bool(std::string(key), value); }
    void set_int8(const char* key, int8_t value) { set_int8(std::string(key), value); }
    void set_int16(const char* key, int16_t value) { set_int16(std::string(key), value); }
    void set_int32(const char* key, int32_t value) { set_int32(std::string(key), value); }
    void set_short(const char* key, short value) { set_short(std::string(key), value); }
    void set_long(const char* key, long value) { set_long(std::string(key), value); }
    void set_uint8(const char* key, uint8_t value) { set_uint8(std::string(key), value); }
    void set_uint16(const char* key, uint16_t value) { set_uint16(std::string(key), value); }
    void set_uint32(const char* key, uint32_t value) { set_uint32(std::string(key), value); }
    void set_ulong(const char* key, unsigned long value) { set_ulong(std::string(key), value); }
    void set_int64(const char* key, int64_t value) { set_int64(std::string(key), value); }
    void set_uint64(const char* key, uint64_t value) { set_uint64(std::string(key), value); }
    void set_double(const char* key, double value) { set_double(std::string(key), value); }
    void set_float(const char* key, float value) { set_float(std::string(key), value); }
    void set_sec(const char* key, unsigned long value) { set_sec(std::string(key), value); }
    void set_msec(const char* key, unsigned long value) { set_msec(std::string(key), value); }
    void set_usec(const char* key, unsigned long value) { set_usec(std::string(key), value); }
    void set_ctimet(const char* key, const CTimeT& time) { set_ctimet(std::string(key), time); }

    // ---- typed getters --------------------------------------------------
    // Without a default a missing key reads get_default(key); with one, a
    // missing key (and for numbers an empty value) gives the default. The
    // integer getters throw on values that are not numbers of their type.
    std::string get_string(const std::string& key) const;
    std::string get_string(const std::string& key, const std::string& defaultValue) const;
    // The value without trailing "/" and "\".
    std::string get_path(const std::string& key, const std::string& defaultValue) const;
    // True exactly for "true", "TRUE" and "True".
    bool get_bool(const std::string& key, bool defaultValue) const;
    bool _get_bool(const std::string& key) const;

    int8_t get_int8(const std::string& key) const;
    int16_t get_int16(const std::string& key) const;
    int32_t get_int32(const std::string& key) const;
    int64_t get_int64(const std::string& key) const;
    short get_short(const std::string& key) const;
    long get_long(const std::string& key) const;
    uint8_t get_uint8(const std::string& key) const;
    uint16_t get_uint16(const std::string& key) const;
    uint32_t get_uint32(const std::string& key) const;
    uint64_t get_uint64(const std::string& key) const;
    unsigned long get_ulong(const std::string& key) const;

    int8_t get_int8(const std::string& key, int8_t defaultValue) const;
    int16_t get_int16(const std::string& key, int16_t defaultValue) const;
    int32_t get_int32(const std::string& key, int32_t defaultValue) const;
    int64_t get_int64(const std::string& key, int64_t defaultValue) const;
    short get_short(const std::string& key, short defaultValue) const;
    long get_long(const std::string& key, long defaultValue) const;
    uint8_t get_uint8(const std::string& key, uint8_t defaultValue) const;
    uint16_t get_uint16(const std::string& key, uint16_t defaultValue) const;
    uint32_t get_uint32(const std::string& key, uint32_t defaultValue) const;
    uint64_t get_uint64(const std::string& key, uint64_t defaultValue) const;
    unsigned long get_ulong(const std::string& key, unsigned long defaultValue) const;

    double get_double(const std::string& key, double defaultValue) const;
    float get_float(const std::string& key, float defaultValue) const;
    // A duration in microseconds: the digits of the value form the number,
    // every other character the unit ("" or "s", "ms", "us"); any other unit
    // gives the default.
    unsigned long get_usec(const std::string& key, unsigned long defaultValue) const;
    CTimeT get_ctimet(const std::string& key, const CTimeT& defaultValue) const;

    std::string get_string(const char* key) const { return get_string(std::string(key)); }
    std::string get_string(const char* key, const std::string& d) const { return get_string(std::string(key), d); }
    std::string get_path(const char* key, const std::string& d) const { return get_path(std::string(key), d); }
    bool get_bool(const char* key, bool d) const { return get_bool(std::string(key), d); }
    bool _get_bool(const char* key) const { return _get_bool(std::string(key)); }
    int8_t get_int8(const char* key) const { return get_int8(std::string(key)); }
    int16_t get_int16(const char* key) const { return get_int16(std::string(key)); }
    int32_t get_int32(const char* key) const { return get_int32(std::string(key)); }
    int64_t get_int64(const char* key) const { return get_int64(std::string(key)); }
    short get_short(const char* key) const { return get_short(std::string(key)); }
    long get_long(const char* key) const { return get_long(std::string(key)); }
    uint8_t get_uint8(const char* key) const { return get_uint8(std::string(key)); }
    uint16_t get_uint16(const char* key) const { return get_uint16(std::string(key)); }
    uint32_t get_uint32(const char* key) const { return get_uint32(std::string(key)); }
    uint64_t get_uint64(const char* key) const { return get_uint64(std::string(key)); }
    unsigned long get_ulong(const char* key) const { return get_ulong(std::string(key)); }
    int8_t get_int8(const char* key, int8_t d) const { return get_int8(std::string(key), d); }
    int16_t get_int16(const char* key, int16_t d) const { return get_int16(std::string(key), d); }
    int32_t get_int32(const char* key, int32_t d) const { return get_int32(std::string(key), d); }
    int64_t get_int64(const char* key, int64_t d) const { return get_int64(std::string(key), d); }
    short get_short(const char* key, short d) const { return get_short(std::string(key), d); }
    long get_long(const char* key, long d) const { return get_long(std::string(key), d); }
    uint8_t get_uint8(const char* key, uint8_t d) const { return get_uint8(std::string(key), d); }
    uint16_t get_uint16(const char* key, uint16_t d) const { return get_uint16(std::string(key), d); }
    uint32_t get_uint32(const char* key, uint32_t d) const { return get_uint32(std::string(key), d); }
    uint64_t get_uint64(const char* key, uint64_t d) const { return get_uint64(std::string(key), d); }
    unsigned long get_ulong(const char* key, unsigned long d) const { return get_ulong(std::string(key), d); }
    double get_double(const char* key, double d) const { return get_double(std::string(key), d); }
    float get_float(const char* key, float d) const { return get_float(std::string(key), d); }
    unsigned long get_usec(const char* key, unsigned long d) const { return get_usec(std::string(key), d); }
    CTimeT get_ctimet(const char* key, const CTimeT& d) const { return get_ctimet(std::string(key), d); }

private:
    // The value of the first entry with key, or null.
    const std::string* _value(const std::string& key) const;
    // The text a getter without default converts: the value or get_default.
    std::string _valueOrDefault(const std::string& key) const;
    // text with every occurrence of pattern replaced by value; throws,
    // naming templateText, beyond kMaxFilledSize.
    static std::string _replaced(std::string text, const std::string& pattern, const std::string& value,
                                 const std::string& templateText);

    map_t _entries;
    std::string _separator = "\n";
    char _escape = 0;
};

} // namespace osk
