// Record and spec files: the record reader with its comments and record
// breaks (as the message store reads its texts), and the spec reader with
// its header and includes between three files.

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "extended/message.h"
#include "extended/message_store.h"
#include "extended/spec_file_reader.h"
#include "support/spec_files.h"

namespace {

const zelvo_fuzz::ScratchFiles& files()
{
    static const zelvo_fuzz::ScratchFiles scratch;
    return scratch;
}

// Keeps the records it is handed, looking up a few keys in each.
class RecordCollector : public osk::CSpecFileReader {
public:
    size_t records = 0;

protected:
    void _processSpecRecord(const osk::CStringMap& record, const std::string&, size_t) override
    {
        ++records;
        record.get_string("name", "");
        try {
            record.get_int32("count", 0);
        } catch (const osk::CException&) {
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    if (!zelvo_fuzz::writeSpecFiles(files(), input)) return -1;

    RecordCollector reader;
    try {
        reader.read(files().directory(), "a.spec");
    } catch (const osk::CException&) {
    }

    osk::CMessageStore store;
    store.addCommentChar(';');
    store.setLocales("en_US, de_DE");
    try {
        store.execute(files().directory(), "b.spec");
        store.tr(osk::CMessage("Failed to start task."), "de_DE");
    } catch (const osk::CException&) {
    }
    return 0;
}
