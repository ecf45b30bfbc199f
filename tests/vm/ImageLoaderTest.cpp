#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "RecordingServices.h"
#include "VirtualMachine.h"

using namespace ImageFormat;
using namespace ImageTestSupport;

namespace {

const char KImageName[] = "index.mcb";

template <typename T>
std::vector<T> asVector(const Vec<T>& aVec)
{
    return std::vector<T>(aVec.begin(), aVec.end());
}

// Reads an image that must load; answers its index.
TInt install(VirtualMachine& aMachine, const Image& aImage, const char* aName = KImageName)
{
    VESTRA::MemoryInputStream stream;
    setStream(stream, bytesOf(aImage));
    TInt index = -1;
    EXPECT_TRUE(aMachine.readImage(CAppsString(aName), stream, index));
    return index;
}

TInt installRaised(const Image& aImage)
{
    VirtualMachine machine;
    return raisedCode([&] { install(machine, aImage); });
}

Image withIdentity(TUint8 aFirstByte)
{
    Image image;
    image.identity[0] = aFirstByte;
    return image;
}

// Operand bytes of the operations whose operands are copied, as the format
// lists them; every operation not listed has none.
TInt copiedOperandBytes(TInt aOperation)
{
    static const std::vector<std::pair<TInt, std::vector<TInt>>> KSizes = {
        {1, {1, 3, 5, 8, 79, 81, 83, 85, 105, 106, 118, 128, 129, 130, 184}},
        {2, {10, 12, 78, 97, 131, 132, 133}},
        {4, {2, 4, 6, 9, 11, 13, 20, 80, 82, 84, 86, 185}},
        {5, {17}},
        {6, {146, 147}},
        {8, {16, 65}},
    };
    for (const auto& size : KSizes) {
        if (std::find(size.second.begin(), size.second.end(), aOperation) != size.second.end())
            return size.first;
    }
    return 0;
}

}

TEST(ImageLoaderMethods, StaticAndVirtualNamesBecomeExportedMethods)
{
    Image image;
    image.widths[ECodeAddressWidth] = 2;
    image.staticMethods = {{text("run"), 0xFFFF, 0xFF}, {text("caf\xC3\xA9"), 3, 0}};
    image.virtualMethods = {
        {text("run"), {{0, 2, 0}}},
        {text("Run"), {{2, 4, 1}, {0, 6, 2}}},
    };
    VirtualMachine machine;
    EXPECT_EQ(install(machine, image), 0);

    const Vec<ExportedMethod>& methods = machine.exportedMethods();
    ASSERT_EQ(methods.count(), 3);
    const TUint16 cafe[] = {'c', 'a', 'f', 0xE9};
    EXPECT_EQ(methods[1].name, CAppsString(cafe, 4));

    // The virtual "run" joins the static one, which stays static.
    const ExportedMethod& run = methods[0];
    EXPECT_FALSE(run.isVirtual);
    ASSERT_EQ(run.implementations.count(), 2);
    EXPECT_EQ(run.implementations[0].classIndex, -1);
    EXPECT_EQ(run.implementations[0].codeAddress, 65535);
    EXPECT_EQ(run.implementations[0].methodRecordIndex, 255);
    EXPECT_EQ(run.implementations[1].classIndex, 1);
    EXPECT_EQ(run.implementations[1].codeAddress, 2);

    // Names are compared exactly, case included.
    const ExportedMethod& upper = methods[2];
    EXPECT_EQ(upper.name, CAppsString("Run"));
    EXPECT_TRUE(upper.isVirtual);
    ASSERT_EQ(upper.implementations.count(), 2);
    EXPECT_EQ(upper.implementations[0].classIndex, 3);
    EXPECT_EQ(upper.implementations[1].methodRecordIndex, 2);
    EXPECT_EQ(machine.highestClassIndex(), 3);
}

// A virtual name joins the first method of that name, whether a static
// one, a virtual one met earlier in the image, or one of an earlier image;
// the empty name is a name like the others.
TEST(ImageLoaderMethods, ANameGivenAgainJoinsItsFirstMethod)
{
    Image first = withIdentity(1);
    first.staticMethods = {{text("a"), 0, 0}, {text("a"), 0, 0}};
    first.virtualMethods = {
        {text("a"), {{0, 0, 0}}}, {text("b"), {{1, 0, 0}}}, {text(""), {{2, 0, 0}}},
        {text("b"), {{3, 0, 0}, {4, 0, 0}}}, {text(""), {{5, 0, 0}}},
    };
    VirtualMachine machine;
    install(machine, first);
    Image second = withIdentity(2);
    second.virtualMethods = {{text("b"), {{0, 0, 0}}}, {text("c"), {{1, 0, 0}}}, {text("a"), {{2, 0, 0}}}};
    install(machine, second, "second.mcb");

    const Vec<ExportedMethod>& methods = machine.exportedMethods();
    std::vector<std::pair<std::string, TInt>> found;
    for (const ExportedMethod& method : methods)
        found.push_back({std::string(method.name.narrow().data()), method.implementations.count()});
    const std::vector<std::pair<std::string, TInt>> expected = {{"a", 3}, {"a", 1}, {"b", 4}, {"", 2}, {"c", 1}};
    EXPECT_EQ(found, expected);
}

// A virtual call finds the first implementation of the receiver's class,
// in the order the images gave them, whether the method's implementations
// are few, many and close together, many and far apart, or spread over
// several images. Checked against that order for every class near the
// ones given, and for some far from them.
TEST(ImageLoaderMethods, AVirtualCallFindsTheFirstImplementationOfItsClass)
{
    std::mt19937 random(7);
    auto below = [&](TUint32 aBound) { return static_cast<TUint32>(random() % aBound); };
    for (TInt trial = 0; trial < 300; ++trial) {
        VirtualMachine machine;
        const TInt images = 1 + static_cast<TInt>(below(3));
        for (TInt n = 0; n < images; ++n) {
            Image image = withIdentity(static_cast<TUint8>(n + 1));
            image.widths[EClassIndexWidth] = 4;
            const TUint32 spread = std::vector<TUint32>{4, 40, 400, 0xFFFFFFFF}[below(4)];
            for (const char* name : {"a", "b", "a"}) {
                VirtualMethod method {text(name), {}};
                const TUint32 count = below(40);
                for (TUint32 i = 0; i < count; ++i)
                    method.implementations.push_back({below(spread), i, 0});
                image.virtualMethods.push_back(method);
            }
            install(machine, image, n == 0 ? KImageName : n == 1 ? "second.mcb" : "third.mcb");
        }
        for (TInt m = 0; m < machine.exportedMethods().count(); ++m) {
            const Vec<MethodEntry>& implementations = machine.exportedMethods()[m].implementations;
            std::vector<TInt32> classes = {0, -1, std::numeric_limits<TInt32>::min(), std::numeric_limits<TInt32>::max()};
            for (const MethodEntry& entry : implementations) {
                for (TInt32 near = -2; near <= 2; ++near)
                    classes.push_back(static_cast<TInt32>(static_cast<TUint32>(entry.classIndex) + static_cast<TUint32>(near)));
            }
            for (TInt32 classIndex : classes) {
                const MethodEntry* first = nullptr;
                for (const MethodEntry& entry : implementations) {
                    if (entry.classIndex == classIndex) {
                        first = &entry;
                        break;
                    }
                }
                ASSERT_EQ(machine.findImplementation(m, classIndex), first)
                    << "trial " << trial << ", method " << m << ", class " << classIndex;
            }
        }
    }
}

TEST(ImageLoaderClasses, ClassesStartAfterEveryClassIndexSeen)
{
    Image first = withIdentity(1);
    ClassRecord base;
    base.referenceFields = {1, 2};
    base.vectorFields = {{KFlagReferences, 3}, {0, 4}};
    ClassRecord derived;
    derived.superFlag = 1;
    derived.superClass = 0;
    derived.interfaces = {0, 1};
    first.classes = {base, derived};
    first.virtualMethods = {{text("m"), {{5, 0, 0}}}};
    VirtualMachine machine;
    install(machine, first);

    const ClassTables& classes = machine.classTables();
    ASSERT_EQ(classes.superClasses.count(), 3);
    EXPECT_EQ(classes.vectorFieldFlags.count(), 3);
    EXPECT_EQ(classes.superClasses[0], KUnfilledClass);
    EXPECT_EQ(asVector(classes.referenceFields[1]), std::vector<TInt32>({1, 2}));
    EXPECT_EQ(asVector(classes.vectorFields[1]), std::vector<TInt32>({3, 4}));
    EXPECT_EQ(asVector(classes.vectorFieldFlags[1]), std::vector<TInt8>({-1, 0}));
    EXPECT_EQ(classes.superClasses[1], KNoSuperClass);
    EXPECT_EQ(classes.superClasses[2], 1);

    // Class 6 was named by a virtual method: the next image starts at 7.
    Image second = withIdentity(2);
    second.classes = {derived};
    install(machine, second);
    ASSERT_EQ(classes.superClasses.count(), 8);
    for (TInt i = 3; i <= 6; ++i)
        EXPECT_EQ(classes.superClasses[i], KUnfilledClass) << i;
    EXPECT_EQ(classes.superClasses[7], 7);

    // Filled classes count as seen too, so a third image leaves 7 alone.
    Image third = withIdentity(3);
    third.classes.resize(1);
    install(machine, third);
    EXPECT_EQ(classes.superClasses.count(), 9);
    EXPECT_EQ(classes.superClasses[7], 7);
}

TEST(ImageLoaderRecords, RecordsAndConstantsFollowEarlierImages)
{
    Image first = withIdentity(1);
    first.methodRecords.resize(2);
    first.strings = {text("a")};
    Image second = withIdentity(2);
    MethodRecord record;
    record.sizeCount1 = 2;
    record.possibleReferenceSlots = {1, 7};
    record.indirectVectorSlots = {{KFlagReferences, 3}};
    record.sizeCount2 = 1;
    record.sizeCount3 = 4;
    record.referenceSlots = {5};
    record.vectorSlots = {{0, 6}, {KFlagReferences, 8}};
    second.methodRecords = {record};
    second.widths[EMethodIndexWidth] = 4;
    second.staticMethods = {{text("s"), 0, 0}, {text("none"), 0, 0xFFFFFFFF}};
    second.strings = {text("x\xE2\x82\xAC"), Bytes()};
    VirtualMachine machine;
    install(machine, first);
    install(machine, second);

    ASSERT_EQ(machine.methodRecords().count(), 3);
    const MethodGCInfo& info = machine.methodRecords()[2];
    EXPECT_EQ(info.sizeCount1, 2);
    EXPECT_EQ(asVector(info.possibleReferenceSlots), std::vector<TInt32>({1, 7}));
    EXPECT_EQ(asVector(info.indirectVectorSlots), std::vector<TInt32>({3}));
    EXPECT_EQ(asVector(info.indirectVectorFlags), std::vector<TInt8>({-1}));
    EXPECT_EQ(info.sizeCount2, 1);
    EXPECT_EQ(info.sizeCount3, 4);
    EXPECT_EQ(asVector(info.referenceSlots), std::vector<TInt32>({5}));
    EXPECT_EQ(asVector(info.vectorSlots), std::vector<TInt32>({6, 8}));
    EXPECT_EQ(asVector(info.vectorFlags), std::vector<TInt8>({0, -1}));
    EXPECT_EQ(machine.exportedMethods()[0].implementations[0].methodRecordIndex, 2);
    EXPECT_EQ(machine.exportedMethods()[1].implementations[0].methodRecordIndex, -1);

    ASSERT_EQ(machine.stringConstants().count(), 3);
    const OString& euro = machine.stringConstants()[1];
    ASSERT_EQ(euro.length(), 2);
    EXPECT_EQ(euro.charAt(1), 0x20AC);
    EXPECT_TRUE(machine.stringConstants()[2].isEmpty());
}

TEST(ImageLoaderImages, ImagesAreKnownByNameAndIdentity)
{
    Image image = withIdentity(7);
    image.staticMethods = {{text("main"), 0, 0}};
    image.code = {0, 0, 0};
    VirtualMachine machine;
    install(machine, image);

    VESTRA::MemoryInputStream again;
    setStream(again, bytesOf(image));
    TInt index = -1;
    EXPECT_TRUE(machine.readImage(CAppsString(KImageName), again, index));
    EXPECT_EQ(index, 0);
    EXPECT_EQ(again.position(), 1 + KIdentityLength);
    EXPECT_EQ(machine.exportedMethods().count(), 1);

    Image other = withIdentity(8);
    other.code = {20, 1, 0, 0, 0};
    EXPECT_EQ(install(machine, image, "other.mcb"), 1);
    EXPECT_EQ(install(machine, other), 2);
    ASSERT_EQ(machine.images().count(), 3);
    const BytecodeStruct& last = machine.images()[2];
    EXPECT_EQ(last.name, CAppsString(KImageName));
    EXPECT_EQ(last.identity[0], 8);
    EXPECT_EQ(last.codeBase, 6);
    EXPECT_EQ(last.codeLength, 5);
    EXPECT_EQ(machine.code().count(), 11);

    // An image whose body is refused keeps its entry.
    Bytes broken = bytesOf(withIdentity(9));
    broken[KMagicOffset] = 0;
    VESTRA::MemoryInputStream brokenStream;
    setStream(brokenStream, broken);
    EXPECT_FALSE(machine.readImage(CAppsString(KImageName), brokenStream, index));
    EXPECT_EQ(machine.images().count(), 4);
}

// One instance of every operation number, after an image that makes every
// base non-zero: only operands that name code addresses, method records,
// virtual names, strings and classes may change.
TEST(ImageLoaderCode, EveryOperationKeepsItsLayout)
{
    Image first = withIdentity(1);
    first.staticMethods = {{text("first"), 0, 0}};
    first.virtualMethods = {{text("v"), {{3, 0, 0}}}};
    first.methodRecords.resize(1);
    first.strings = {text("s")};
    first.code.assign(10, 0);

    Image second = withIdentity(2);
    second.virtualMethods = {{text("w"), {}}, {text("v"), {}}};
    Bytes& code = second.code;
    Bytes expected;
    auto operation = [&](TInt aOperation) {
        code.push_back(static_cast<TUint8>(aOperation));
        expected.push_back(static_cast<TUint8>(aOperation));
    };
    auto word = [&](TUint32 aWord, TUint32 aExpected) {
        appendWord(code, aWord);
        appendWord(expected, aExpected);
    };
    for (TInt op = 0; op < 256; ++op) {
        operation(op);
        switch (op) {
        case 14: word(3, 13); word(0, 1); break;
        case 15: word(0, 2); break;
        case 21: word(0, 1); break;
        case 22: word(2, 7); break;
        case 117: word(0, 5); word(5, 5); break;
        default:
            for (TInt b = 0; b < copiedOperandBytes(op); ++b) {
                code.push_back(b == 0);
                expected.push_back(b == 0);
            }
        }
    }
    // Negative method records and catch classes mean "none" and stay so.
    operation(14);
    word(0, 10);
    word(0xFFFFFFFF, 0xFFFFFFFF);
    operation(117);
    word(0xFFFFFFFF, 0xFFFFFFFF);
    word(0x100, 0x100);
    operation(15);
    word(1, 1);

    VirtualMachine machine;
    install(machine, first);
    install(machine, second);
    const std::vector<TUint8> loaded = asVector(machine.code());
    ASSERT_EQ(loaded.size(), 10 + expected.size());
    EXPECT_EQ(Bytes(loaded.begin() + 10, loaded.end()), expected);
    EXPECT_EQ(machine.highestClassIndex(), 7);
}

TEST(ImageLoaderCode, BrokenOperandsFailTheRead)
{
    for (const Bytes& cut : {Bytes{20, 1, 2, 3}, Bytes{0, 10, 1}, Bytes{14, 0, 0, 0, 0, 0, 0, 0}, Bytes{1}}) {
        Image image;
        image.code = cut;
        EXPECT_EQ(installRaised(image), EVMError) << int(cut[0]);
    }
    // A virtual method past the end is the image check's case; a negative
    // one must not pass for an index either.
    Image image;
    image.virtualMethods = {{text("v"), {}}};
    image.code = {15, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(installRaised(image), EInvalidArgument);
}

// The error code of each kind of refusal is checked by the image check's
// tests; here the machine must also know that it has stopped.
TEST(VirtualMachineLoad, EveryReadFailureBecomesTheFatalError)
{
    Bytes badWidth = bytesOf(Image());
    badWidth[KWidthsOffset + EClassIndexWidth] = 3;
    Bytes shortRead = bytesOf(Image());
    shortRead.resize(40);

    RecordingServices services;
    for (const Bytes& bytes : {badWidth, shortRead, Bytes()}) {
        VESTRA::MemoryInputStream stream;
        setStream(stream, bytes);
        VirtualMachine machine;
        EXPECT_FALSE(machine.isFatal());
        EXPECT_EQ(raisedCode([&] { machine.load(stream, CAppsString(KImageName), &services); }), EFatalError);
        EXPECT_TRUE(machine.isFatal());
    }
}
