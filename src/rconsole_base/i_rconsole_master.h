#pragma once

namespace osk {
class CITask;
}

// Whoever accepted a console connection: the connection's handler reports
// through it that its peer has gone.
class CIRConsoleMaster {
public:
    virtual ~CIRConsoleMaster() = default;
    // Asks for the handler to be shut down and destroyed later, on the
    // master's own thread; returns at once.
    virtual void deactivate(osk::CITask* handler) = 0;
};
