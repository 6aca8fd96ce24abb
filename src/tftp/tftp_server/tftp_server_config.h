#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "extended/config_values.h"
#include "standard/string_map.h"
#include "tftp/tftp_server/tftp_log_note.h"
#include "tftp/tftp_server/tftp_option_limits.h"

// The engine's configured values, read once when the engine starts: the
// texts of the four per-request expressions, the timeouts, block sizes and
// retransmission limit (kept as option-negotiation limits) and the flags.
//
// No value is bounded and no pair is compared here: a minimum above its
// maximum stays as configured and negotiation applies the bounds as they are.
class CTFTPServerConfig {
public:
    // The expressions of the engine: the four decisions and the account
    // whose stored policies the others read.
    enum expression_kind {
        virtualRootExpression = 0,
        accessExpression = 1,
        overwriteExpression = 2,
        preProcessorExpression = 3,
        accountExpression = 4,
    };
    // Parses one expression text for its owner (the engine keeps the parsed
    // form); throws any exception when the text does not parse.
    using expression_parser = std::function<void(expression_kind kind, const std::string& text)>;

    // Holds the catalogue's defaults (no virtual root).
    CTFTPServerConfig();

    // Reads every engine key of config with the catalogue's default. Each expression
    // text is handed to parse (when given); an empty pre-processor text is
    // not parsed, it means that requests are not pre-processed, and an empty
    // account text means that requests have no account. Throws
    // "Cannot read configuration file." with the reason; on a throw this
    // object keeps its previous values.
    void read(const osk::CStringMap& config, const expression_parser& parse = expression_parser());

    // Expression texts.
    const std::string& virtualRoot() const { return _virtualRoot; }
    const std::string& accessAllow() const { return _accessAllow; }
    const std::string& overwriteAllow() const { return _overwriteAllow; }
    const std::string& preProcessor() const { return _preProcessor; }
    bool preProcess() const { return !_preProcessor.empty(); }
    const std::string& accountName() const { return _accountName; }

    // Timeouts (microseconds), block sizes and the three option flags.
    const CTFTPOptionLimits& limits() const { return _limits; }
    unsigned long maxRetransmits() const { return _maxRetransmits; }
    bool deletePartialUploads() const { return _deletePartialUploads; }
    bool allowNonRootedVFS() const { return _allowNonRootedVFS; }
    // The longest the engine polls its transfer socket before it sleeps
    // (microseconds; 0: it never polls).
    unsigned long busyPollUsec() const { return _busyPollUsec; }

    // The configured texts of the timeout and retransmission limit, as
    // written in the configuration, for the engine's start message.
    const std::string& timeoutText() const { return _timeoutText; }
    const std::string& maxRetransmitsText() const { return _maxRetransmitsText; }

    // Entries to log after a successful read, in order.
    const std::vector<CTFTPLogNote>& notes() const { return _notes; }

private:
    // Every value of config (the expressions unparsed).
    void _take(const osk::CConfigValues& config);

    std::string _virtualRoot;
    std::string _accessAllow;
    std::string _overwriteAllow;
    std::string _preProcessor;
    std::string _accountName;
    CTFTPOptionLimits _limits;
    unsigned long _maxRetransmits;
    bool _deletePartialUploads;
    bool _allowNonRootedVFS;
    unsigned long _busyPollUsec;
    std::string _timeoutText;
    std::string _maxRetransmitsText;
    std::vector<CTFTPLogNote> _notes;
};
