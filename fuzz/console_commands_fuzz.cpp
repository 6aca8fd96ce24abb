// The console's text protocol on both sides: the service's command-set
// reader fed the input in reads of the sizes the input chooses, each
// complete set turned into its command word and arguments as the handler
// does; and the console's reply reader cutting the same bytes into replies.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "rconsole_base/rconsole_command_reader.h"
#include "rconsole_base/rconsole_reply_reader.h"
#include "standard/string_map.h"
#include "support/fuzz_bytes.h"

namespace {

// The command word is the first key of the first line; the arguments are
// every line's entries.
void dispatch(const std::vector<std::string>& lines)
{
    if (lines.empty()) return;
    const osk::CStringMap first(lines.front(), "\n", 0, false);
    osk::CStringMap args;
    for (const std::string& line : lines) args += line;
    if (!first.empty() && !args.defined(first.begin()->first)) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    zelvo_fuzz::FuzzBytes input(data, size);
    const uint8_t readSize = input.byte();
    const std::string stream = input.rest();
    const size_t step = readSize ? readSize : stream.size() + 1;

    CRConsoleCommandReader commands;
    CRConsoleReplyReader replies;
    for (size_t at = 0; at < stream.size(); at += step) {
        const std::string piece = stream.substr(at, step);
        commands.append(piece.data(), piece.size());
        if (commands.complete()) {
            std::vector<std::string> lines;
            lines.swap(commands.lines());
            const bool overflowed = commands.overflowed();
            commands.reset();
            if (!overflowed) dispatch(lines);
        }
        replies.append(piece.data(), piece.size());
        std::string reply;
        replies.takeStreamed();
        while (replies.next(reply, (readSize & 1) != 0)) {
            CRConsoleReplyReader::code(reply);
            CRConsoleReplyReader::body(reply);
            CRConsoleReplyReader::message(reply);
        }
    }
    return 0;
}
