#pragma once

#include <string>
#include <vector>

#include "security/domain_id.h"
#include "security/table_rights.h"

namespace osk {

// What the login look-up finds for a user name: the rights per domain, the
// domains for new objects, the stored password text and the locale.
class CCapabilities {
public:
    using create_rights_t = std::vector<CDomainID>;

    const CTableRights& tableRights() const { return _tableRights; }
    void tableRights(const CTableRights& rights) { _tableRights = rights; }

    const create_rights_t& createRights() const { return _createRights; }
    void createRights(const create_rights_t& domains) { _createRights = domains; }

    const std::string& password() const { return _password; }
    void password(const std::string& text) { _password = text; }

    const std::string& locale() const { return _locale; }
    void locale(const std::string& text) { _locale = text; }

private:
    CTableRights _tableRights;
    create_rights_t _createRights;
    std::string _password;
    std::string _locale;
};

} // namespace osk
