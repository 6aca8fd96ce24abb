#include "oodb/db_exception.h"

CDBErrorCodeMap::error_code_t CDBException::codeOf(const osk::CException& failure)
{
    const auto* database = dynamic_cast<const CDBException*>(&failure);
    return database ? database->dbErrorCode() : CDBErrorCodeMap::OTHER;
}
