#include "StringSearch.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Units = std::vector<TUint16>;

// Where each form finds aSub in aText, as an offset (-1 for none). Both
// run on buffers of exactly the text's and the key's length, so that a
// read past either end shows under the address sanitizer.
int vectorAnswer(const Units& aText, const Units& aSub)
{
    const TUint16* found = StringSearch::findExact(aText.data(), static_cast<TInt>(aText.size()), aSub.data(),
                                                   static_cast<TInt>(aSub.size()));
    return found ? static_cast<int>(found - aText.data()) : -1;
}

int plainAnswer(const Units& aText, const Units& aSub)
{
    const TUint16* found = StringSearch::findExactPlain(aText.data(), static_cast<TInt>(aText.size()), aSub.data(),
                                                        static_cast<TInt>(aSub.size()));
    return found ? static_cast<int>(found - aText.data()) : -1;
}

std::string shown(const Units& aUnits)
{
    std::string text;
    for (TUint16 unit : aUnits) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%04x ", unit);
        text += hex;
    }
    return text;
}

}

// The vector form must give the plain form's answer on every input. The
// alphabets are small, so that partial matches of the first, second and
// last unit fall everywhere, across the rounds' boundaries and at the very
// end of the text; some units differ only in their high or low byte, and
// the extremes 0 and 0xFFFF, which a byte-wise mask or a signed compare
// would confuse. Keys run from one unit (first, second and last unit the
// same) to longer than two rounds, and half of them are cut from the text,
// often from its end, so that long keys match too.
TEST(StringSearch, VectorFormAgreesWithThePlainForm)
{
    const Units alphabets[] = {
        {'a', 'b'},
        {'0', '1', '2', ','},
        {0x0061, 0x6100, 0x0161, 0x6161},
        {0x0000, 0xFFFF, 0x00FF, 0xFF00, 0x8000, 0x7FFF},
        {0xD800, 0xDC00, 'x'},
    };
    std::mt19937 random(2024);
    int found = 0;
    for (int round = 0; round < 30000; ++round) {
        const Units& alphabet = alphabets[round % std::size(alphabets)];
        Units text(random() % (round % 10 == 0 ? 600 : 80));
        for (TUint16& unit : text)
            unit = alphabet[random() % alphabet.size()];
        Units sub(1 + random() % 40);
        for (TUint16& unit : sub)
            unit = alphabet[random() % alphabet.size()];
        if (round % 2 == 0 && !text.empty()) {
            const std::size_t length = 1 + random() % std::min<std::size_t>(40, text.size());
            const std::size_t from = round % 4 == 0 ? text.size() - length : random() % (text.size() - length + 1);
            sub.assign(text.begin() + from, text.begin() + from + length);
        }
        const int expected = plainAnswer(text, sub);
        ASSERT_EQ(vectorAnswer(text, sub), expected) << "text " << shown(text) << "\nkey " << shown(sub);
        found += expected >= 0;
    }
    EXPECT_GT(found, 10000) << "too few keys were found to test the candidates' checks";
}

// The only occurrence at each place of a long text, so that every lane of
// every round, and the plain tail after the rounds, finds it once.
TEST(StringSearch, FindsALoneOccurrenceAtEveryPlace)
{
    for (const int keyLength : {1, 2, 3, 8, 9, 17}) {
        const Units sub(keyLength, 'k');
        for (int at = 0; at + keyLength <= 70; ++at) {
            Units text(70, 'k' + 1);
            std::fill(text.begin() + at, text.begin() + at + keyLength, 'k');
            EXPECT_EQ(vectorAnswer(text, sub), at) << "key of " << keyLength << " at " << at;
            EXPECT_EQ(plainAnswer(text, sub), at);
        }
    }
}

// Keys as long as the text, or longer, and text too short for one round.
TEST(StringSearch, KeysThatBarelyFitOrDoNot)
{
    const Units text{'a', 'b', 'c'};
    EXPECT_EQ(vectorAnswer(text, {'a', 'b', 'c'}), 0);
    EXPECT_EQ(vectorAnswer(text, {'a', 'b', 'c', 'd'}), -1);
    EXPECT_EQ(vectorAnswer({}, {'a'}), -1);
    EXPECT_EQ(vectorAnswer(text, {'c'}), 2);
    EXPECT_EQ(vectorAnswer(text, {'b', 'd'}), -1);
}

#if defined(__x86_64__)
// The wide form is taken exactly where the compiler's own check finds
// AVX2 usable: never where it would fault, never left out where it runs.
TEST(StringSearch, TakesTheWideFormExactlyWhereAVX2IsUsable)
{
    EXPECT_EQ(StringSearch::hasWideCompares(), __builtin_cpu_supports("avx2") != 0);
}
#endif
