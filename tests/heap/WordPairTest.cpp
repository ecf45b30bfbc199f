// Two words stored in one go must leave the bytes that the block stores
// leave, one word after the other with the second read back after the
// first is written, wherever the two meet.

#include <gtest/gtest.h>

#include <array>

#include "Arena.h"

namespace {

// Bytes 1, 2, 3 and on: no two words alike.
std::array<TUint8, 64> numberedBytes()
{
    std::array<TUint8, 64> bytes {};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<TUint8>(i + 1);
    return bytes;
}

TEST(WordPair, AStoreOfTwoWordsWritesAsOneWordAfterTheOther)
{
    const TUint32 KSecondAt = 28;
    const TUint32 KFirst = 0xA1A2A3A4u;
    for (TUint32 offset = 16; offset <= 40; ++offset) {
        std::array<TUint8, 64> expected = numberedBytes();
        const TUint32 second = Arena::wordAt(expected.data(), KSecondAt);
        Arena::setWordAt(expected.data(), offset, KFirst);
        Arena::setWordAt(expected.data(), offset + 4, Arena::wordAt(expected.data(), KSecondAt));

        std::array<TUint8, 64> stored = numberedBytes();
        Arena::setWordPairAt(stored.data(), offset, KFirst, second, KSecondAt);
        EXPECT_EQ(stored, expected) << "at " << offset;
    }
}

}
