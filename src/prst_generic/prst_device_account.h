#pragma once

#include <string>

#include "prst_generic/prst_account.h"
#include "prst_generic/prst_device_access_control.h"
#include "standard/time_t.h"

// The account of a provisioned device, in device domains. Text attributes:
// the account's, class, reconfig_time, reprov_time, subscriber_id and
// subscription_id.
class CPrstDeviceAccount : public CPrstAccount<CPrstDeviceAccount, CPrstDeviceAccessControl> {
public:
    explicit CPrstDeviceAccount(CPrstContext& context) : CPrstAccount(context, CPrstAccountDomains::anyDomain) {}
    static CPrstClassSpec _makeSpec();

    const std::string& accountClass() const { return _class.value(); }
    void accountClass(const std::string& name) { _class.value(name); }
    const osk::CTimeT& reconfigTime() const { return _reconfigTime.value(); }
    void reconfigTime(const osk::CTimeT& time) { _reconfigTime.value(time); }
    const osk::CTimeT& reprovTime() const { return _reprovTime.value(); }
    void reprovTime(const osk::CTimeT& time) { _reprovTime.value(time); }
    const std::string& subscriberID() const { return _subscriberId.value(); }
    void subscriberID(const std::string& id) { _subscriberId.value(id); }
    const std::string& subscriptionID() const { return _subscriptionId.value(); }
    void subscriptionID(const std::string& id) { _subscriptionId.value(id); }

    // The account of a name and class, or null.
    static ptr_t findByNameClass(CPrstContext& context, const std::string& name, const std::string& accountClass);

private:
    CPrstAttr<std::string> _class{*this, "ACLASS", "class"};
    CPrstAttr<osk::CTimeT> _reconfigTime{*this, "RECONFIG_TIME", "reconfig_time"};
    CPrstAttr<osk::CTimeT> _reprovTime{*this, "REPROV_TIME", "reprov_time"};
    CPrstAttr<std::string> _subscriberId{*this, "SUBSCRIBER_ID", "subscriber_id"};
    CPrstAttr<std::string> _subscriptionId{*this, "SUBSCRIPTION_ID", "subscription_id"};
};
