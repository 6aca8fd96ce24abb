#include "standard/general_ptr.h"

namespace osk {

void throwNullPointee(const char* context)
{
    throw OSK_EXCEPTION(CMessage("Cannot dereference pointer."), CMessage("Pointee is null."), context,
                        "standard");
}

} // namespace osk
