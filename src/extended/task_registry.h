#pragma once

#include <pthread.h>

#include <map>
#include <string>

#include "standard/nr_mutex.h"

namespace osk {

// Which task each thread belongs to: thread id -> task name, ordered by
// thread id. The log uses it to name the thread of every entry.
class CTaskRegistry {
public:
    CTaskRegistry() = default;
    CTaskRegistry(const CTaskRegistry&) = delete;
    CTaskRegistry& operator=(const CTaskRegistry&) = delete;

    // Enters the calling thread under the task name.
    void registerTask(const std::string& name);
    // Removes the calling thread.
    void deregisterTask();
    // The task name of a thread, or "unregistered-task".
    std::string find(pthread_t threadId) const;
    size_t size() const;

private:
    mutable CNRMutex _lock;
    std::map<pthread_t, std::string> _tasks;
};

} // namespace osk
