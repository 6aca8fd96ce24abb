#pragma once

#include "standard/variant_sub_type.h"
#include "standard/variant_type.h"

namespace osk {

class CVariant;

// Converts variants between the nine data types through one fixed table of
// routines indexed by source and target type. The table is filled once, by
// the first conversion (through an initializer object).
class CVariantConversion {
public:
    using routine_t = void (*)(CVariant& value, CVariantSubType::data_subtype subtype, const char* hint);

    // Converts value in place to type and subtype; the hint reaches the
    // routine (the separator of a byte sequence written as text). Throws
    // osk::CException for a forbidden or failing conversion; the value is
    // unchanged then.
    static void convert(CVariant& value, CVariantType::data_type type,
                        CVariantSubType::data_subtype subtype = CVariantSubType::st_general,
                        const char* hint = nullptr);

    // Fills the table on construction.
    class initializer {
    public:
        initializer();
    };

private:
    static routine_t _table[CVariantType::count][CVariantType::count];
};

} // namespace osk
