#include "oodb/db_field_interface.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

const std::string& CDBFieldInterface::value() const
{
    if (!(_mode & openRead)) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotReadColumn),
                            osk::CMessage(CDBMessages::columnNotOpenForRead), "CDBFieldInterface::value",
                            CDBMessages::moduleOodb);
    }
    return _value;
}

void CDBFieldInterface::_checkWritable(const char* context) const
{
    if (!(_mode & openWrite)) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotWriteColumn), osk::CMessage(CDBMessages::columnReadOnly),
                            context, CDBMessages::moduleOodb);
    }
}

void CDBFieldInterface::value(const std::string& text)
{
    _checkWritable("CDBFieldInterface::value");
    _value = text;
    _null = false;
}

void CDBFieldInterface::setNull()
{
    _checkWritable("CDBFieldInterface::setNull");
    _value.clear();
    _null = true;
}

void CDBFieldInterface::load(const std::string& text, bool null)
{
    _value = null ? std::string() : text;
    _null = null;
}
