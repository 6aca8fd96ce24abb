#pragma once

#include <cstdint>

namespace osk {

// What a configuration value must look like: checked before a value is
// stored from a console and when the service starts, so that a value the
// service cannot use is refused where it is given.
struct CConfigRule {
    enum kind_t {
        // Any text.
        anyText,
        // "true" or "false" (as the flag readers spell them: all lower case,
        // all upper case or capitalised).
        flag,
        // A whole number between min and max; empty reads as the default.
        number,
        // A duration ("3s", "100ms", "250us"; a bare number is seconds)
        // between min and max microseconds; empty reads as the default.
        duration,
        // A comma list of plug-in names: plain file names, never a path.
        pluginNames,
        // A literal text, or an expression in square brackets that parses.
        expression,
        // A boolean literal, or an expression in square brackets that
        // parses.
        decision,
        // An expression in square brackets that parses, or a directory path
        // other than the file system's root, without ".." (a relative one
        // is taken from the daemon's working directory).
        rootPath,
    };

    static constexpr CConfigRule text() { return CConfigRule{anyText, 0, 0}; }
    static constexpr CConfigRule boolean() { return CConfigRule{flag, 0, 0}; }
    static constexpr CConfigRule range(int64_t low, int64_t high) { return CConfigRule{number, low, high}; }
    static constexpr CConfigRule usec(int64_t low, int64_t high) { return CConfigRule{duration, low, high}; }
    static constexpr CConfigRule plugins() { return CConfigRule{pluginNames, 0, 0}; }
    static constexpr CConfigRule evaluated() { return CConfigRule{expression, 0, 0}; }
    static constexpr CConfigRule rule() { return CConfigRule{decision, 0, 0}; }
    static constexpr CConfigRule root() { return CConfigRule{rootPath, 0, 0}; }

    kind_t kind;
    // Bounds of number and duration, both included.
    int64_t min;
    int64_t max;
};

// One entry of a configuration catalogue: the key, the one-line description
// consoles show (its first word is the value's type), the value used when
// the configuration does not set the key, when a changed value takes effect
// and what a value must look like.
struct CConfigKey {
    enum applies_t {
        // Read again at each use (a request, a login, a log refresh): a
        // stored change is in force at once.
        atOnce,
        // Read while the service starts: a stored change waits for a restart.
        afterRestart,
    };

    const char* name;
    const char* description;
    // The value in the configuration's own text form ("3s", "true", "69").
    // Null when there is no fixed default: the key is required, or the
    // reader derives the value (from a directory, another key, the system).
    const char* defaultValue;
    applies_t applies;
    CConfigRule rule;
};

} // namespace osk
