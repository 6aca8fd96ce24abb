#include "config_check.h"

#include "extended/config.h"
#include "extended/library_info.h"
#include "tftp/tftp_base/tftp_eval.h"
#include "tftp/tftp_server/tftp_config_names.h"
#include "tftp/tftp_server/tftp_config_validator.h"

int CConfigCheck::run(std::ostream& out) const
{
    osk::CConfig config(osk::CLibraryInfo::version(), osk::CLibraryInfo::build(), _path);
    CTFTPConfigNames::addLegacyTranslations(config);
    if (!config.read(std::string())) {
        out << _path << ": cannot read the configuration file\n";
        return 1;
    }
    // A parser of its own: expressions are only parsed, never evaluated.
    const CTFTPEval evaluator;
    const auto problems = CTFTPConfigValidator(CTFTPConfigNames::service(), evaluator).problems(config);
    for (const auto& problem : problems) out << _path << ": " << problem.key << ": " << problem.text << "\n";
    if (!problems.empty()) {
        out << _path << ": " << problems.size() << (problems.size() == 1 ? " problem" : " problems") << "\n";
        return 1;
    }
    out << _path << ": configuration OK\n";
    return 0;
}
