#pragma once

#include <list>
#include <string>

namespace osk {
class CMasterController;
}

// Base of every plug-in the daemon loads. The host creates a plug-in through
// the library's exported pluginCreator, hands it the controller and the
// library handle, and drives it through these operations.
class CPlugin {
public:
    using plugin_list_t = std::list<CPlugin*>;

    CPlugin() = default;
    virtual ~CPlugin() = default;
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    // Whether the plug-in may run beside the given loaded plug-ins.
    virtual bool authorized(const plugin_list_t& loaded) const = 0;
    // 0 on success; a negative result makes the host unload the plug-in.
    virtual int openPlugin() = 0;
    virtual void closePlugin() = 0;
    // The host runs plug-ins in ascending order of this value.
    virtual unsigned char runPriority() { return 0; }
    // 0 on success; anything else makes the host shut the plug-in down,
    // close and unload it.
    virtual int runPlugin() { return 0; }
    // Stops what runPlugin() started, also after a run that failed half-way.
    virtual void shutdownPlugin() {}
    virtual void pausePlugin() = 0;
    virtual void resumePlugin() = 0;
    virtual std::string pluginName() const { return "<unnamed>"; }
    virtual int pluginMode() const = 0;
    // One interface name, or several separated by commas.
    virtual std::string pluginInterface() const { return "CPlugin"; }
    // Comma-separated interfaces that other loaded plug-ins must provide.
    virtual std::string requiredInterfaces() const { return std::string(); }
    // True when one comma-separated piece of pluginInterface(), trimmed of
    // spaces, equals name exactly. The argument itself is not trimmed.
    virtual bool conformsToInterface(const std::string& name) const;

    virtual osk::CMasterController* controller() const { return _controller; }
    virtual void controller(osk::CMasterController* owner) { _controller = owner; }
    virtual void* handle() const { return _handle; }
    virtual void handle(void* libraryHandle) { _handle = libraryHandle; }

private:
    osk::CMasterController* _controller = nullptr;
    void* _handle = nullptr;
};

// Signatures of the two unmangled entry points every plug-in library exports.
extern "C" {
typedef CPlugin* (*plugin_creator_t)();
typedef void (*plugin_destroyer_t)(CPlugin*);
}
