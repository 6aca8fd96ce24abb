#pragma once

#include <string>

class CState;

// The four per-request decisions of the engine: the virtual root of a
// transfer, the pre-processing of its request, and whether it may read or
// write (and overwrite). The engine asks only this class, so the way the
// configured texts are evaluated lives in one place.
//
// This evaluator understands literal texts: the virtual root is a plain
// directory path, the access and overwrite rules are boolean literals
// ("true"/"false", "yes"/"no", "on"/"off", "1"/"0", any case) and the
// pre-processor must be empty. Any other text fails to parse when the engine
// starts (so the engine refuses to start rather than misjudge requests).
class CTFTPPolicy {
public:
    CTFTPPolicy() = default;

    // Checks and keeps the configured texts. Throws osk::CException when a
    // text cannot be evaluated by this class; which of the four failed is
    // told by the method: parseVirtualRoot, parseAccess, parseOverwrite,
    // parsePreProcessor.
    void parseVirtualRoot(const std::string& text);
    void parseAccess(const std::string& text);
    void parseOverwrite(const std::string& text);
    void parsePreProcessor(const std::string& text);

    // The evaluations for one transfer. Each throws osk::CException when the
    // result cannot be had.
    std::string virtualRoot(const CState& state) const;
    // True when the request was pre-processed (and may have changed
    // state.reqFile); false when there is nothing to do.
    bool preprocess(CState& state) const;
    bool accessAllowed(const CState& state) const;
    bool overwriteAllowed(const CState& state) const;

    bool hasPreProcessor() const { return !_preProcessor.empty(); }
    const std::string& virtualRootText() const { return _virtualRoot; }

    // A boolean literal; throws for any other text.
    static bool booleanLiteral(const std::string& text);

private:
    std::string _virtualRoot;
    std::string _preProcessor;
    bool _access = false;
    bool _overwrite = false;
};
