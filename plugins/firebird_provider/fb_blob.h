#pragma once

#include <cstddef>
#include <string>

#include <firebird/Interface.h>

namespace fbprov {

class CFbTransaction;

// Owns one open blob of a transaction, which outlives it. A blob being
// written gets its id from create() and is finished by close(); one
// destroyed unfinished is cancelled (written) or closed (read).
class CFbBlob {
public:
    // Opens a new blob for writing; `id` receives its id.
    static CFbBlob create(CFbTransaction& transaction, ISC_QUAD& id);
    static CFbBlob open(CFbTransaction& transaction, ISC_QUAD id);
    ~CFbBlob();
    CFbBlob(CFbBlob&& other) noexcept : _transaction(other._transaction), _blob(other._blob), _writing(other._writing)
    {
        other._blob = nullptr;
    }
    CFbBlob& operator=(CFbBlob&&) = delete;
    CFbBlob(const CFbBlob&) = delete;
    CFbBlob& operator=(const CFbBlob&) = delete;

    void write(const void* data, size_t size);
    // Reads the blob from its current position to the end.
    std::string readAll();
    void close();

    // Writes `size` bytes as a new blob and returns its id.
    static ISC_QUAD store(CFbTransaction& transaction, const void* data, size_t size);
    static std::string load(CFbTransaction& transaction, ISC_QUAD id);

private:
    CFbBlob(const CFbTransaction& transaction, Firebird::IBlob* blob, bool writing)
        : _transaction(&transaction), _blob(blob), _writing(writing)
    {
    }

    const CFbTransaction* _transaction;
    Firebird::IBlob* _blob;
    bool _writing;
};

} // namespace fbprov
