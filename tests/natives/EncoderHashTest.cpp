#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "NativeTestSupport.h"
#include "OVector.h"

namespace {

const TInt KEncoder = 28;
const TInt KHash = 34;

class EncoderHash : public NativeTest {
protected:
    TUint32 byteVector(std::initializer_list<TUint8> aBytes)
    {
        const TUint32 cell = machine.newVectorValue(1, static_cast<TInt>(aBytes.size()), EFalse);
        OByteVector vector(machine.heap(), machine.arena().word(cell));
        TInt i = 0;
        for (TUint8 byte : aBytes)
            *machine.arena().host(vector.elementAddress(i++)) = byte;
        return cell;
    }
    std::vector<TUint8> bytesOf(TUint32 aCell)
    {
        OByteVector vector(machine.heap(), machine.vectorOf(aCell, 1));
        std::vector<TUint8> bytes;
        for (TInt i = 0; i < vector.count(); ++i)
            bytes.push_back(*machine.arena().host(vector.elementAddress(i)));
        return bytes;
    }
    void pushUnits(std::initializer_list<TUint16> aUnits)
    {
        std::vector<TUint16> units(aUnits);
        push(machine.newStringValue(OString(units.data(), 0, static_cast<TInt>(units.size()) - 1)));
    }
    TUint32 newHashCell(TInt32 aAlgorithm)
    {
        const TUint32 cell = machine.heap().createArray(1, GC_CODE_REF_CELL);
        pushSlots(cell, aAlgorithm);
        call(KHash, 1);
        return cell;
    }
};

}

TEST_F(EncoderHash, EncodesEachUnitOnItsOwn)
{
    pushUnits({'h', 0xE9, 0x20AC});
    call(KEncoder, 1);
    EXPECT_EQ(bytesOf(at(0)), (std::vector<TUint8>{'h', 0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
    call(KEncoder, 2);
    EXPECT_EQ(machine.stringOf(at(0)), OString(std::vector<TUint16>{'h', 0xE9, 0x20AC, 0}.data()));

    // A lone surrogate is encoded like any other unit, but such bytes are
    // not well-formed when read back.
    pushUnits({'a', 0xD800});
    call(KEncoder, 1);
    EXPECT_EQ(bytesOf(at(0)), (std::vector<TUint8>{'a', 0xED, 0xA0, 0x80}));
    const TUint32 surrogate = at(0);
    EXPECT_EQ(raised(KEncoder, 2), EDataFormat);
    EXPECT_EQ(at(0), surrogate);

    pushString("");
    call(KEncoder, 1);
    EXPECT_TRUE(bytesOf(at(0)).empty());
    call(KEncoder, 2);
    EXPECT_EQ(textAt(0), "");
    EXPECT_EQ(depth(), 3);
    EXPECT_TRUE(markerIntact());
}

TEST_F(EncoderHash, DecodingIsStrict)
{
    for (TUint32 cell : {byteVector({0xFF}), byteVector({'o', 'k', 0xC3}), byteVector({0xC0, 0x80}),
                         byteVector({0xF4, 0x90, 0x80, 0x80})}) {
        push(cell);
        EXPECT_EQ(raised(KEncoder, 2), EDataFormat);
        EXPECT_EQ(errorText(), "DataFormatException: ");
        EXPECT_EQ(depth(), 1);
        machine.setTop(0);
    }
    // Four-byte forms keep the low 16 bits of their value.
    push(byteVector({0xF0, 0x9F, 0x98, 0x80, 'x'}));
    call(KEncoder, 2);
    EXPECT_EQ(machine.stringOf(at(0)), OString(std::vector<TUint16>{0xF600, 'x', 0}.data()));
    machine.setTop(0);

    push(0);
    EXPECT_EQ(raised(KEncoder, 2), ENullPointer);
    EXPECT_EQ(raised(KEncoder, 1), ENullPointer);
    push(machine.newVectorValue(4, 1, EFalse));
    EXPECT_EQ(raised(KEncoder, 2), EVMError);
}

TEST_F(EncoderHash, HashesTakeAnyAlgorithmAndDigestToNothing)
{
    const TUint32 cell = newHashCell(-7);
    for (TUint32 bytes : {byteVector({1, 2, 3}), byteVector({}), byteVector({4})}) {
        pushSlots(cell, bytes);
        call(KHash, 3);
    }
    EXPECT_EQ(depth(), 0);

    // Each digest is a new, empty vector.
    for (TInt i = 0; i < 2; ++i) {
        push(cell);
        call(KHash, 4);
        EXPECT_TRUE(bytesOf(at(0)).empty());
    }
    EXPECT_NE(at(0), at(1));

    push(byteVector({9, 9}));
    pushInt(12345);
    call(KHash, 2);
    EXPECT_TRUE(bytesOf(at(0)).empty());
    EXPECT_EQ(depth(), 3);
    EXPECT_TRUE(markerIntact());
}

TEST_F(EncoderHash, HashOperandsAreChecked)
{
    const TUint32 empty = machine.heap().createArray(1, GC_CODE_REF_CELL);
    for (TUint32 cell : {0u, empty}) {
        push(cell);
        EXPECT_EQ(raised(KHash, 4), ENullPointer);
        EXPECT_EQ(errorText(), "NullPointerException: NULL pointer");
        machine.setTop(0);
    }
    // A cell that holds some other native object.
    machine.arena().setWord(empty, machine.newStringObject(OString("x")));
    push(empty);
    push(byteVector({1}));
    EXPECT_EQ(raised(KHash, 3), EVMError);
    EXPECT_EQ(depth(), 2);
    machine.setTop(0);

    pushSlots(0, 1);
    EXPECT_EQ(raised(KHash, 1), ENullPointer);
    machine.setTop(0);
    push(newHashCell(1));
    push(machine.newVectorValue(4, 2, EFalse));
    EXPECT_EQ(raised(KHash, 3), EVMError);
}

TEST_F(EncoderHash, AnUnreachableHashIsFreedByTheNextCollection)
{
    const TInt before = machine.heap().liveHostObjects();
    const TUint32 cell = machine.heap().createArray(1, GC_CODE_REF_CELL);
    pushSlots(cell, cell, 3);
    call(KHash, 1);
    const TUint32 object = machine.arena().word(cell);
    push(cell);
    push(byteVector({1, 2, 3}));
    call(KHash, 3);

    machine.garbageCollect();
    EXPECT_TRUE(machine.heap().isReference(object));
    EXPECT_EQ(machine.heap().liveHostObjects(), before + 1);

    machine.setTop(0);
    machine.garbageCollect();
    EXPECT_FALSE(machine.heap().isReference(object));
    EXPECT_EQ(machine.heap().liveHostObjects(), before);
}
