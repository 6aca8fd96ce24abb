#include "extended/task_registry.h"

#include <cstdint>

#include "extended/exception.h"
#include "standard/guard.h"

namespace osk {

namespace {
const char* const kModule = "extended";
const char* const kRegisterFailed = "Failed to register thread %1 with name %2 in the task registry.";
const char* const kAlreadyRegistered = "Task already registered.";
const char* const kDeregisterFailed = "Failed to de-register thread %1 from the task registry.";
const char* const kNotRegistered = "Task not registered.";
const char* const kUnregistered = "unregistered-task";
} // namespace

void CTaskRegistry::registerTask(const std::string& name)
{
    const pthread_t self = pthread_self();
    CGuard<CNRMutex> guard(_lock);
    if (!_tasks.emplace(self, name).second)
        throw OSK_EXCEPTION(CMessage(kRegisterFailed).push(static_cast<uint64_t>(self)).pushs(name),
                            CMessage(kAlreadyRegistered), "CTaskRegistry::registerTask", kModule);
}

void CTaskRegistry::deregisterTask()
{
    const pthread_t self = pthread_self();
    CGuard<CNRMutex> guard(_lock);
    if (_tasks.erase(self) == 0)
        throw OSK_EXCEPTION(CMessage(kDeregisterFailed).push(static_cast<uint64_t>(self)),
                            CMessage(kNotRegistered), "CTaskRegistry::deregisterTask", kModule);
}

std::string CTaskRegistry::find(pthread_t threadId) const
{
    CGuard<CNRMutex> guard(_lock);
    const auto found = _tasks.find(threadId);
    return found == _tasks.end() ? std::string(kUnregistered) : found->second;
}

size_t CTaskRegistry::size() const
{
    CGuard<CNRMutex> guard(_lock);
    return _tasks.size();
}

} // namespace osk
