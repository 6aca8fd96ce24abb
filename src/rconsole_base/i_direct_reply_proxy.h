#pragma once

#include <string>

#include "standard/string_map.h"

class CTextCommand;

// How a long-running command streams its results to a console: raw text,
// records (each followed by a "-" line) and the closing reply.
class CIDirectReplyProxy {
public:
    virtual ~CIDirectReplyProxy() = default;
    virtual bool raw(const std::string& text, bool final) = 0;
    virtual bool cooked(const osk::CStringMap& record) = 0;
    virtual bool cookedComplete(const CTextCommand& reply) = 0;
};
