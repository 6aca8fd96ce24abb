// The table-group file of the object database: records of a group, its
// comma-separated tables and a description.

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "oodb/db_table_group_file_reader.h"
#include "support/scratch_files.h"

namespace {

const zelvo_fuzz::ScratchFiles& files()
{
    static const zelvo_fuzz::ScratchFiles scratch;
    return scratch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    files().write("groups.spec", std::string(reinterpret_cast<const char*>(data), size));
    CDBTableGroupFileReader reader;
    try {
        if (!reader.read(files().directory(), "groups.spec")) __builtin_trap();
    } catch (const osk::CException&) {
        return 0;
    }
    for (const auto& group : reader.groups()) {
        reader.find(group.first);
        for (const std::string& table : group.second.tables) reader.groupsOfTable(table);
    }
    return 0;
}
