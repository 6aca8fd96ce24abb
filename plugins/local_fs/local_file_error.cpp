#include "local_fs/local_file_error.h"

#include "local_fs/local_path_resolver.h"

namespace localfs {

osk::CException CLocalFileError::make(const std::string& what, const std::string& name, const std::string& why,
                                      const char* context, int err)
{
    osk::CException e = OSK_EXCEPTION(osk::CMessage(what).pushs(CLocalPathResolver::printableName(name)),
                                      osk::CMessage(why), context, "local_fs");
    e.err_code(err);
    return e;
}

} // namespace localfs
