// The expression language with the TFTP functions: tokenizing, ordering in
// postfix, building the tree and evaluating it against a transfer state with
// policies and a provisioner. Every text either evaluates or throws
// osk::CException.

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/exception.h"
#include "standard/endpoint.h"
#include "standard/hex_store.h"
#include "standard/multi_variant.h"
#include "standard/string_map.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_base/tftp_expression.h"
#include "tftp/tftp_interfaces/i_tftp_provisioner.h"

namespace {

// Functions that wait, or reach files by a name the text chooses, would make
// runs slow or depend on the machine: they keep their arity and give a
// fixed answer.
void fixedTrue(const osk::CExpEval&, osk::CMultiVariant& results, osk::CMultiVariant& arguments)
{
    arguments.clear();
    results.push(osk::CVariant(true));
}

void fixedNull(const osk::CExpEval&, osk::CMultiVariant& results, osk::CMultiVariant& arguments)
{
    arguments.clear();
    results.push(osk::CVariant());
}

class FuzzEval : public CTFTPEval {
public:
    FuzzEval()
    {
        _setHandler("USLEEP", fixedTrue);
        _setHandler("FILE.EXISTS", fixedTrue);
        _setHandler("VALUE", fixedNull);
        _setHandler("PRINT", fixedNull);
        initBlowfish(osk::CHexStore("01-02-03-04-05-06-07-08"));
    }
};

// Answers the key/value functions from its arguments.
class EchoProvisioner : public CITFTPProvisioner {
public:
    std::string name() const override { return "echo"; }
    void keyValue(const std::string& a1, const std::string& a2, const std::string& a3,
                  osk::CMultiVariant& results) override
    {
        results.push(osk::CVariant(a1 + a2 + a3));
    }
    void keyValueExists(const std::string&, const std::string&, const std::string&, const std::string& a4,
                        osk::CMultiVariant& results) override
    {
        results.push(osk::CVariant(a4 == "yes"));
    }
    void keyValueManagedRange(const std::string&, const std::string&, const std::string&, const std::string&,
                              const std::string&, osk::CMultiVariant& results) override
    {
        results.push(osk::CVariant(int64_t(42)));
    }
};

struct Context {
    Context()
        : policies("snmp.community=public\ntftp.root=/srv/tftp\nlimit=10\n")
    {
        evaluator.policies(&policies);
        evaluator.provisioner(&provisioner);
        evaluator.account("modem-1");
    }
    FuzzEval evaluator;
    osk::CStringMap policies;
    EchoProvisioner provisioner;
};

Context& context()
{
    static Context shared;
    return shared;
}

CStatePtr freshState(uint8_t flags)
{
    CStatePtr state(new CState(7, CState::need_ack, osk::CEndpoint(std::string("127.0.0.1:3456")), 2500000, 1468));
    state->dstEndpoint = osk::CEndpoint(std::string("[::1]:69"));
    state->reqFile = "cm/modem.cfg";
    state->fqpn = "/srv/tftp/cm/modem.cfg";
    state->tsize = 12345;
    state->binary = (flags & 1) != 0;
    state->transmitting = (flags & 2) != 0;
    return state;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    Context& shared = context();
    const CStatePtr state = freshState(data[0]);
    try {
        CTFTPExpression expression(shared.evaluator, text);
        expression.postfix();
        expression.evaluate(state);
    } catch (const osk::CException&) {
    }
    // The bare text as an expression without brackets.
    try {
        shared.evaluator.state(state);
        osk::CMultiVariant results;
        shared.evaluator.execute(results, shared.evaluator.parse(text));
    } catch (const osk::CException&) {
    }
    shared.evaluator.state(CStatePtr());
    return 0;
}
