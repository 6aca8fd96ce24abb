#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "security/access_token.h"

namespace osk {

// The arguments that precompiled statements over secured tables receive:
// the token's domains numbered from 1 in id order, for domain n the keys
// DOMAIN_ID_n (its id) and SRC_TABLE_n (the id and the source table in the
// form stored in osk_domain_id.SRC_TABLE), and DOM_ID_COUNT.
//
// Arguments are kept as plain typed values (a number or a text) until the
// statement layer binds them.
class CSecuredStatementArgs {
public:
    enum arg_type { long_arg, text_arg };

    struct arg_t {
        std::string key;
        arg_type type;
        int64_t number;
        std::string text;
    };
    using args_t = std::vector<arg_t>;

    // Replaces the value of an argument of the same key or adds one.
    static void set(args_t& args, const std::string& key, int64_t number);
    static void set(args_t& args, const std::string& key, const std::string& text);
    // The argument with that key, or null.
    static const arg_t* find(const args_t& args, const std::string& key);

    static void setArgs(const CAccessToken& token, const std::string& sourceTable, args_t& args);

    // "%u_%s": the id (as an unsigned 32-bit number) and the source table.
    static std::string sourceTableValue(int64_t id, const std::string& sourceTable);
};

} // namespace osk
