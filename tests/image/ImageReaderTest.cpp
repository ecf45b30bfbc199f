#include <gtest/gtest.h>

#include "ImageReader.h"
#include "ImageTestSupport.h"

using namespace ImageFormat;
using namespace ImageTestSupport;

namespace {

struct ReadResult {
    TBool identity = EFalse;
    TBool body = EFalse;
    TInt raised = ENoError;
    Image image;
};

ReadResult readAll(const Bytes& aBytes)
{
    VESTRA::MemoryInputStream stream;
    setStream(stream, aBytes);
    ImageReader reader(stream);
    ReadResult result;
    result.identity = reader.readIdentity(result.image);
    if (result.identity)
        result.raised = raisedCode([&] { result.body = reader.readBody(result.image); });
    return result;
}

// Every table holds something and the widths differ, so that a field read
// with the wrong width or in the wrong order shows.
Image fullImage()
{
    Image image;
    image.identity[0] = 9;
    const TUint8 widths[EWidthCount] = {2, 4, 1, 2, 1, 4, 2, 1, 2};
    std::copy(widths, widths + EWidthCount, image.widths);
    image.staticMethods = {{text("main"), 0xFFFF, 0x10000}};
    image.virtualMethods = {{text("draw"), {{0, 5, 1}, {3, 0x1234, 0}}}};
    ClassRecord derived;
    derived.slotWidth = 2;
    derived.referenceFields = {1, 0x100};
    derived.vectorFields = {{KFlagReferences, 2}, {0, 3}};
    derived.superFlag = 0x101;
    derived.superClass = 1;
    derived.interfaces = {4, 5};
    image.classes = {derived, ClassRecord()};
    MethodRecord record;
    record.slotWidth = 4;
    record.sizeCount1 = 0x12345678;
    record.possibleReferenceSlots = {1};
    record.indirectVectorSlots = {{KFlagReferences, 0x10000}};
    record.sizeCount2 = 0x1FF;
    record.sizeCount3 = 3;
    record.referenceSlots = {4};
    record.vectorSlots = {{0, 5}};
    image.methodRecords = {record, MethodRecord()};
    image.strings = {text("hello"), Bytes()};
    image.code = {0, 20, 1, 2, 3, 4};
    return image;
}

}

TEST(ImageReader, IdentityMustBeTwentyBytes)
{
    Bytes bytes = bytesOf(Image());
    bytes[0] = 19;
    VESTRA::MemoryInputStream stream;
    setStream(stream, bytes);
    Image image;
    EXPECT_FALSE(ImageReader(stream).readIdentity(image));
    EXPECT_EQ(stream.position(), 1);

    bytes[0] = KIdentityLength;
    bytes.resize(KIdentityLength);
    EXPECT_FALSE(readAll(bytes).identity);
    EXPECT_FALSE(readAll(Bytes()).identity);
}

TEST(ImageReader, WrittenImageReadsBackUnchanged)
{
    const Bytes bytes = bytesOf(fullImage());
    const ReadResult result = readAll(bytes);
    ASSERT_TRUE(result.body);
    EXPECT_EQ(bytesOf(result.image), bytes);
    EXPECT_EQ(result.image.identity[0], 9);
    // Narrow values are unsigned: two bytes of 0xFF are 65535, not -1.
    EXPECT_EQ(result.image.staticMethods[0].codeAddress, 0xFFFFu);
    EXPECT_EQ(result.image.code, fullImage().code);
}

TEST(ImageReader, BadMagicWidthOrFlagIsRefused)
{
    std::vector<Bytes> broken;
    auto patched = [&](std::size_t aAt, TUint8 aValue) {
        broken.push_back(bytesOf(Image()));
        broken.back()[aAt] = aValue;
    };
    patched(KMagicOffset, 0xFE);
    patched(KMagicOffset + 1, 0xFE);
    for (TInt i = 0; i < EWidthCount; ++i) {
        patched(KWidthsOffset + i, 0);
        patched(KWidthsOffset + i, 3);
    }
    ClassRecord classes[2];
    classes[0].slotWidth = 3;
    classes[1].vectorFields = {{0x80, 1}};
    MethodRecord records[3];
    records[0].slotWidth = 3;
    records[1].indirectVectorSlots = {{0, 1}, {1, 2}};
    records[2].vectorSlots = {{0xFE, 1}};
    Image image;
    for (const ClassRecord& record : classes) {
        image.classes = {record};
        broken.push_back(bytesOf(image));
    }
    image.classes.clear();
    for (const MethodRecord& record : records) {
        image.methodRecords = {record};
        broken.push_back(bytesOf(image));
    }

    for (std::size_t i = 0; i < broken.size(); ++i) {
        const ReadResult result = readAll(broken[i]);
        EXPECT_FALSE(result.body) << i;
        EXPECT_EQ(result.raised, ENoError) << i;
    }
}

TEST(ImageReader, EveryCutBeforeTheCodeIsAShortRead)
{
    const Image image = fullImage();
    const Bytes bytes = bytesOf(image);
    const std::size_t codeStart = bytes.size() - image.code.size();
    for (std::size_t length = 1 + KIdentityLength; length < codeStart; ++length)
        EXPECT_EQ(readAll(Bytes(bytes.begin(), bytes.begin() + length)).raised, EVMError) << length;

    const ReadResult shorter = readAll(Bytes(bytes.begin(), bytes.end() - 2));
    EXPECT_TRUE(shorter.body);
    EXPECT_EQ(shorter.image.code.size(), image.code.size() - 2);
}

// Offsets follow from all widths 1 (except where set) and empty tables:
// the five table counts sit at 32, 36, 40, 44 and 48.
TEST(ImageReader, CountsAreCheckedAgainstTheRestOfTheStream)
{
    Image oneStatic;
    oneStatic.staticMethods.resize(1);
    Image oneVirtual;
    oneVirtual.widths[EImplementationCountWidth] = 4;
    oneVirtual.virtualMethods.resize(1);
    Image oneClass;
    oneClass.widths[EInterfaceCountWidth] = 4;
    oneClass.classes.resize(1);
    Image oneRecord;
    oneRecord.methodRecords.resize(1);

    struct Case {
        const char* what;
        Image image;
        std::size_t offset;
        TUint32 value;
    };
    const Case cases[] = {
        {"static methods", Image(), 32, 0x7FFFFFFF},
        {"negative count", Image(), 32, 0xFFFFFFFF},
        {"virtual methods", Image(), 36, 0x10000000},
        {"classes", Image(), 40, 0x7FFFFFFF},
        {"method records", Image(), 44, 0x7FFFFFFF},
        {"strings", Image(), 48, 0x40000000},
        {"name length", oneStatic, 36, 0x7FFFFFFF},
        {"implementations", oneVirtual, 44, 0xFFFFFFFF},
        {"reference fields", oneClass, 45, 0x7FFFFFFF},
        {"vector fields", oneClass, 49, 0xFFFFFFFF},
        {"interfaces", oneClass, 54, 0xFFFFFFFF},
        {"record slots", oneRecord, 50, 0x7FFFFFFF},
    };
    for (const Case& c : cases) {
        Bytes bytes = bytesOf(c.image);
        putWord(bytes, c.offset, c.value);
        EXPECT_EQ(readAll(bytes).raised, EVMError) << c.what;
    }

    // Eight zero bytes can be two empty strings, but not three.
    Image eight;
    eight.code.assign(8, 0);
    Bytes bytes = bytesOf(eight);
    putWord(bytes, 48, 2);
    const ReadResult two = readAll(bytes);
    EXPECT_TRUE(two.body);
    EXPECT_EQ(two.image.strings.size(), 2u);
    putWord(bytes, 48, 3);
    EXPECT_EQ(readAll(bytes).raised, EVMError);
}
