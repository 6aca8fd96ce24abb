#pragma once

#include <firebird/Interface.h>

namespace fbprov {

// Owns one attachment (a connection to one database). The destructor
// detaches; an attachment that cannot detach cleanly is released.
class CFbAttachment {
public:
    explicit CFbAttachment(Firebird::IAttachment* attachment) : _attachment(attachment) {}
    ~CFbAttachment();
    CFbAttachment(const CFbAttachment&) = delete;
    CFbAttachment& operator=(const CFbAttachment&) = delete;

    Firebird::IAttachment* get() const { return _attachment; }
    // Detaches now; throws osk::CException when Firebird refuses (for
    // example while a transaction is still open).
    void detach();

private:
    Firebird::IAttachment* _attachment;
};

} // namespace fbprov
