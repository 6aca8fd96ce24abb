#pragma once

namespace osk {

// One step of a reactor's dispatch sequence: calls one member of the dispatch
// policy. The member receives the number of ready events not yet handled,
// lowers it by the number it handled, and returns how many handlers it called.
template <class Policy>
class CReactorDispatchCmd {
public:
    using member_t = int (Policy::*)(int& remaining);

    CReactorDispatchCmd(Policy& policy, member_t member) : _policy(policy), _member(member) {}
    virtual ~CReactorDispatchCmd() = default;
    CReactorDispatchCmd(const CReactorDispatchCmd&) = delete;
    CReactorDispatchCmd& operator=(const CReactorDispatchCmd&) = delete;

    virtual int execute(int& remaining) { return (_policy.*_member)(remaining); }

protected:
    Policy& _policy;

private:
    member_t _member;
};

} // namespace osk
