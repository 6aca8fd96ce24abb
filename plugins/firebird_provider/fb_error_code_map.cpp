#include "firebird_provider/fb_error_code_map.h"

#include <ibase.h>

namespace fbprov {

namespace {

CDBErrorCodeMap firebirdCodes()
{
    CDBErrorCodeMap map;
    // Firebird reports a conflict on a record, whether the transaction
    // waited for it or not and however the wait ended (time-out, or the
    // holder committed), as a deadlock followed by the update conflict; the
    // lock codes come with locks on whole tables or the database.
    map.add(isc_deadlock, CDBErrorCodeMap::LOCK_CONFLICT);
    map.add(isc_update_conflict, CDBErrorCodeMap::LOCK_CONFLICT);
    map.add(isc_lock_conflict, CDBErrorCodeMap::LOCK_CONFLICT);
    map.add(isc_lock_timeout, CDBErrorCodeMap::LOCK_CONFLICT);
    map.add(isc_unique_key_violation, CDBErrorCodeMap::DUPLICATE_KEY);
    map.add(isc_no_dup, CDBErrorCodeMap::DUPLICATE_KEY);
    map.add(isc_foreign_key, CDBErrorCodeMap::FOREIGN_KEY_VIOLATION);
    map.add(isc_foreign_key_target_doesnt_exist, CDBErrorCodeMap::FOREIGN_KEY_VIOLATION);
    map.add(isc_foreign_key_references_present, CDBErrorCodeMap::FOREIGN_KEY_VIOLATION);
    map.add(isc_no_cur_rec, CDBErrorCodeMap::NOT_FOUND);
    map.add(isc_network_error, CDBErrorCodeMap::CONNECTION_LOST);
    map.add(isc_net_read_err, CDBErrorCodeMap::CONNECTION_LOST);
    map.add(isc_net_write_err, CDBErrorCodeMap::CONNECTION_LOST);
    map.add(isc_net_connect_err, CDBErrorCodeMap::CONNECTION_LOST);
    map.add(isc_conn_lost, CDBErrorCodeMap::CONNECTION_LOST);
    map.add(isc_att_shutdown, CDBErrorCodeMap::CONNECTION_LOST);
    return map;
}

} // namespace

const CDBErrorCodeMap& CFbErrorCodeMap::instance()
{
    static const CDBErrorCodeMap map = firebirdCodes();
    return map;
}

} // namespace fbprov
