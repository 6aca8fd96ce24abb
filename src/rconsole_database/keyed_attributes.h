#pragma once

#include "tftp/tftp_database/prst_tftp_policy.h"

// The keyed text attribute of a class, if any: an attribute that a session
// may give as a whole ("data") or entry by entry ("data <key>" to set an
// entry, "-data <key>" to remove one), so that its keys are not the keys of
// an object's text form.
template <class T>
struct CKeyedAttributes {
    static constexpr const char* name = nullptr;
};

template <>
struct CKeyedAttributes<CPrstTFTPPolicy> {
    static constexpr const char* name = "data";
};
