#include "extended/async_command.h"

#include "standard/guard.h"

namespace osk {

CAsyncCommand::CAsyncCommand(const std::string& name, const std::string& instance)
    : _name(name), _instance(instance)
{
}

void CAsyncCommand::targetTo(uint64_t threadId, uint32_t ttl)
{
    CGuard<CNRMutex> guard(_lock);
    _targeted = true;
    _targetThread = threadId;
    _ttl = ttl;
}

bool CAsyncCommand::canExecute()
{
    if (targetIsMe()) return true;
    CGuard<CNRMutex> guard(_lock);
    if (_ttl > 0) --_ttl;
    ++_observerCount;
    if (_observerCount == 1) _hasObservers = true;
    return _ttl < 1;
}

bool CAsyncCommand::targetIsMe() const
{
    CGuard<CNRMutex> guard(_lock);
    return !_targeted || _targetThread == static_cast<uint64_t>(pthread_self());
}

void CAsyncCommand::blockObserver()
{
    {
        CGuard<CNRMutex> guard(_lock);
        if (_observerCount > 0) --_observerCount;
    }
    _observersReleased.wait();
}

void CAsyncCommand::releaseObservers() { _observersReleased.signal(); }

uint32_t CAsyncCommand::observerCount() const
{
    CGuard<CNRMutex> guard(_lock);
    return _observerCount;
}

bool CAsyncCommand::hasObservers() const
{
    CGuard<CNRMutex> guard(_lock);
    return _hasObservers;
}

bool CAsyncCommand::targeted() const
{
    CGuard<CNRMutex> guard(_lock);
    return _targeted;
}

uint64_t CAsyncCommand::targetThread() const
{
    CGuard<CNRMutex> guard(_lock);
    return _targetThread;
}

uint32_t CAsyncCommand::ttl() const
{
    CGuard<CNRMutex> guard(_lock);
    return _ttl;
}

} // namespace osk
