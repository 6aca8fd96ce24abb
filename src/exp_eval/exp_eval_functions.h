#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "exp_eval/exp_eval.h"

namespace osk {

// The built-in functions of every evaluator. Each handler pops its
// arguments (the first is on top) and pushes its results; CExpEval
// registers the whole table in its constructor.
class CExpEvalFunctions {
public:
    struct entry_t {
        const char* name;
        CExpEval::handler_t handler;
    };
    static const std::vector<entry_t>& table();

    // Throws "Not enough arguments." or "Too many arguments." (what "Failed
    // to execute function $NAME().") unless min <= count <= max.
    static void checkArity(const CMultiVariant& arguments, const char* name, size_t min, size_t max);
    // Pops every argument, first argument first.
    static std::vector<CVariant> take(CMultiVariant& arguments);
    // The value of key in a VALUE file (see _value).
    static bool lookupValueFile(const std::string& path, const std::string& key, std::string& value);
    // Whether text matches the wildcard pattern ("*", "?", "[set]", "[^set]").
    static bool wildcardMatch(const std::string& text, const std::string& pattern);

    static constexpr size_t unbounded = static_cast<size_t>(-1);

private:
    static void _cond(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _if(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _default(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _unknown(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _ucase(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _lcase(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _len(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _left(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _right(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _mid(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _instr(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _startswith(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _match(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _str(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _string(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _int(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _integer(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _bool(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _bytes(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _mac(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _text(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _ip(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _ipMap(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _ipUnmap(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _eval(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _value(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _fileExists(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _usleep(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _print(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _log(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _date(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _time(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _day(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _month(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _year(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _timeUtc(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _timeFormatUtc(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _timeFormatLocal(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _md5(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _sha1(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _base64Encode(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _base64Decode(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _encrypt(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _decrypt(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _sencrypt(const CExpEval&, CMultiVariant&, CMultiVariant&);
    static void _sdecrypt(const CExpEval&, CMultiVariant&, CMultiVariant&);
};

} // namespace osk
