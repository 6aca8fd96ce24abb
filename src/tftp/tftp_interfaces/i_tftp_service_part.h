#pragma once

#include <string>

class CITFTPController;

// A part of the service that the daemon adds to its TFTP controller and
// whose life lies within that of the plug-ins: the controller opens it once
// the plug-ins are loaded, before any of them runs, and closes it after they
// have stopped and before their libraries are unloaded. A part may
// therefore hold objects whose code lives in a plug-in (the service's
// database, reached through a provider plug-in). A dry run of admission
// opens no part.
class CITFTPServicePart {
public:
    virtual ~CITFTPServicePart() = default;

    // Names the part in messages.
    virtual std::string partName() const = 0;
    // Throws osk::CException to stop the start.
    virtual void open(CITFTPController& controller) = 0;
    // Releases what open made; does nothing when open never ran or failed.
    virtual void close() noexcept = 0;
};
