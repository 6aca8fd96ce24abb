#pragma once

#include <cstddef>
#include <set>

namespace osk {
class CITask;
class CMasterController;
} // namespace osk

// The live console connection handlers of one acceptor. The set owns them
// to the extent that closeAll() shuts every one down and destroys it.
// Used only on the acceptor's thread, so it holds no lock.
class CRConsoleHandlerSet {
public:
    explicit CRConsoleHandlerSet(osk::CMasterController* controller);
    virtual ~CRConsoleHandlerSet() = default;
    CRConsoleHandlerSet(const CRConsoleHandlerSet&) = delete;
    CRConsoleHandlerSet& operator=(const CRConsoleHandlerSet&) = delete;

    // False when the task is already in the set.
    virtual bool add(osk::CITask* task);
    // False when the task is not in the set.
    virtual bool remove(osk::CITask* task);
    // Shuts down and destroys every task in set order, then empties the set.
    void closeAll();
    size_t size() const { return _tasks.size(); }
    osk::CMasterController* controller() const { return _controller; }

private:
    std::set<osk::CITask*> _tasks;
    osk::CMasterController* _controller;
};
