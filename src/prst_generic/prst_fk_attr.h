#pragma once

#include <cstdint>

#include "prst_generic/prst_column_attr.h"

// A foreign-key column: the OID of the row it points to, null (noTarget)
// when it points nowhere.
class CPrstFKAttr : public CPrstColumnAttr {
public:
    static constexpr int64_t noTarget = -1;

    CPrstFKAttr(CPrstUserBase& owner, const char* column, const char* textName = "");

    int64_t oid() const { return _oid; }
    void oid(int64_t oid) { _oid = oid; }
    bool isSet() const { return _oid != noTarget; }

    CDBValue dbValue() const override;
    void read(const CDBRows& rows) override;
    std::string text() const override;
    void text(const std::string& value) override;

private:
    int64_t _oid = noTarget;
};
