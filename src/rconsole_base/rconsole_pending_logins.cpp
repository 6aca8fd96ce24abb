#include "rconsole_base/rconsole_pending_logins.h"

#include <algorithm>
#include <utility>

std::vector<CRConsolePendingLogins::login_ptr> CRConsolePendingLogins::admit(login_ptr login)
{
    std::vector<login_ptr> dropped;
    while (_order.size() >= _limit) dropped.push_back(take(_order.front().get()));
    const ACE_HANDLE handle = login->handle();
    _order.push_back(std::move(login));
    _byHandle[handle] = std::prev(_order.end());
    return dropped;
}

CRConsolePendingLogin* CRConsolePendingLogins::find(ACE_HANDLE handle) const
{
    const auto found = _byHandle.find(handle);
    return found == _byHandle.end() ? nullptr : found->second->get();
}

bool CRConsolePendingLogins::holds(const CRConsolePendingLogin* login) const
{
    return std::any_of(_order.begin(), _order.end(), [login](const login_ptr& held) { return held.get() == login; });
}

CRConsolePendingLogins::login_ptr CRConsolePendingLogins::take(const CRConsolePendingLogin* login)
{
    const auto found = _find(login);
    if (found == _order.end()) return nullptr;
    login_ptr taken = std::move(*found);
    _byHandle.erase(taken->handle());
    _order.erase(found);
    return taken;
}

std::list<CRConsolePendingLogins::login_ptr>::iterator CRConsolePendingLogins::_find(const CRConsolePendingLogin* login)
{
    // By address only: login may be a stale pointer that must not be read.
    return std::find_if(_order.begin(), _order.end(), [login](const login_ptr& held) { return held.get() == login; });
}

std::vector<CRConsolePendingLogins::login_ptr> CRConsolePendingLogins::takeAll()
{
    std::vector<login_ptr> all;
    for (auto& login : _order) all.push_back(std::move(login));
    _order.clear();
    _byHandle.clear();
    return all;
}
