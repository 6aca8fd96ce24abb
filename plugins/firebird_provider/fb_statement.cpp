#include "firebird_provider/fb_statement.h"

#include "firebird_provider/fb_attachment.h"
#include "firebird_provider/fb_input_message.h"
#include "firebird_provider/fb_ref.h"
#include "firebird_provider/fb_result_set.h"
#include "firebird_provider/fb_status.h"
#include "firebird_provider/fb_transaction.h"

namespace fbprov {

namespace {

constexpr unsigned sqlDialect = 3;

} // namespace

CFbStatement::CFbStatement(CFbTransaction& transaction, const std::string& sql) : _sql(sql)
{
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = transaction.watch();
    _statement = transaction.attachment().get()->prepare(status.get(), transaction.get(), 0, sql.c_str(), sqlDialect,
                                                         Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    status.check(_failed("prepare"), "CFbStatement::CFbStatement");
}

CFbStatement::~CFbStatement()
{
    if (!_statement)
        return;
    CFbStatus status;
    _statement->free(status.get());
    if (status.failed())
        _statement->release();
}

osk::CMessage CFbStatement::_failed(const char* action) const
{
    return osk::CMessage("Cannot %1 the SQL statement '%2'.").pushs(action).pushs(_sql);
}

unsigned CFbStatement::parameterCount() const
{
    CFbStatus status;
    Firebird::IMessageMetadata* metadata = _statement->getInputMetadata(status.get());
    status.check(_failed("describe"), "CFbStatement::parameterCount");
    CFbRef<Firebird::IMessageMetadata> owned(metadata);
    const unsigned count = metadata->getCount(status.get());
    status.check(_failed("describe"), "CFbStatement::parameterCount");
    return count;
}

std::string CFbStatement::plan() const
{
    CFbStatus status;
    const char* text = _statement->getPlan(status.get(), false);
    status.check(_failed("describe the plan of"), "CFbStatement::plan");
    return text ? text : "";
}

void CFbStatement::cursorName(const std::string& name)
{
    CFbStatus status;
    _statement->setCursorName(status.get(), name.c_str());
    status.check(_failed("name the cursor of"), "CFbStatement::cursorName");
}

uint64_t CFbStatement::execute(CFbTransaction& transaction, const CFbValues& values)
{
    CFbInputMessage input(_statement, transaction, values);
    CFbStatus status;
    const CFbCallWatchdog::CWatch watched = transaction.watch();
    _statement->execute(status.get(), transaction.get(), input.metadata(), input.buffer(), nullptr, nullptr);
    status.check(_failed("execute"), "CFbStatement::execute");
    uint64_t affected = _statement->getAffectedRecords(status.get());
    status.check(_failed("execute"), "CFbStatement::execute");
    return affected;
}

std::unique_ptr<CFbResultSet> CFbStatement::select(CFbTransaction& transaction, const CFbValues& values)
{
    CFbInputMessage input(_statement, transaction, values);
    CFbStatus status;
    CFbRef<Firebird::IMessageMetadata> output(_statement->getOutputMetadata(status.get()));
    status.check(_failed("select with"), "CFbStatement::select");
    const CFbCallWatchdog::CWatch watched = transaction.watch();
    Firebird::IResultSet* rows =
        _statement->openCursor(status.get(), transaction.get(), input.metadata(), input.buffer(), output.get(), 0);
    status.check(_failed("select with"), "CFbStatement::select");
    return std::make_unique<CFbResultSet>(rows, std::move(output), transaction);
}

} // namespace fbprov
