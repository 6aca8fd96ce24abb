#include "firebird_provider/fb_master.h"

namespace fbprov {

Firebird::IMaster* CFbMaster::master() { return Firebird::fb_get_master_interface(); }

Firebird::IUtil* CFbMaster::util() { return master()->getUtilInterface(); }

} // namespace fbprov
