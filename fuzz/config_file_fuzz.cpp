// The configuration file and its merge file: reading, the renaming of legacy
// keys, the updates, the catalogue's validation of every key and the engine's
// reading of its settings (expressions parsed as at a start).

#include <cstddef>
#include <cstdint>
#include <string>

#include "extended/config.h"
#include "extended/config_values.h"
#include "extended/exception.h"
#include "support/fuzz_bytes.h"
#include "support/scratch_files.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_server/tftp_config_names.h"
#include "tftp/tftp_server/tftp_config_validator.h"
#include "tftp/tftp_server/tftp_option_limits.h"
#include "tftp/tftp_server/tftp_server_config.h"

namespace {

const zelvo_fuzz::ScratchFiles& files()
{
    static const zelvo_fuzz::ScratchFiles scratch;
    return scratch;
}

const CTFTPEval& evaluator()
{
    static const CTFTPEval eval;
    return eval;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    const bool withMerge = (input.byte() & 1) != 0;
    files().write("zelvo.conf", input.chunk());
    if (withMerge) files().write(osk::CConfig::mergeFileName, input.rest());
    else files().remove(osk::CConfig::mergeFileName);

    osk::CConfig config("1", "fuzz", files().path("zelvo.conf"));
    CTFTPConfigNames::addLegacyTranslations(config);
    if (!config.read("")) __builtin_trap();
    if (config.applyUpdates(files().directory()) != withMerge) __builtin_trap();

    const CTFTPConfigNames& names = CTFTPConfigNames::service();
    try {
        names.validate(config);
    } catch (const osk::CException&) {
    }
    try {
        CTFTPConfigValidator(names, evaluator()).checkAll(config);
    } catch (const osk::CException&) {
    }
    try {
        const CTFTPOptionLimits limits{osk::CConfigValues(config, names)};
        (void)limits;
    } catch (const osk::CException&) {
    }
    try {
        CTFTPServerConfig engine;
        engine.read(config, [](CTFTPServerConfig::expression_kind, const std::string& text) {
            evaluator().parse(text);
        });
    } catch (const osk::CException&) {
    }
    return 0;
}
