#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "console_options.h"

// Shows the console's replies in one of three forms:
// - text: the reply's lines as they arrive, with the "-" line that ends a
//   streamed record shown as a blank line, so the output of "dump" is itself
//   input for the console; a blank line after each reply. The objects of a
//   listing (select commands) are shown once the reply is complete, as a
//   table with a column per attribute. A nak's message
//   (or an ack's warning) goes to the error stream as "nak: ..." or
//   "warning: ...". Interactive sessions show "ack"/"nak: ..." on the output
//   instead, after the lines.
// - raw: the reply text exactly as received.
// - json: one object per reply on one line:
//   {"command":"info","code":"ack","message":"","lines":["name=host",...]};
//   a listing adds "objects":[{"name":"..",...},...].
class CReplyPrinter {
public:
    CReplyPrinter(CConsoleOptions::output_t form, bool interactive, std::ostream& out, std::ostream& err);

    // A command set is about to be sent.
    void begin(const std::vector<std::string>& set);
    // Lines that arrived ahead of the reply's code block.
    void streamed(const std::string& lines);
    // The rest of the reply, from its code block on.
    void finish(const std::string& rest);

    static std::string jsonString(const std::string& text);

private:
    void _text(const std::string& lines);
    // Length of the well-formed UTF-8 sequence at text[at], 0 when none.
    static size_t _utf8Length(const std::string& text, size_t at);

    CConsoleOptions::output_t _form;
    bool _interactive;
    std::ostream& _out;
    std::ostream& _err;
    std::string _command;
    std::string _reply;
    bool _listing = false;
    size_t _shown = 0;
    bool _lastBlank = true;
};
