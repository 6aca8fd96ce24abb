#pragma once

#include <firebird/Interface.h>

namespace fbprov {

// The entry to Firebird's OO API: the master interface of libfbclient and
// the utility interface it hands out. Both live as long as the library.
class CFbMaster {
public:
    static Firebird::IMaster* master();
    static Firebird::IUtil* util();
};

} // namespace fbprov
