// Costs of the per-request expressions of the TFTP service: a virtual root
// chosen by file name and an access rule over the client address. Parsing
// happens once per configuration value; evaluation happens per request.
#include <benchmark/benchmark.h>

#include <string>

#include "exp_eval/exp_eval.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_base/tftp_expression.h"

namespace {

const std::string kVirtualRoot =
    "[$IF($STARTSWITH($FILE.NAME(), \"cm/\"), \"/srv/tftp/cm\", \"/srv/tftp/other\")]";
const std::string kAccess =
    "[$SRC.IP() == 192.0.2.10 || $SRC.IP() == 10.1.1.1 || ($SRC.IP() >= 10.2.0.0 && $SRC.IP() <= 10.2.255.255)]";

CStatePtr makeState()
{
    CStatePtr state(new CState(1, CState::need_ack, osk::CEndpoint(std::string("10.2.3.4:3456")), 1000000, 512));
    state->reqFile = "cm/modem.cfg";
    return state;
}

void BM_Parse(benchmark::State& bench, const std::string& text)
{
    CTFTPEval evaluator;
    for (auto _ : bench) {
        CTFTPEval::tree_ptr tree = evaluator.parse(text);
        benchmark::DoNotOptimize(tree);
    }
}
BENCHMARK_CAPTURE(BM_Parse, virtual_root, kVirtualRoot);
BENCHMARK_CAPTURE(BM_Parse, access, kAccess);

void BM_Evaluate(benchmark::State& bench, const std::string& text)
{
    CTFTPEval evaluator;
    CTFTPExpression expression(evaluator, text);
    const CStatePtr state = makeState();
    for (auto _ : bench) {
        osk::CVariant value = expression.value(state);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK_CAPTURE(BM_Evaluate, virtual_root, kVirtualRoot);
BENCHMARK_CAPTURE(BM_Evaluate, access, kAccess);

void BM_ParseAndEvaluate(benchmark::State& bench, const std::string& text)
{
    CTFTPEval evaluator;
    const CStatePtr state = makeState();
    for (auto _ : bench) {
        CTFTPExpression expression(evaluator, text);
        osk::CVariant value = expression.value(state);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK_CAPTURE(BM_ParseAndEvaluate, virtual_root, kVirtualRoot);
BENCHMARK_CAPTURE(BM_ParseAndEvaluate, access, kAccess);

} // namespace
