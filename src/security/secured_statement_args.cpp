#include "security/secured_statement_args.h"

#include <cstdio>

namespace osk {

namespace {
const char* const kDomainIdKey = "DOMAIN_ID";
const char* const kSourceTableKey = "SRC_TABLE";
const char* const kCountKey = "DOM_ID_COUNT";

std::string numbered(const char* key, int n)
{
    char suffix[16];
    std::snprintf(suffix, sizeof(suffix), "_%d", n);
    return std::string(key) + suffix;
}

CSecuredStatementArgs::arg_t* findMutable(CSecuredStatementArgs::args_t& args, const std::string& key)
{
    for (auto& arg : args) {
        if (arg.key == key) return &arg;
    }
    return nullptr;
}
} // namespace

void CSecuredStatementArgs::set(args_t& args, const std::string& key, int64_t number)
{
    arg_t value{key, long_arg, number, std::string()};
    if (arg_t* found = findMutable(args, key)) *found = value;
    else args.push_back(value);
}

void CSecuredStatementArgs::set(args_t& args, const std::string& key, const std::string& text)
{
    arg_t value{key, text_arg, 0, text};
    if (arg_t* found = findMutable(args, key)) *found = value;
    else args.push_back(value);
}

const CSecuredStatementArgs::arg_t* CSecuredStatementArgs::find(const args_t& args, const std::string& key)
{
    for (const auto& arg : args) {
        if (arg.key == key) return &arg;
    }
    return nullptr;
}

void CSecuredStatementArgs::setArgs(const CAccessToken& token, const std::string& sourceTable, args_t& args)
{
    int n = 0;
    for (const CDomainID& domain : token.domainIDs()) {
        ++n;
        set(args, numbered(kDomainIdKey, n), domain.id());
        set(args, numbered(kSourceTableKey, n), sourceTableValue(domain.id(), sourceTable));
    }
    set(args, kCountKey, static_cast<int64_t>(n));
}

std::string CSecuredStatementArgs::sourceTableValue(int64_t id, const std::string& sourceTable)
{
    return std::to_string(static_cast<uint32_t>(id)) + "_" + sourceTable;
}

} // namespace osk
