#include <gtest/gtest.h>

#include <QByteArray>

#include "MemoryStreams.h"

using VESTRA::MemoryInputStream;
using VESTRA::MemoryOutputStream;

namespace {

class CountingInput : public MemoryInputStream {
public:
    void onError() override { ++iErrors; }
    TInt iErrors = 0;
};

QByteArray text(const Vec<TUint8>& aBytes)
{
    return QByteArray(reinterpret_cast<const char*>(aBytes.data()), aBytes.count());
}

TEST(MemoryInputStreamTest, KeepsItsOwnCopyAndRewindsOnEachBuffer)
{
    MemoryInputStream in;
    TUint8 source[] = {1, 2, 3};
    in.setBuffer(source, 3);
    source[0] = 9;
    EXPECT_EQ(in.readByte(), 1);

    Vec<TUint8> other;
    other.append(7);
    in.setBuffer(other);
    EXPECT_EQ(in.size(), 1);
    EXPECT_EQ(in.readByte(), 7);
}

TEST(MemoryInputStreamTest, ReadingPastTheEndFailsAndMovesToTheEnd)
{
    CountingInput in;
    const TUint8 source[] = {1, 2, 3, 4};
    in.setBuffer(source, 4);
    TUint8 buffer[8] = {};
    EXPECT_TRUE(in.read(buffer, 0));
    EXPECT_TRUE(in.read(buffer, 2));
    EXPECT_EQ(buffer[1], 2);
    EXPECT_FALSE(in.read(buffer, 3));
    EXPECT_EQ(in.position(), 4);
    EXPECT_TRUE(in.isAtEnd());
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_EQ(in.readByte(), -1);
    EXPECT_FALSE(in.read(buffer, -1));
    EXPECT_EQ(in.iErrors, 4);
}

TEST(MemoryInputStreamTest, SeekAnswersWhetherAByteIsThere)
{
    MemoryInputStream in;
    const TUint8 source[] = {1, 2, 3};
    in.setBuffer(source, 3);
    EXPECT_TRUE(in.seek(2));
    EXPECT_EQ(in.readByte(), 3);
    EXPECT_FALSE(in.seek(3));
    EXPECT_TRUE(in.isAtEnd());

    // A negative position lies beyond the end; a block read from there
    // must not wrap around into the buffer.
    EXPECT_FALSE(in.seek(-1));
    TUint8 buffer[2];
    EXPECT_FALSE(in.read(buffer, 2));
    EXPECT_EQ(in.position(), 3);
}

TEST(MemoryOutputStreamTest, AppendsAtTheEndOverwritesInsideRefusesBeyond)
{
    MemoryOutputStream out;
    EXPECT_TRUE(out.write(reinterpret_cast<const TUint8*>("abc"), 3));
    EXPECT_TRUE(out.seek(1));
    EXPECT_TRUE(out.writeByte('X'));
    EXPECT_TRUE(out.seek(3));
    EXPECT_TRUE(out.writeByte('d'));
    EXPECT_FALSE(out.seek(5));
    EXPECT_FALSE(out.writeByte('e'));
    EXPECT_FALSE(out.write(reinterpret_cast<const TUint8*>("ef"), 2));
    EXPECT_EQ(text(out.buffer()), QByteArray("aXcd"));
}

TEST(MemoryOutputStreamTest, NegativePositionReadsAsZeroAndRefusesWrites)
{
    MemoryOutputStream out;
    EXPECT_TRUE(out.writeByte('a'));
    EXPECT_FALSE(out.seek(-2));
    EXPECT_EQ(out.position(), 0);
    EXPECT_FALSE(out.writeByte('b'));
    EXPECT_EQ(text(out.buffer()), QByteArray("a"));
}

}
