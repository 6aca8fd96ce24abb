// The statement file of the object database: a spec file (with includes)
// whose records are SQL statements with their groups, cursors and tags.

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "oodb/db_statement_file_reader.h"
#include "support/spec_files.h"

namespace {

const zelvo_fuzz::ScratchFiles& files()
{
    static const zelvo_fuzz::ScratchFiles scratch;
    return scratch;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    if (!zelvo_fuzz::writeSpecFiles(files(), input)) return -1;

    CDBStatementFileReader reader;
    try {
        reader.read(files().directory(), "a.spec");
    } catch (const osk::CException&) {
        return 0;
    }
    for (const auto& statement : reader.statements()) {
        if (!reader.exists(statement.first)) __builtin_trap();
        reader.find(statement.first);
        reader.statementsOfGroup(statement.second.group);
    }
    return 0;
}
