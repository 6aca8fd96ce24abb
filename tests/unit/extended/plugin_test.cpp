#include "extended/plugin.h"

#include <gtest/gtest.h>

namespace {

class CInterfacePlugin : public CPlugin {
public:
    explicit CInterfacePlugin(std::string interfaces) : _interfaces(std::move(interfaces)) {}
    bool authorized(const plugin_list_t&) const override { return true; }
    int openPlugin() override { return 0; }
    void closePlugin() override {}
    void pausePlugin() override {}
    void resumePlugin() override {}
    int pluginMode() const override { return 0; }
    std::string pluginInterface() const override { return _interfaces; }

private:
    std::string _interfaces;
};

TEST(PluginTest, ConformsToTrimmedPiecesOfItsOwnInterfaceList)
{
    CInterfacePlugin single("CRConsole");
    EXPECT_TRUE(single.conformsToInterface("CRConsole"));
    EXPECT_FALSE(single.conformsToInterface(" CRConsole"));  // the argument is not trimmed
    EXPECT_FALSE(single.conformsToInterface("crconsole"));

    CInterfacePlugin several(" CITFTPFDManagerFactory ,  CIUDPPublisherFactory,");
    EXPECT_TRUE(several.conformsToInterface("CITFTPFDManagerFactory"));
    EXPECT_TRUE(several.conformsToInterface("CIUDPPublisherFactory"));
    EXPECT_FALSE(several.conformsToInterface("CIUDP"));
}

TEST(PluginTest, BaseDefaults)
{
    CInterfacePlugin plugin("X");
    EXPECT_EQ("<unnamed>", plugin.pluginName());
    EXPECT_EQ(0, plugin.runPriority());
    EXPECT_EQ(0, plugin.runPlugin());
    EXPECT_EQ("", plugin.requiredInterfaces());
    EXPECT_EQ(nullptr, plugin.controller());
    EXPECT_EQ(nullptr, plugin.handle());
}

} // namespace
