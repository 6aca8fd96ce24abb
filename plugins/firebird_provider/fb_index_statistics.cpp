#include "firebird_provider/fb_index_statistics.h"

#include <string>
#include <vector>

#include "firebird_provider/fb_result_set.h"
#include "firebird_provider/fb_statement.h"
#include "firebird_provider/fb_transaction.h"

namespace fbprov {

unsigned CFbIndexStatistics::refresh(CFbAttachment& attachment)
{
    std::vector<std::string> indexes;
    {
        CFbTransaction transaction(attachment, CFbTransaction::readOnly);
        CFbStatement query(transaction, "SELECT TRIM(RDB$INDEX_NAME) FROM RDB$INDICES "
                                        "WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0 AND COALESCE(RDB$INDEX_INACTIVE, 0) = 0");
        auto rows = query.select(transaction);
        while (rows->fetch()) indexes.push_back(rows->asString(0));
        rows.reset();
        transaction.commit();
    }
    CFbTransaction transaction(attachment, CFbTransaction::readWrite);
    for (const std::string& index : indexes)
        CFbStatement(transaction, "SET STATISTICS INDEX \"" + index + "\"").execute(transaction);
    transaction.commit();
    return static_cast<unsigned>(indexes.size());
}

} // namespace fbprov
