#include "tftp/tftp_base/tftp_eval.h"

#include <vector>

#include "exp_eval/exp_eval_functions.h"
#include "extended/async_log.h"
#include "extended/exception.h"
#include "extended/master_controller.h"
#include "standard/host_enum.h"
#include "tftp/tftp_interfaces/i_tftp_provisioner.h"

namespace {
const char* const kModule = "tftp_base";

// User-visible texts of CTFTPEval.
const char* const kCannotExecute = "Cannot execute function $%1().";
const char* const kCannotExecuteSize = "Cannot execute function $FILE.SIZE()($TSIZE().";
const char* const kNotEnough = "Not enough arguments.";
const char* const kTooMany = "Too many arguments.";
const char* const kNoPolicies = "No policies are available.";
const char* const kNoProvider = "No database provider is loaded.";
const char* const kNoState = "No transfer is being decided.";
const char* const kSettingPolicy = "Setting policy variable: '%1 = %2'.";
const char* const kSettingSnmpPolicy = "Setting snmp policy variable: '%1 = %2'.";

const size_t kUnbounded = osk::CExpEvalFunctions::unbounded;

using osk::CMessage;
using osk::CMultiVariant;
using osk::CVariant;

osk::CException failure(const char* function, const char* why, const char* context)
{
    CMessage what(kCannotExecute);
    if (function) what.pushs(function);
    else what = CMessage(kCannotExecuteSize);
    return OSK_EXCEPTION(what, CMessage(why), context, kModule);
}

// Arity check with this module's texts; a null name stands for the size
// functions, which share one message.
void arity(const CMultiVariant& arguments, const char* function, size_t min, size_t max)
{
    if (arguments.size() < min) throw failure(function, kNotEnough, "CTFTPEval::arity");
    if (arguments.size() > max) throw failure(function, kTooMany, "CTFTPEval::arity");
}

const CTFTPEval& tftp(const osk::CExpEval& evaluator) { return static_cast<const CTFTPEval&>(evaluator); }

// ---- the transfer -------------------------------------------------------

void srcIp(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "SRC.IP", 0, 0);
    results.push(CVariant(tftp(e).currentState("SRC.IP").srcEndpoint.ip_address()));
}

void srcPort(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "SRC.PORT", 0, 0);
    results.push(CVariant(static_cast<int64_t>(tftp(e).currentState("SRC.PORT").srcEndpoint.hbo_port())));
}

void dstIpAs(const char* name, const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, name, 0, 0);
    results.push(CVariant(tftp(e).currentState(name).dstEndpoint.ip_address()));
}

void dstIp(const osk::CExpEval& e, CMultiVariant& r, CMultiVariant& a) { dstIpAs("DST.IP", e, r, a); }
void serverIp(const osk::CExpEval& e, CMultiVariant& r, CMultiVariant& a) { dstIpAs("SERVER.IP", e, r, a); }

void dstPortAs(const char* name, const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, name, 0, 0);
    results.push(CVariant(static_cast<int64_t>(tftp(e).currentState(name).dstEndpoint.hbo_port())));
}

void dstPort(const osk::CExpEval& e, CMultiVariant& r, CMultiVariant& a) { dstPortAs("DST.PORT", e, r, a); }
void serverPort(const osk::CExpEval& e, CMultiVariant& r, CMultiVariant& a) { dstPortAs("SERVER.PORT", e, r, a); }

void srcHostname(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "SRC.HOSTNAME", 0, 0);
    const osk::CIPAddress& address = tftp(e).currentState("SRC.HOSTNAME").srcEndpoint.ip_address();
    std::string name = osk::CHostEnum::resolveNumeric(address);
    // An address without a name resolves to its numeric text, which is kept
    // whole rather than cut at its first dot.
    if (!osk::CIPAddress::isValid(name)) name = name.substr(0, name.find('.'));
    results.push(CVariant(name));
}

void srcFqdn(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "SRC.FQDN", 0, 0);
    const osk::CIPAddress& address = tftp(e).currentState("SRC.FQDN").srcEndpoint.ip_address();
    results.push(CVariant(osk::CHostEnum::resolveNumeric(address)));
}

void fileName(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "FILE.NAME", 0, 1);
    CState& state = tftp(e).currentState("FILE.NAME");
    if (arguments.empty()) {
        results.push(CVariant(state.reqFile));
        return;
    }
    state.reqFile = arguments.top().string();
    arguments.pop();
    results.push(CVariant(true));
}

void fileFqpn(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "FILE.FQPN", 0, 0);
    results.push(CVariant(tftp(e).currentState("FILE.FQPN").fqpn));
}

void fileSize(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, nullptr, 0, 0);
    results.push(CVariant(static_cast<int64_t>(tftp(e).currentState(nullptr).tsize)));
}

void blksize(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "BLKSIZE", 0, 0);
    results.push(CVariant(static_cast<int64_t>(tftp(e).currentState("BLKSIZE").blksize)));
}

void timeout(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "TIMEOUT", 0, 0);
    results.push(CVariant(static_cast<int64_t>(tftp(e).currentState("TIMEOUT").timeout_sec())));
}

// $BINARY() and $ASCII() with a flag change the transfer mode and return
// true, as $FILE.NAME() does when renaming, so that a setter can stand on
// its own in an expression (a function without a result would fail the
// evaluation after the mode had already changed).
void binary(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "BINARY", 0, 1);
    CState& state = tftp(e).currentState("BINARY");
    if (arguments.empty()) {
        results.push(CVariant(state.binary));
        return;
    }
    state.binary = arguments.top().boolean();
    arguments.pop();
    results.push(CVariant(true));
}

void ascii(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "ASCII", 0, 1);
    CState& state = tftp(e).currentState("ASCII");
    if (arguments.empty()) {
        results.push(CVariant(!state.binary));
        return;
    }
    state.binary = !arguments.top().boolean();
    arguments.pop();
    results.push(CVariant(true));
}

void download(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "DOWNLOAD", 0, 0);
    results.push(CVariant(tftp(e).currentState("DOWNLOAD").transmitting));
}

void upload(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "UPLOAD", 0, 0);
    results.push(CVariant(tftp(e).currentState("UPLOAD").receiving()));
}

// ---- provisioning -------------------------------------------------------

void provAccount(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "PROV.ACCOUNT", 0, 0);
    results.push(CVariant(tftp(e).account()));
}

void logSetting(const CTFTPEval& evaluator, const char* text, const std::string& name, const std::string& value)
{
    if (!evaluator.debug()) return;
    evaluator.controller()->syslog(osk::CException::debug, CMessage(text, kModule).pushs(name).pushs(value));
}

std::string policyValue(const osk::CStringMap& policies, const std::string& name, bool& found)
{
    const auto entry = policies.find(name);
    found = entry != policies.end();
    return found ? entry->second : std::string();
}

void provPolicy(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    const CTFTPEval& evaluator = tftp(e);
    if (!evaluator.policies()) throw failure("PROV.POLICY", kNoPolicies, "CTFTPEval::provPolicy");
    arity(arguments, "PROV.POLICY", 1, kUnbounded);
    const std::vector<CVariant> values = osk::CExpEvalFunctions::take(arguments);
    const std::string name = values[0].string();
    bool found = false;
    const std::string value = policyValue(*evaluator.policies(), name, found);
    if (found) {
        results.push(CVariant(value));
    } else if (values.size() > 1) {
        for (size_t i = 1; i < values.size(); ++i) results.push(values[i]);
    } else {
        results.push(CVariant());
    }
    logSetting(evaluator, kSettingPolicy, name, results.top().string());
}

// $PROV.SNMP_POLICY(label, policyA, policyB [, more...]) composes
// "label;policyA=valueA;policyB=valueB[;more...]": the second and third
// arguments name policies (a missing one gives an empty value), the others
// are copied as they are.
void provSnmpPolicy(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    const CTFTPEval& evaluator = tftp(e);
    if (!evaluator.policies()) throw failure("PROV.SNMP_POLICY", kNoPolicies, "CTFTPEval::provSnmpPolicy");
    arity(arguments, "PROV.SNMP_POLICY", 3, kUnbounded);
    const std::vector<CVariant> values = osk::CExpEvalFunctions::take(arguments);
    std::string text = values[0].string();
    for (size_t i = 1; i < values.size(); ++i) {
        const std::string name = values[i].string();
        text += ';';
        text += name;
        if (i <= 2) {
            bool found = false;
            text += '=';
            text += policyValue(*evaluator.policies(), name, found);
        }
    }
    results.push(CVariant(text));
    logSetting(evaluator, kSettingSnmpPolicy, values[0].string(), text);
}

std::vector<std::string> stringArguments(CMultiVariant& arguments)
{
    std::vector<std::string> texts;
    for (const CVariant& value : osk::CExpEvalFunctions::take(arguments)) texts.push_back(value.string());
    return texts;
}

CITFTPProvisioner& provider(const CTFTPEval& evaluator, const char* function)
{
    if (!evaluator.provisioner()) throw failure(function, kNoProvider, "CTFTPEval::provider");
    return *evaluator.provisioner();
}

void dbKeyValue(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "DB.KEYVALUE", 3, 3);
    CITFTPProvisioner& db = provider(tftp(e), "DB.KEYVALUE");
    const std::vector<std::string> a = stringArguments(arguments);
    db.keyValue(a[0], a[1], a[2], results);
}

void dbKeyValueExists(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "DB.KEYVALUE.EXISTS", 4, 4);
    CITFTPProvisioner& db = provider(tftp(e), "DB.KEYVALUE.EXISTS");
    const std::vector<std::string> a = stringArguments(arguments);
    db.keyValueExists(a[0], a[1], a[2], a[3], results);
}

void dbKeyValueManagedRange(const osk::CExpEval& e, CMultiVariant& results, CMultiVariant& arguments)
{
    arity(arguments, "DB.KEYVALUE.MANAGED_RANGE", 5, 5);
    CITFTPProvisioner& db = provider(tftp(e), "DB.KEYVALUE.MANAGED_RANGE");
    const std::vector<std::string> a = stringArguments(arguments);
    db.keyValueManagedRange(a[0], a[1], a[2], a[3], a[4], results);
}
} // namespace

CTFTPEval::CTFTPEval(osk::CMasterController* controller) : osk::CExpEval(controller)
{
    _setHandler("SRC.IP", srcIp);
    _setHandler("SRC.PORT", srcPort);
    _setHandler("DST.IP", dstIp);
    _setHandler("SERVER.IP", serverIp);
    _setHandler("DST.PORT", dstPort);
    _setHandler("SERVER.PORT", serverPort);
    _setHandler("SRC.HOSTNAME", srcHostname);
    _setHandler("SRC.FQDN", srcFqdn);
    _setHandler("FILE.NAME", fileName);
    _setHandler("FILE.FQPN", fileFqpn);
    _setHandler("FILE.SIZE", fileSize);
    _setHandler("TSIZE", fileSize);
    _setHandler("BLKSIZE", blksize);
    _setHandler("TIMEOUT", timeout);
    _setHandler("BINARY", binary);
    _setHandler("ASCII", ascii);
    _setHandler("DOWNLOAD", download);
    _setHandler("UPLOAD", upload);
    _setHandler("PROV.ACCOUNT", provAccount);
    _setHandler("PROV.POLICY", provPolicy);
    _setHandler("PROV.SNMP_POLICY", provSnmpPolicy);
    _setHandler("DB.KEYVALUE", dbKeyValue);
    _setHandler("DB.KEYVALUE.EXISTS", dbKeyValueExists);
    _setHandler("DB.KEYVALUE.MANAGED_RANGE", dbKeyValueManagedRange);
}

void CTFTPEval::state(const CStatePtr& state)
{
    if (_state.get() != state.get()) _state = state;
}

bool CTFTPEval::debug() const
{
    const osk::CAsyncLog* log = controller() ? controller()->log() : nullptr;
    return log && log->debugEnabled();
}

CState& CTFTPEval::currentState(const char* function) const
{
    if (!_state) throw failure(function, kNoState, "CTFTPEval::currentState");
    return *_state;
}
