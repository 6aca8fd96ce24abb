// zelvo-console: the operator's client for the remote console of
// zelvo-tftpd. See CConsoleOptions::usage (zelvo-console --help) for the
// command line, the input forms and the exit status.

#include <ace/Init_ACE.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "command_set_reader.h"
#include "console_options.h"
#include "console_password.h"
#include "console_session.h"
#include "extended/exception.h"
#include "extended/library_info.h"
#include "line_editor.h"
#include "reply_printer.h"

namespace {

const char* const kProgram = "zelvo-console: ";
const char* const kPrompt = "zelvo> ";
const char* const kContinuationPrompt = "  ...> ";
const char* const kCannotOpenInput = "cannot open the command file '";
const char* const kStdinName = "-";
const char* const kTryHelp = "Try 'zelvo-console --help'.\n";

// Runs every set of the stream in order; stops after a "quit" set.
void runStream(std::istream& input, CConsoleSession& session)
{
    CCommandSetReader reader;
    std::string line;
    auto send = [&]() {
        const std::vector<std::string> set = reader.take();
        if (CCommandSetReader::isQuit(set)) return false;
        session.run(set);
        return true;
    };
    while (std::getline(input, line)) {
        if (reader.feed(line) && !send()) return;
    }
    if (reader.finish()) send();
}

// The interactive console: lines accumulate into a set, a blank line sends
// it. End of input (Ctrl-D) sends what was typed and leaves.
void runInteractive(CConsoleSession& session)
{
    CLineEditor editor;
    CCommandSetReader reader;
    std::string line;
    while (editor.read(reader.pending() ? kContinuationPrompt : kPrompt, line)) {
        if (!reader.feed(line)) continue;
        const std::vector<std::string> set = reader.take();
        if (CCommandSetReader::isQuit(set)) return;
        session.run(set);
    }
    std::cout << "\n";
    if (reader.finish()) {
        const std::vector<std::string> set = reader.take();
        if (!CCommandSetReader::isQuit(set)) session.run(set);
    }
}

int run(const CConsoleOptions& options)
{
    std::ifstream file;
    const bool fromFile = !options.file().empty() && options.file() != kStdinName;
    if (fromFile) {
        file.open(options.file());
        if (!file) {
            std::cerr << kProgram << kCannotOpenInput << options.file() << "'\n";
            return CConsoleSession::exitFailure;
        }
    }
    const bool interactive = options.commands().empty() && !fromFile && ::isatty(STDIN_FILENO);

    const std::string password = options.encryption() ? CConsolePassword::obtain(options) : std::string();
    CReplyPrinter printer(options.output(), interactive, std::cout, std::cerr);
    CConsoleSession session(options, printer);
    const std::string greeting = session.open(password);
    if (interactive) std::cout << greeting << std::flush;

    if (!options.commands().empty()) {
        for (const auto& set : options.commands()) {
            if (CCommandSetReader::isQuit(set)) break;
            session.run(set);
        }
    } else if (fromFile) {
        runStream(file, session);
    } else if (interactive) {
        runInteractive(session);
    } else {
        runStream(std::cin, session);
    }
    session.close();
    return session.status();
}

} // namespace

int main(int argc, char** argv)
{
    CConsoleOptions options;
    try {
        options.parse(argc, argv);
    } catch (const osk::CException& e) {
        std::cerr << kProgram << e.whyMsg().formatted() << "\n" << kTryHelp;
        return CConsoleSession::exitFailure;
    }
    if (options.help()) {
        std::cout << CConsoleOptions::usage;
        return 0;
    }
    if (options.version()) {
        std::cout << "zelvo-console " << osk::CLibraryInfo::version() << "\n";
        return 0;
    }
    ACE::init();
    int status;
    try {
        status = run(options);
    } catch (const osk::CException& e) {
        std::cerr << kProgram << e.what() << "\n";
        status = CConsoleSession::exitFailure;
    }
    ACE::fini();
    return status;
}
