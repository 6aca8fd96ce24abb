#include "console_session.h"

#include "console_options.h"
#include "reply_printer.h"

CConsoleSession::CConsoleSession(const CConsoleOptions& options, CReplyPrinter& printer)
    : _options(options), _printer(printer), _client(options.timeout())
{
}

std::string CConsoleSession::open(const std::string& password)
{
    _client.connect(_options.host(), _options.port());
    return _client.login(password, _options.encryption(), _options.protocol(), _options.user());
}

bool CConsoleSession::run(const std::vector<std::string>& set)
{
    std::string text;
    for (const auto& line : set) text += line + "\n";
    _printer.begin(set);
    const std::string rest =
        _client.commandText(text + "\n", [this](const std::string& lines) { _printer.streamed(lines); });
    _printer.finish(rest);
    const bool ack = CRConsoleReplyReader::code(rest) == "ack";
    if (!ack) _status = exitNak;
    return ack;
}

void CConsoleSession::close() { _client.quit(); }
