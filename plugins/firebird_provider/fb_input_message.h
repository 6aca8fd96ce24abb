#pragma once

#include <vector>

#include <firebird/Interface.h>

#include "firebird_provider/fb_ref.h"
#include "firebird_provider/fb_value.h"

namespace fbprov {

class CFbTransaction;

// The input message of one execution: the statement's parameter metadata
// retyped to the values given (Firebird converts them to the column types)
// and the buffer that carries them. Values never become part of the SQL
// text. Texts and bytes for blob parameters are written as blobs first.
class CFbInputMessage {
public:
    // Throws osk::CException when the number of values differs from the
    // number of parameters.
    CFbInputMessage(Firebird::IStatement* statement, CFbTransaction& transaction, const CFbValues& values);

    Firebird::IMessageMetadata* metadata() const { return _metadata.get(); }
    unsigned char* buffer() { return _buffer.data(); }

private:
    CFbRef<Firebird::IMessageMetadata> _metadata;
    std::vector<unsigned char> _buffer;
};

} // namespace fbprov
