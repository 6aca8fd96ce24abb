#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "unit/rconsole_base/console_test_support.h"
#include "unit/rconsole_base/test_console_handler.h"

namespace zelvo_test {

// A running test acceptor on 127.0.0.1 with a system-chosen port.
class CConsoleFixture : public ::testing::Test {
protected:
    void start(bool encryption)
    {
        controller.config()->set_bool("rconsole.encryption", encryption);
        acceptor.reset(new CTestAcceptor(&controller));
        ASSERT_EQ(acceptor->run(), 0);
        port = controller.consolePort();
        ASSERT_NE(port, 0);
    }
    void TearDown() override
    {
        if (acceptor) acceptor->shutdown();
        acceptor.reset();
    }

    // A connected console that has read the greeting (clear text).
    std::unique_ptr<CRawConsole> clearConsole()
    {
        std::unique_ptr<CRawConsole> console(new CRawConsole);
        if (!console->connect(port)) return nullptr;
        if (console->greeting().empty()) return nullptr;
        return console;
    }

    // Stores an administrator password enciphered under the key file.
    void storePassword(const std::string& password)
    {
        osk::CBlowfish::create_key_file(controller.dir(), "private_key.bin");
        osk::CBlowfish keyed;
        keyed.init_from_file(controller.dir(), "private_key.bin", osk::CBlowfish::keyFileLength);
        osk::CHexStore stored(osk::CHexStore::inlineCapacity, "-");
        keyed.encrypt_string(password, stored);
        stored.separator("-");
        controller.config()->set_string("rconsole.password", stored.string());
    }

    CConsoleTestController controller;
    std::unique_ptr<CTestAcceptor> acceptor;
    uint16_t port = 0;
};

} // namespace zelvo_test
