#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "standard/endpoint.h"
#include "standard/hex_store.h"
#include "standard/ip_address.h"
#include "standard/time_t.h"
#include "standard/variant_sub_type.h"
#include "standard/variant_type.h"

namespace osk {

class CVariantConversion;

// The framework's typed value: one of nine data types with a subtype, and
// one slot for every kind of value. Only the slot of the current type is
// meaningful; a conversion (CVariantConversion) fills the target slot and
// changes type and subtype.
//
// Accessors of a value kind return the slot when the variant has that type
// and otherwise convert a copy, so the variant itself never changes; a
// failing conversion throws osk::CException.
//
// Operators follow one rule for mixed types: a copy of the right operand is
// converted to the left operand's type and subtype, and the result has the
// left operand's type. Signed and unsigned +, - and * wrap modulo 2^64 (they
// are computed on uint64_t), so overflow is defined; / throws on a zero
// divisor and on the most negative integer divided by -1.
class CVariant {
public:
    using data_type = CVariantType::data_type;
    using data_subtype = CVariantSubType::data_subtype;

    // Type unknown.
    CVariant() = default;
    // A variant of a type with the slot's default value (false, 0, empty
    // text, empty store, epoch, unset address and endpoint).
    explicit CVariant(data_type type);
    CVariant(bool value);
    CVariant(int value);
    CVariant(unsigned int value);
    CVariant(long value);
    CVariant(unsigned long value);
    CVariant(long long value);
    CVariant(unsigned long long value);
    // Text; "$name" texts are not marked as functions here (see guess).
    CVariant(const std::string& text, data_subtype subtype = CVariantSubType::st_general);
    CVariant(const char* text);
    CVariant(const CHexStore& value);
    // The subtype follows the address family; throws for an unset address.
    CVariant(const CIPAddress& value);
    CVariant(const CEndpoint& value);
    CVariant(const CTimeT& value);
    // A text converted to the type (and subtype) through the conversion table.
    CVariant(data_type type, const std::string& text, data_subtype subtype = CVariantSubType::st_general);

    // A variant whose type is deduced from text (rules at _guess); throws
    // "Cannot interpret variant." for an empty text.
    static CVariant guess(const std::string& text);

    CVariantType type() const { return _type; }
    CVariantSubType subtype() const { return _subtype; }
    void subtype(data_subtype value) { _subtype = value; }

    // Values of a required type; a variant of another type is converted on a
    // copy (throws when the conversion is forbidden or fails).
    bool boolean() const;
    int64_t integer() const;
    uint64_t uinteger() const;
    CTimeT time() const;
    CHexStore hexstore() const;
    CEndpoint endpoint() const;
    // The address; with a family subtype (st_ipv4, st_ipv6) and remap set,
    // an address of the other family is re-mapped to it (a forbidden or
    // impossible mapping throws). Without them the family is left alone.
    CIPAddress ipaddress(data_subtype subtype = CVariantSubType::st_general, bool remap = true) const;
    // The value's bytes as its byte-sequence conversion gives them. For a
    // variant of another type the conversion is cached in the byte slot, so
    // the pointer stays valid until the variant is changed or raw_data is
    // called again.
    const uint8_t* raw_data() const;
    size_t raw_len() const;
    // The length of a text or of a byte string, without converting; 0 for
    // a value of any other type.
    size_t valueBytes() const;
    // The text form: a string variant returns its text, any other converts
    // a copy; a non-null hint reaches the conversion (the separator of a byte
    // sequence).
    std::string string(const char* hint = nullptr) const;

    // Setters: the value and its type (and the subtype that goes with it).
    void boolean(bool value);
    void integer(int64_t value);
    void uinteger(uint64_t value);
    void time(const CTimeT& value);
    void hexstore(const CHexStore& value);
    void endpoint(const CEndpoint& value);
    void ipaddress(const CIPAddress& value);
    void string(const std::string& text, data_subtype subtype);

    // Converts in place; on failure the variant is unchanged.
    CVariant& convertTo(data_type type, data_subtype subtype = CVariantSubType::st_general,
                        const char* hint = nullptr);

    // Binary operators (the result takes the left operand's type).
    CVariant operator+(const CVariant& right) const;
    CVariant operator-(const CVariant& right) const;
    CVariant operator*(const CVariant& right) const;
    CVariant operator/(const CVariant& right) const;
    CVariant operator&(const CVariant& right) const;
    CVariant operator|(const CVariant& right) const;
    CVariant operator^(const CVariant& right) const;
    // Comparisons yield boolean variants. >, <= and >= are derived from <
    // and ==; != is the negation of ==.
    CVariant operator<(const CVariant& right) const;
    CVariant operator>(const CVariant& right) const;
    CVariant operator<=(const CVariant& right) const;
    CVariant operator>=(const CVariant& right) const;
    CVariant operator==(const CVariant& right) const;
    CVariant operator!=(const CVariant& right) const;
    // Both operands are converted to boolean.
    CVariant operator&&(const CVariant& right) const;
    CVariant operator||(const CVariant& right) const;
    // Unary operators.
    CVariant operator-() const;
    CVariant operator~() const;
    CVariant operator!() const;

private:
    friend class CVariantConversion;

    // The type of a text without a type: quoted string, boolean, ip
    // address, endpoint, number, date, byte sequence, function name, string
    // (the first rule that accepts wins).
    static CVariant _guess(const std::string& text);
    // The right operand as an operand for this one: itself, or a copy
    // converted into `converted` when its type or subtype differs.
    const CVariant& _operand(const CVariant& right, CVariant& converted) const;
    bool _less(const CVariant& right, const char* context) const;
    bool _equal(const CVariant& right) const;

    // Slots, one per value kind. The byte slot doubles as the cache of
    // raw_data() for variants of other types.
    mutable CHexStore _hexstore;
    CIPAddress _ipaddress;
    CEndpoint _endpoint;
    std::string _string;
    int64_t _integer = 0;
    uint64_t _uinteger = 0;
    bool _boolean = false;
    CTimeT _time;

    CVariantType _type;
    CVariantSubType _subtype;
};

} // namespace osk
