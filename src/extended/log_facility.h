#pragma once

#include <string>

namespace osk {

// A syslog facility by its number (daemon is 3, local0 is 16, ...), the
// number that syslog priorities multiply by 8. Named facilities print as
// "auth", "daemon", "kern", "local0" to "local7", "mail", "syslog" and
// "user"; any other prints as its decimal number.
class CLogFacility {
public:
    static constexpr int kern = 0;
    static constexpr int user = 1;
    static constexpr int mail = 2;
    static constexpr int daemon = 3;
    static constexpr int auth = 4;
    static constexpr int syslog = 5;
    static constexpr int local0 = 16;
    static constexpr int local7 = 23;

    explicit CLogFacility(int facility = daemon) : _facility(facility) {}
    // Parses a name above or a decimal number 0 to 23; anything else throws
    // "Cannot parse log facility '%1'." with "Unknown facility name.".
    explicit CLogFacility(const std::string& name);

    int facility() const { return _facility; }
    void facility(int value) { _facility = value; }
    // The value openlog(3) expects (the number shifted into place).
    int syslogValue() const { return _facility << 3; }

    std::string string() const;

    bool operator==(const CLogFacility& other) const { return _facility == other._facility; }
    bool operator!=(const CLogFacility& other) const { return _facility != other._facility; }

private:
    int _facility;
};

} // namespace osk
