#pragma once

#include <ostream>
#include <string>

// zelvo-tftpd --check-config: reads a configuration file the way the daemon
// does (legacy names translated) and reports every key the service does not
// know and every value it could not use, each with its key, through the
// same validator that guards the start and the console's set_properties.
// Nothing is started: no plug-in is loaded, no socket bound, no file
// written, so a reload can run it against a file that is not live yet.
class CConfigCheck {
public:
    explicit CConfigCheck(const std::string& path) : _path(path) {}

    // Writes one line per problem to out, or a line saying the file is
    // usable. Returns the exit status: 0 usable, 1 not (or not readable).
    int run(std::ostream& out) const;

private:
    std::string _path;
};
