#include "oodb/db_tag_specs.h"

#include "extended/exception.h"
#include "oodb/db_messages.h"

void CDBTagSpecs::insert(const CDBTagSpec& tag)
{
    if (!_tags.emplace(tag.name(), tag).second) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotInsertPrecompiled).pushs(tag.name()),
                            osk::CMessage(CDBMessages::statementExists).pushs(tag.name()), "CDBTagSpecs::insert",
                            CDBMessages::moduleOodb);
    }
}

void CDBTagSpecs::setAdapterInfo(const std::string& name, const osk::CStringMap& info)
{
    const auto found = _tags.find(name);
    if (found == _tags.end()) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotSetAdapterInfo).pushs(name),
                            osk::CMessage(CDBMessages::noSuchStatement), "CDBTagSpecs::setAdapterInfo",
                            CDBMessages::moduleOodb);
    }
    found->second.adapterInfo(info);
}

const CDBTagSpec& CDBTagSpecs::find(const std::string& name) const
{
    const auto found = _tags.find(name);
    if (found == _tags.end()) {
        throw OSK_EXCEPTION(osk::CMessage(CDBMessages::cannotFindPrecompiled).pushs(name),
                            osk::CMessage(CDBMessages::noSuchStatement), "CDBTagSpecs::find", CDBMessages::moduleOodb);
    }
    return found->second;
}
