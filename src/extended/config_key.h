#pragma once

namespace osk {

// One entry of a configuration catalogue: the key, the one-line description
// consoles show (its first word is the value's type), the value used when
// the configuration does not set the key, and when a changed value takes
// effect.
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
};

} // namespace osk
