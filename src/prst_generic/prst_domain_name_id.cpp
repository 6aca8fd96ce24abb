#include "prst_generic/prst_domain_name_id.h"

CPrstClassSpec CPrstDomainNameID::_makeSpec()
{
    return CPrstClassSpec("CPrstDomainNameID", "", "osk_domain_name_id", false);
}
