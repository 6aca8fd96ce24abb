#include "oodb/db_error_code_map.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

std::string CDBErrorCodeMap::codeName(error_code_t code)
{
    switch (code) {
    case LOCK_CONFLICT: return "LOCK_CONFLICT";
    case DUPLICATE_KEY: return "DUPLICATE_KEY";
    case FOREIGN_KEY_VIOLATION: return "FOREIGN_KEY_VIOLATION";
    case NOT_FOUND: return "NOT_FOUND";
    case CONNECTION_LOST: return "CONNECTION_LOST";
    case OTHER: break;
    }
    return "OTHER";
}

void CDBErrorCodeMap::add(int64_t returnCode, error_code_t code) { _codes[returnCode] = code; }

CDBErrorCodeMap::error_code_t CDBErrorCodeMap::translate(int64_t returnCode) const
{
    auto found = _codes.find(returnCode);
    if (found == _codes.end())
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotTranslateReturnCode).push(returnCode),
                            osk::CMessage(CDBMessages::unknownCode), "CDBErrorCodeMap::translate",
                            CDBMessages::moduleOodb);
    return found->second;
}

CDBErrorCodeMap::error_code_t CDBErrorCodeMap::firstKnown(const std::vector<int64_t>& returnCodes) const
{
    for (int64_t returnCode : returnCodes) {
        auto found = _codes.find(returnCode);
        if (found != _codes.end()) return found->second;
    }
    return OTHER;
}
