#pragma once

#include <string>
#include <utility>

#include "standard/string_map.h"

// A named statement (tag) of a table: its SQL text, the cursor it runs on
// and the adapter information the provider keeps with it.
class CDBTagSpec {
public:
    CDBTagSpec() = default;
    CDBTagSpec(std::string name, std::string statement, uint32_t cursorNum = 0)
        : _name(std::move(name)), _statement(std::move(statement)), _cursorNum(cursorNum)
    {
    }

    const std::string& name() const { return _name; }
    const std::string& statement() const { return _statement; }
    void statement(const std::string& text) { _statement = text; }
    uint32_t cursorNum() const { return _cursorNum; }
    void cursorNum(uint32_t number) { _cursorNum = number; }
    const osk::CStringMap& adapterInfo() const { return _adapterInfo; }
    void adapterInfo(const osk::CStringMap& info) { _adapterInfo = info; }

private:
    std::string _name;
    std::string _statement;
    uint32_t _cursorNum = 0;
    osk::CStringMap _adapterInfo;
};
