#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "extended/exception.h"
#include "oodb/db_value.h"
#include "prst_generic/prst_context.h"
#include "prst_generic/prst_generic_messages.h"
#include "prst_generic/prst_user_base.h"
#include "standard/tracked_factory.h"

// A persistent class T: its spec, and the ways to make objects of it (see
// prst_user_base.h). T declares a constructor taking the context (which
// makes a transient object) and a static _makeSpec().
template <class T>
class CIPersistentObject : public CPrstUserBase {
public:
    using ptr_t = osk::CTrackedPtr<T>;
    using list_t = std::vector<ptr_t>;
    static constexpr size_t unlimited = std::numeric_limits<size_t>::max();

    static const CPrstClassSpec& spec()
    {
        static const CPrstClassSpec classSpec = T::_makeSpec();
        return classSpec;
    }
    const CPrstClassSpec& classSpec() const override { return spec(); }

    static ptr_t createTransient(CPrstContext& context)
    {
        ptr_t object = osk::CTrackedFactory::createUnique<T>(context);
        object->_snapshot();
        return object;
    }

    // The object of an OID, or null when there is none.
    static ptr_t find(CPrstContext& context, int64_t oid)
    {
        list_t found = select(context, "SELECT * FROM " + spec().table() + " WHERE PK = ?", {oid}, 1);
        return found.empty() ? ptr_t() : std::move(found.front());
    }

    // The object of an OID; throws "You have no right to access the object
    // or it doesn't exist." when there is none.
    static ptr_t load(CPrstContext& context, int64_t oid)
    {
        ptr_t object = find(context, oid);
        if (!object)
            throw OSK_EXCEPTION(osk::CMessage(CPrstGenericMessages::noAccessOrMissing, CPrstGenericMessages::module),
                                osk::CMessage(CPrstGenericMessages::objectNotFound, CPrstGenericMessages::module)
                                    .push(oid)
                                    .pushs(spec().className()),
                                "CIPersistentObject::load", CPrstGenericMessages::module);
        return object;
    }

    // The objects a named statement of the statement file selects (its
    // table placeholder, if any, is T's table), at most maxObjects.
    static list_t fastSelectRec(CPrstContext& context, const std::string& statementName, const CDBValues& args,
                                size_t maxObjects = unlimited)
    {
        return select(context, context.statement(statementName, spec().table()), args, maxObjects);
    }

    // The objects of the rows of T's table that sql selects.
    static list_t select(CPrstContext& context, const std::string& sql, const CDBValues& args,
                         size_t maxObjects = unlimited)
    {
        list_t objects;
        {
            auto rows = context.transaction().select(sql, args);
            while (objects.size() < maxObjects && rows->fetch()) {
                ptr_t object = osk::CTrackedFactory::createUnique<T>(context);
                object->readRow(*rows);
                objects.push_back(std::move(object));
            }
        }
        for (ptr_t& object : objects) object->finishLoad();
        return objects;
    }

protected:
    explicit CIPersistentObject(CPrstContext& context) : CPrstUserBase(context) {}
};
