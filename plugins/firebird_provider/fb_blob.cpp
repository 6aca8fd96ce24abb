#include "firebird_provider/fb_blob.h"

#include <algorithm>

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_status.h"
#include "firebird_provider/fb_transaction.h"

namespace fbprov {

namespace {

// Blobs move in segments of at most this many bytes.
constexpr unsigned segmentSize = 1024;

} // namespace

CFbBlob CFbBlob::create(CFbTransaction& transaction, ISC_QUAD& id)
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = transaction.watch();
    Firebird::IBlob* blob =
        transaction.attachment().get()->createBlob(status.get(), transaction.get(), &id, 0, nullptr);
    status.check(osk::CMessage("Cannot create a database blob."), "CFbBlob::create");
    return CFbBlob(transaction, blob, true);
}

CFbBlob CFbBlob::open(CFbTransaction& transaction, ISC_QUAD id)
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = transaction.watch();
    Firebird::IBlob* blob = transaction.attachment().get()->openBlob(status.get(), transaction.get(), &id, 0, nullptr);
    status.check(osk::CMessage("Cannot open a database blob."), "CFbBlob::open");
    return CFbBlob(transaction, blob, false);
}

CFbBlob::~CFbBlob()
{
    if (!_blob)
        return;
    CFbStatus status;
    {
        const CFbCallWatchdog::CWatch watched = _transaction->watch();
        if (_writing)
            _blob->cancel(status.get());
        else
            _blob->close(status.get());
    }
    if (status.failed())
        _blob->release();
}

void CFbBlob::write(const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    CFbStatus status;
    for (size_t done = 0; done < size;) {
        unsigned length = static_cast<unsigned>(std::min<size_t>(segmentSize, size - done));
        const CFbCallWatchdog::CWatch watched = _transaction->watch();
        _blob->putSegment(status.get(), length, bytes + done);
        status.check(osk::CMessage("Cannot write a database blob."), "CFbBlob::write");
        done += length;
    }
}

std::string CFbBlob::readAll()
{
    std::string result;
    char segment[segmentSize];
    CFbStatus status;
    for (;;) {
        unsigned length = 0;
        const CFbCallWatchdog::CWatch watched = _transaction->watch();
        int state = _blob->getSegment(status.get(), sizeof segment, segment, &length);
        status.check(osk::CMessage("Cannot read a database blob."), "CFbBlob::readAll");
        result.append(segment, length);
        if (state != Firebird::IStatus::RESULT_OK && state != Firebird::IStatus::RESULT_SEGMENT)
            return result;
    }
}

void CFbBlob::close()
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = _transaction->watch();
    _blob->close(status.get());
    status.check(osk::CMessage("Cannot close a database blob."), "CFbBlob::close");
    _blob = nullptr;
}

ISC_QUAD CFbBlob::store(CFbTransaction& transaction, const void* data, size_t size)
{
    ISC_QUAD id{};
    CFbBlob blob = create(transaction, id);
    blob.write(data, size);
    blob.close();
    return id;
}

std::string CFbBlob::load(CFbTransaction& transaction, ISC_QUAD id)
{
    CFbBlob blob = open(transaction, id);
    std::string content = blob.readAll();
    blob.close();
    return content;
}

} // namespace fbprov
