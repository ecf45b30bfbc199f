// FileReader, FileWriter, InputStream and OutputStream natives (groups 24,
// 22, 23, 21) on real files.

#include <gtest/gtest.h>

#include "FilesTestSupport.h"

namespace {

const TUint32 KTrue = 0xFFFFFFFF;

TEST_F(FilesTest, WritersTruncateOrAppendAndReadersSeekUpToTheSize)
{
    writeFile("t", "old");
    writeFile("a", "old");
    const TUint32 truncating = openWriter("t", 0);
    const TUint32 appending = openWriter("a", 7);
    EXPECT_EQ(call(EOutput, 3, truncating, bytes("new")), 0);
    EXPECT_EQ(call(EOutput, 3, appending, bytes("new")), 0);
    EXPECT_EQ(call(EWriter, 3, appending), 0);
    EXPECT_EQ(result(), 6u);
    EXPECT_EQ(call(EWriter, 4, truncating), 0);
    EXPECT_EQ(result(), 3u);
    EXPECT_EQ(call(EWriter, 2, appending, 7), EInputOutput);
    EXPECT_EQ(call(EWriter, 2, appending, 1), 0);
    EXPECT_EQ(call(EOutput, 4, appending, 1, 1, bytes("xX")), 0);
    EXPECT_EQ(call(EOutput, 1, truncating), 0);
    EXPECT_EQ(call(EOutput, 1, appending), 0);
    EXPECT_EQ(content("t"), "new");
    EXPECT_EQ(content("a"), "oXdnew");

    const TUint32 reader = openReader("a");
    EXPECT_EQ(call(EReader, 4, reader), 0);
    EXPECT_EQ(result(), 6u);
    EXPECT_EQ(call(EReader, 2, reader, 6), 0);
    EXPECT_EQ(call(EReader, 2, reader, 7), EInputOutput);
    EXPECT_EQ(errorText(), "IOException");
    EXPECT_EQ(call(EReader, 2, reader, -1), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Position is less than zero: -1");
    EXPECT_EQ(call(EReader, 2, reader, 2), 0);
    EXPECT_EQ(call(EInput, 3, reader, 3), 0);
    EXPECT_EQ(bytesOf(result()), "dne");
    EXPECT_EQ(call(EReader, 3, reader), 0);
    EXPECT_EQ(result(), 5u);
    EXPECT_EQ(call(EInput, 3, reader, 10), EInputOutput);
    EXPECT_EQ(call(EInput, 3, reader, 0), 0);
    EXPECT_EQ(bytesOf(result()), "");
    EXPECT_EQ(call(EInput, 3, reader, -1), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: The number of bytes should be non-negative");
    EXPECT_NE(call(EInput, 3, reader, 0x7FFFFFFF), 0);
}

TEST_F(FilesTest, OpeningRefusesEmptyMissingAndRefusedNamesAndCreatesDirectories)
{
    EXPECT_EQ(call(EReader, 1, object(), text("missing")), EInputOutput);
    EXPECT_EQ(errorText(), "IOException: Could not open file: missing");
    EXPECT_EQ(call(EReader, 1, object(), text("")), EInvalidArgument);
    EXPECT_EQ(errorText(), "InvalidArgumentException: Filename is empty");
    EXPECT_EQ(call(EWriter, 1, object(), text(""), 0), EInvalidArgument);
    EXPECT_EQ(call(EWriter, 1, object(), text("a/../b"), 0), EInputOutput);
    EXPECT_EQ(errorText(), "IOException");
    EXPECT_EQ(call(EWriter, 1, 0, text("b"), 0), ENullPointer);
    EXPECT_EQ(call(EReader, 1, object(), 0), ENullPointer);

    const TUint32 writer = openWriter("new/dir/f", 1);
    EXPECT_EQ(call(EOutput, 4, writer, 2, -1, bytes("abcdef")), 0);
    EXPECT_EQ(call(EOutput, 4, writer, 0, 0, bytes("")), 0);
    EXPECT_EQ(call(EOutput, 4, writer, 4, 3, bytes("abcdef")), ERange);
    EXPECT_EQ(call(EOutput, 4, writer, -1, 2, bytes("abcdef")), ERange);
    EXPECT_EQ(call(EOutput, 1, writer), 0);
    EXPECT_EQ(content("new/dir/f"), "cdef");
}

// Closing twice does nothing; anything else on a closed stream, or on an
// object that never opened one, is the error the application expects.
TEST_F(FilesTest, ClosedAndUnopenedStreamsAnswerErrorsNeverCrash)
{
    writeFile("f", "abc");
    const TUint32 writer = openWriter("g", 0);
    const TUint32 reader = openReader("f");
    for (TInt i = 0; i < 2; ++i) {
        EXPECT_EQ(call(EOutput, 1, writer), 0);
        EXPECT_EQ(call(EInput, 1, reader), 0);
    }
    const TUint32 unopened = object();
    for (const TUint32 subject : {writer, unopened}) {
        EXPECT_EQ(call(EOutput, 2, subject), 0);
        EXPECT_EQ(result(), 0u);
        EXPECT_EQ(call(EOutput, 4, subject, 0, 1, bytes("x")), EInputOutput);
        EXPECT_EQ(errorText(), "IOException: File is not open");
        EXPECT_EQ(call(EWriter, 4, subject), EInputOutput);
        EXPECT_EQ(errorText(), "IOException: File is not open");
        EXPECT_EQ(call(EWriter, 2, subject, 0), EInputOutput);
    }
    EXPECT_EQ(call(EOutput, 3, writer, bytes("x")), EInputOutput);
    EXPECT_EQ(errorText(), "IOException");
    EXPECT_EQ(call(EOutput, 3, unopened, bytes("x")), EInputOutput);
    EXPECT_EQ(errorText(), "IOException: File is not open");
    for (const TUint32 subject : {reader, unopened}) {
        EXPECT_EQ(call(EInput, 2, subject), 0);
        EXPECT_EQ(result(), 0u);
        EXPECT_EQ(call(EInput, 3, subject, 1), EInputOutput);
        EXPECT_EQ(errorText(), "IOException: File is not open");
        EXPECT_EQ(call(EReader, 3, subject), EInputOutput);
    }
    EXPECT_EQ(call(EInput, 1, unopened), 0);
    EXPECT_EQ(call(EInput, 1, 0), ENullPointer);
    EXPECT_EQ(content("g"), "");
}

TEST_F(FilesTest, HoldersOfTheWrongKindOrForgedRaiseVmErrors)
{
    writeFile("f", "abc");
    const TUint32 reader = openReader("f");
    const TUint32 writer = openWriter("g", 0);
    EXPECT_EQ(call(EInput, 2, reader), 0);
    EXPECT_EQ(result(), KTrue);
    EXPECT_EQ(call(EWriter, 3, reader), EVMError);
    EXPECT_EQ(errorText(), "VMException: Invalid TYPEID");
    EXPECT_EQ(call(EReader, 4, writer), EVMError);
    EXPECT_EQ(call(EOutput, 3, reader, bytes("x")), EVMError);
    EXPECT_EQ(call(EInput, 3, writer, 1), EVMError);

    Arena& arena = machine.arena();
    const TUint32 forged = object();
    for (const TUint32 word : {12345u, text("not a holder"), machine.slotAddress(3)}) {
        arena.setWord(forged, word);
        EXPECT_EQ(call(EInput, 3, forged, 1), EVMError);
        EXPECT_EQ(call(EOutput, 1, forged), EVMError);
    }
    // A holder whose handle names another host object (a string's) or
    // nothing at all.
    const TUint32 holder = arena.word(reader);
    const TUint32 string = arena.word(text("s"));
    arena.setWord(holder + 4, arena.word(string + 4));
    EXPECT_EQ(call(EInput, 3, reader, 1), EVMError);
    arena.setWord(holder + 4, 99999);
    EXPECT_EQ(call(EInput, 3, reader, 1), EInputOutput);
    arena.setWord(holder, FILE_WRITER_TYPE_ID);
    EXPECT_EQ(call(EInput, 2, reader), EVMError);
}

// The collector closes what the application forgot; buffered bytes reach
// the file.
TEST_F(FilesTest, CollectedWritersKeepTheirBytes)
{
    writeFile("a", "old");
    EXPECT_EQ(call(EOutput, 3, openWriter("kept", 0), bytes("buffered")), 0);
    EXPECT_EQ(call(EOutput, 3, openWriter("a", 1), bytes("+new")), 0);
    const TInt live = machine.heap().liveHostObjects();
    machine.setTop(-1);
    machine.garbageCollect();
    EXPECT_LT(machine.heap().liveHostObjects(), live);
    EXPECT_EQ(content("kept"), "buffered");
    EXPECT_EQ(content("a"), "old+new");
}

TEST_F(FilesTest, FilesPastTwoGibibytesAreRefusedNotWrapped)
{
    QFile big(path("big"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    if (!big.resize(TInt64(3) << 30))
        GTEST_SKIP() << "no room for a sparse 3 GiB file";
    big.close();
    const TUint32 reader = openReader("big");
    EXPECT_EQ(call(EReader, 4, reader), EInputOutput);
    EXPECT_EQ(errorText(), "IOException: File is larger than 2 GiB");
    EXPECT_EQ(call(EReader, 2, reader, 0x7FFFFFFF), 0);
    EXPECT_EQ(call(EReader, 3, reader), 0);
    EXPECT_EQ(result(), 0x7FFFFFFFu);
    EXPECT_EQ(call(EInput, 3, reader, 2), 0);
    EXPECT_EQ(call(EReader, 3, reader), EInputOutput);
    EXPECT_EQ(call(EInput, 2, reader), 0);
    EXPECT_EQ(result(), KTrue);
}

}
