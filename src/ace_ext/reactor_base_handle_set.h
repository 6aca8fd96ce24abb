#pragma once

#include <ace/Event_Handler.h>
#include <ace/Handle_Set.h>

namespace osk {

// Three handle sets, one per select mask bit: 1 read, 2 write, 4 exception.
// Masks given to the operations are select masks (combinations of those
// bits); anything else in a mask is ignored. Copying is cheap (three fd_sets).
class CReactorBaseHandleSet {
public:
    static constexpr int setCount = 3;
    static constexpr ACE_Reactor_Mask readBit = 1;
    static constexpr ACE_Reactor_Mask writeBit = 2;
    static constexpr ACE_Reactor_Mask exceptBit = 4;
    static constexpr ACE_Reactor_Mask allBits = readBit | writeBit | exceptBit;

    // Maps an ACE event mask to select bits: read and accept wait for reading,
    // write waits for writing, connect waits for both, except for exceptions.
    static ACE_Reactor_Mask selectBits(ACE_Reactor_Mask eventMask);

    // Adds the handle to every set named in mask.
    void setHandle(ACE_HANDLE handle, ACE_Reactor_Mask mask);
    // Removes the handle from every set named in mask.
    void clearHandle(ACE_HANDLE handle, ACE_Reactor_Mask mask);
    // Moves every bit of the handle from this set into target.
    void moveHandle(ACE_HANDLE handle, CReactorBaseHandleSet& target);
    // Makes the handle a member of exactly the sets named in mask.
    void applyMask(ACE_HANDLE handle, ACE_Reactor_Mask mask);
    // Replaces this set's content with a copy of source.
    void copyAllHandles(const CReactorBaseHandleSet& source);
    // Adds every handle of this set to target and empties this set.
    void moveAllHandles(CReactorBaseHandleSet& target);

    // True when the handle is in at least one of the sets named in mask.
    bool isEnabled(ACE_HANDLE handle, ACE_Reactor_Mask mask) const;
    // True when the handle is in every set named in mask (mask not empty).
    bool isAllEnabled(ACE_HANDLE handle, ACE_Reactor_Mask mask) const;
    // The select bits the handle is set in.
    ACE_Reactor_Mask mask(ACE_HANDLE handle) const;

    // The set of one mask bit (1, 2 or 4).
    ACE_Handle_Set& getWaitObjects(ACE_Reactor_Mask bit);
    const ACE_Handle_Set& getWaitObjects(ACE_Reactor_Mask bit) const;

    // Recounts the sets after select() changed them behind their back,
    // scanning handles up to maxHandle.
    void synchSize(ACE_HANDLE maxHandle);
    // Empties every set.
    void reset();

    // Highest handle in any set, ACE_INVALID_HANDLE when all are empty.
    ACE_HANDLE maxHandle() const;
    // Number of set bits over all sets.
    int count() const;
    bool empty() const { return count() == 0; }

protected:
    static int _index(ACE_Reactor_Mask bit);

    ACE_Handle_Set _sets[setCount];
};

} // namespace osk
