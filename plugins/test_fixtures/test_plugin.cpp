// A plug-in for the tests of the plug-in host. One build of it is copied
// under several file names ("libalpha.so", "libbeta.so", ...); each copy is a
// separate plug-in named after its file ("alpha"). Its behaviour comes from
// the controller's configuration, keys "test_plugin.<name>.<setting>":
// priority, interface, requires, authorized, open and run (the results of
// openPlugin and runPlugin). Every call the host makes is logged at debug
// level as "fixture <name> <call>" so a test can check order. A copy whose
// name begins with "null" makes pluginCreator return nothing.
#include <dlfcn.h>

#include <string>

#include "extended/exception.h"
#include "extended/master_controller.h"
#include "extended/message.h"
#include "extended/plugin.h"

extern "C" {
CPlugin* pluginCreator();
void pluginDestroyer(CPlugin* plugin);
}

namespace {

// An object with internal linkage: its address always lies in this copy of
// the library. (pluginCreator would not do: the host library exports a symbol
// of the same name, which interposes on calls and address-taking here.)
const char kLibraryAnchor = 0;

// "alpha" for ".../libalpha.so": the file this copy was loaded from.
std::string libraryName()
{
    Dl_info info{};
    if (::dladdr(&kLibraryAnchor, &info) == 0 || !info.dli_fname) return "unknown";
    std::string name = info.dli_fname;
    name = name.substr(name.find_last_of('/') + 1);
    if (name.compare(0, 3, "lib") == 0) name = name.substr(3);
    const size_t dot = name.find('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

class CTestFixturePlugin : public CPlugin {
public:
    explicit CTestFixturePlugin(std::string name) : _name(std::move(name)) {}

    bool authorized(const plugin_list_t&) const override { return _setting("authorized", "true") == "true"; }
    int openPlugin() override
    {
        note("open");
        return std::stoi(_setting("open", "0"));
    }
    void closePlugin() override { note("close"); }
    unsigned char runPriority() override { return static_cast<unsigned char>(std::stoi(_setting("priority", "0"))); }
    int runPlugin() override
    {
        note("run");
        return std::stoi(_setting("run", "0"));
    }
    void shutdownPlugin() override { note("shutdown"); }
    void pausePlugin() override {}
    void resumePlugin() override {}
    std::string pluginName() const override { return _name; }
    int pluginMode() const override { return 0; }
    std::string pluginInterface() const override { return _setting("interface", "CTestFixture"); }
    std::string requiredInterfaces() const override { return _setting("requires", ""); }

    void note(const std::string& call) const
    {
        if (controller())
            controller()->syslog(osk::CException::debug, osk::CMessage("fixture %1 %2").pushs(_name).pushs(call));
    }

private:
    std::string _setting(const std::string& key, const std::string& fallback) const
    {
        if (!controller()) return fallback;
        return controller()->config()->get_string("test_plugin." + _name + "." + key, fallback);
    }

    std::string _name;
};

} // namespace

extern "C" {

CPlugin* pluginCreator()
{
    const std::string name = libraryName();
    if (name.compare(0, 4, "null") == 0) return nullptr;
    return new CTestFixturePlugin(name);
}

#ifndef ZELVO_TEST_PLUGIN_NO_DESTROYER
void pluginDestroyer(CPlugin* plugin)
{
    if (auto* fixture = dynamic_cast<CTestFixturePlugin*>(plugin)) fixture->note("destroyed");
    delete plugin;
}
#endif

} // extern "C"
