#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "CAppsFileReader.h"
#include "CAppsFileWriter.h"
#include "MemoryStreams.h"

namespace {

QByteArray text(const Vec<TUint8>& aBytes)
{
    return QByteArray(reinterpret_cast<const char*>(aBytes.data()), aBytes.count());
}

TEST(ReaderWriterTest, WithoutAStreamEverythingAnswersFalseOrZero)
{
    CAppsFileReader reader;
    TUint8 byte = 7;
    Vec<TUint8> bytes;
    EXPECT_FALSE(reader.readByte(byte));
    EXPECT_FALSE(reader.read(bytes, 1));
    EXPECT_EQ(bytes.count(), 0);
    EXPECT_EQ(reader.size(), 0);
    EXPECT_FALSE(reader.seek(0));
    EXPECT_FALSE(reader.isAtEnd());

    CAppsFileWriter writer(nullptr);
    bytes.append(1);
    EXPECT_FALSE(writer.writeByte(1));
    EXPECT_FALSE(writer.write(bytes, 0, 1));
    EXPECT_FALSE(writer.writeText(CAppsString("x")));
    EXPECT_EQ(writer.position(), 0);
}

TEST(ReaderWriterTest, ReadIntoVectorAppendsOrLeavesTheVectorAsItWas)
{
    const TUint8 source[] = {1, 2, 3};
    CAppsFileReader reader(source, 3);
    Vec<TUint8> bytes;
    bytes.append(9);
    EXPECT_TRUE(reader.read(bytes, 0));
    EXPECT_FALSE(reader.read(bytes, -1));
    EXPECT_TRUE(reader.read(bytes, 2));
    EXPECT_FALSE(reader.read(bytes, 2));
    EXPECT_EQ(text(bytes), QByteArray("\x09\x01\x02", 3));
}

TEST(ReaderWriterTest, RangeWritesStayInsideTheVector)
{
    VESTRA::MemoryOutputStream* out = new VESTRA::MemoryOutputStream;
    CAppsFileWriter writer(out);
    Vec<TUint8> bytes;
    for (TUint8 byte : {'a', 'b', 'c', 'd'})
        bytes.append(byte);
    EXPECT_TRUE(writer.write(bytes, -1, 0));
    EXPECT_FALSE(writer.write(bytes, -1, 2));
    EXPECT_FALSE(writer.write(bytes, 3, 2));
    EXPECT_FALSE(writer.write(bytes, 5, -1));
    EXPECT_EQ(out->size(), 0);
    EXPECT_TRUE(writer.write(bytes, 1, 2));
    EXPECT_TRUE(writer.write(bytes, 2, -1));
    EXPECT_TRUE(writer.write(bytes, 4, -1));

    const TUint16 units[] = {'A', 0x1FF, 0x20AC};
    EXPECT_TRUE(writer.writeLine(CAppsString(units, 3)));
    EXPECT_EQ(text(out->buffer()), QByteArray("bccdA\xFF\xAC\n"));
}

TEST(ReaderWriterTest, AppendKeepsTheOldBytesAndTruncateDropsThem)
{
    QTemporaryDir dir;
    const CAppsString name(dir.filePath("f.txt"));
    for (const char* part : {"one", "two"}) {
        CAppsFileWriter writer(name, CAppsFileWriter::EWriteAppend);
        EXPECT_TRUE(writer.writeText(CAppsString(part)));
    }
    CAppsFileReader reader(name);
    Vec<TUint8> bytes;
    EXPECT_TRUE(reader.read(bytes, reader.size()));
    EXPECT_EQ(text(bytes), QByteArray("onetwo"));

    CAppsFileWriter truncating(name, CAppsFileWriter::EWriteTruncate);
    EXPECT_EQ(QFile(dir.filePath("f.txt")).size(), 0);
    EXPECT_FALSE(CAppsFileReader(CAppsString(dir.filePath("missing"))).isOpen());
}

}
