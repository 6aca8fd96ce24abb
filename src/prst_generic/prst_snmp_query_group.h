#pragma once

#include "prst_generic/prst_query_group.h"

// A group of SNMP queries. Text attributes: name and description.
class CPrstSNMPQueryGroup : public CPrstQueryGroup<CPrstSNMPQueryGroup> {
public:
    static constexpr const char* kLinkTable = "osk_snmp_grp_links";
    static constexpr const char* kByNameStatement = "snmp_query_group.name";

    explicit CPrstSNMPQueryGroup(CPrstContext& context) : CPrstQueryGroup(context) {}
    static CPrstClassSpec _makeSpec();
};
