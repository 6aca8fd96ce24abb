#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "exp_eval/exp_eval.h"
#include "extended/exception.h"

namespace {

// Every text either evaluates or throws osk::CException; anything else
// (another exception type, a crash, a sanitizer report) fails.
void evaluateOrThrow(const osk::CExpEval& evaluator, const std::string& text, size_t& evaluated, size_t& rejected)
{
    try {
        osk::CMultiVariant results;
        evaluator.execute(results, evaluator.parse(text));
        ++evaluated;
    } catch (const osk::CException&) {
        ++rejected;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "text '" << text << "' raised " << e.what();
    }
}

const std::vector<std::string> kSeeds = {
    "[$IF($STARTSWITH($FILE.EXISTS(\"/tmp\"), \"cm/\"), \"/srv/tftp/cm\", \"/srv/tftp/other\")]",
    "2*3+4",
    "10-4-3",
    "-(1+2)*-3",
    "true && (1 < 2 || !false) ? 'a' : \"b\"",
    "$MID(\"hello\", 1, 3) == \"ell\"",
    "$LEFT(12345, 2) + $RIGHT(\"abc\", 1)",
    "$MATCH(\"cm/a.cfg\", \"cm/[a-c]*.cfg\")",
    "$COND(0, 1, 2) & 7 | 8 ^ ~1",
    "$EVAL(\"1+1\", \"[2*2]\")",
    "$IP.MAP(10.0.0.1) == $IP(\"::ffff:10.0.0.1\")",
    "$MD5(\"x\") != $SHA1(\"x\")",
    "$BASE64.DECODE($BASE64.ENCODE(\"abc\"))",
    "$DECRYPT($ENCRYPT(1, 2, 3))",
    "192.168.0.1:69 == 192.168.0.1:69",
    "01-02-03 + 04",
    "$DEFAULT($UNKNOWN(), 5) / 0",
};

const std::vector<std::string> kPieces = {
    "(", ")", "[", "]", "$", "$$", "+", "-", "*", "/", "<", "<=", ">", ">=", "==", "!=", "!", "~", "&", "&&", "|",
    "||", "^", "?", ":", ",", "=", "\"", "'", " ", "1", "0", "-1", "18446744073709551616", "true", "FALSE", "abc",
    "10.0.0.1", "::1", "[::1]:69", "AB-CD", "IF", "LEFT", "MID", "COND", "EVAL", "LEN", "MATCH", "INT", "IP",
    "NOSUCH", "ENCRYPT", "DECRYPT", "\"x\"", "'y'", "\t",
};

TEST(ExpEvalFuzzTest, RandomAndMutatedTextsEvaluateOrThrow)
{
    osk::CExpEval evaluator;
    evaluator.initBlowfish(osk::CHexStore("01-02-03-04-05-06-07-08"));
    std::mt19937 rng(20240611u);
    size_t evaluated = 0;
    size_t rejected = 0;

    // Random texts assembled from the language's pieces.
    for (int i = 0; i < 4000; ++i) {
        std::string text;
        const size_t count = 1 + rng() % 24;
        for (size_t j = 0; j < count; ++j) text += kPieces[rng() % kPieces.size()];
        evaluateOrThrow(evaluator, text, evaluated, rejected);
    }

    // Mutations of valid expressions: characters dropped, replaced,
    // inserted and ranges doubled.
    const std::string alphabet = "()[]$+-*/<>=!~&|^?:,\"' 0123456789abcXYZ.";
    for (int i = 0; i < 4000; ++i) {
        std::string text = kSeeds[rng() % kSeeds.size()];
        const size_t edits = 1 + rng() % 4;
        for (size_t e = 0; e < edits && !text.empty(); ++e) {
            const size_t at = rng() % text.size();
            switch (rng() % 4) {
            case 0: text.erase(at, 1); break;
            case 1: text[at] = alphabet[rng() % alphabet.size()]; break;
            case 2: text.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
            default: text.insert(at, text.substr(at, rng() % 8)); break;
            }
        }
        evaluateOrThrow(evaluator, text, evaluated, rejected);
    }

    // Pathological shapes.
    for (const std::string& text :
         {std::string(100000, '('), std::string(100000, ')'), std::string(100000, '-') + "1",
          std::string(50000, '$'), "$IF(" + std::string(30000, '(') + "1", std::string(20001, '"'),
          "\"" + std::string(10000, '\'') + "1", std::string(100000, ','), std::string(100000, '?') + "1"})
        evaluateOrThrow(evaluator, text, evaluated, rejected);

    // Both outcomes occur, so the generator exercises parsing and evaluation.
    EXPECT_GT(evaluated, 100u);
    EXPECT_GT(rejected, 1000u);
}

} // namespace
