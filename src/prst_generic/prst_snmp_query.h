#pragma once

#include <cstdint>
#include <string>

#include "prst_generic/prst_secured_query.h"
#include "prst_generic/prst_snmp_query_group.h"

// An SNMP query: the object it samples (prefix_name, object_name), the
// unit and multiplier of its values, how many samples it keeps and how
// often it takes them, and the alarm and warning thresholds. Text
// attributes: the query's and the column names in lower case.
class CPrstSNMPQuery : public CPrstSecuredQuery<CPrstSNMPQuery, CPrstSNMPQueryGroup> {
public:
    static constexpr const char* kGroupLinkTable = CPrstSNMPQueryGroup::kLinkTable;
    static constexpr const char* kByNameStatement = "snmp_query.name";

    explicit CPrstSNMPQuery(CPrstContext& context) : CPrstSecuredQuery(context) {}
    static CPrstClassSpec _makeSpec();

    const std::string& prefixName() const { return _prefixName.value(); }
    const std::string& objectName() const { return _objectName.value(); }
    const std::string& unit() const { return _unit.value(); }
    float multiplier() const { return _multiplier.value(); }
    int64_t maxSamples() const { return _maxSamples.value(); }
    int64_t sampleInterval() const { return _sampleInterval.value(); }
    int64_t alarmLow() const { return _alarmLow.value(); }
    int64_t alarmHigh() const { return _alarmHigh.value(); }
    int64_t warnLow() const { return _warnLow.value(); }
    int64_t warnHigh() const { return _warnHigh.value(); }

private:
    CPrstAttr<std::string> _prefixName{*this, "PREFIX_NAME", "prefix_name"};
    CPrstAttr<std::string> _objectName{*this, "OBJECT_NAME", "object_name"};
    CPrstAttr<std::string> _unit{*this, "UNIT", "unit"};
    CPrstAttr<float> _multiplier{*this, "MULTIPLIER", "multiplier", 1.0F};
    CPrstAttr<int64_t> _maxSamples{*this, "MAX_SAMPLES", "max_samples"};
    CPrstAttr<int64_t> _sampleInterval{*this, "SAMPLE_INTERVAL", "sample_interval"};
    CPrstAttr<int64_t> _alarmLow{*this, "ALARM_LOW", "alarm_low"};
    CPrstAttr<int64_t> _alarmHigh{*this, "ALARM_HIGH", "alarm_high"};
    CPrstAttr<int64_t> _warnLow{*this, "WARN_LOW", "warn_low"};
    CPrstAttr<int64_t> _warnHigh{*this, "WARN_HIGH", "warn_high"};
};
