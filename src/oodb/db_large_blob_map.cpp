#include "oodb/db_large_blob_map.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

bool CDBLargeBlobMap::isBlobColumn(const std::string& column) const
{
    return _columnDefs.type(column) == CDBFieldType::DB_TYPE_BINARY_BLOB;
}

void CDBLargeBlobMap::_check(const std::string& column, const char* context) const
{
    if (!isBlobColumn(column)) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::noBlobAtColumn).pushs(column),
                            osk::CMessage(CDBMessages::notBinaryBlob), context, CDBMessages::moduleOodb);
    }
}

void CDBLargeBlobMap::set(const std::string& column, bytes_t bytes)
{
    _check(column, "CDBLargeBlobMap::set");
    _blobs[column] = std::move(bytes);
}

const CDBLargeBlobMap::bytes_t& CDBLargeBlobMap::get(const std::string& column) const
{
    static const bytes_t none;
    _check(column, "CDBLargeBlobMap::get");
    const auto found = _blobs.find(column);
    return found == _blobs.end() ? none : found->second;
}
