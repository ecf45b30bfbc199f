// Programs that try to reach host memory through the natives, or to make
// the host allocate without bound.

#include "NativeTestSupport.h"

#include "HeapEntry.h"

using namespace HeapEntry;

namespace {

class Sandbox : public NativeTest {
protected:
    // A vector cell whose vector claims 2^30 elements and whose storage
    // entry claims a capacity of 4 GiB, as stores into the arena can make it.
    TUint32 forgedVector(TUint32 aElementSize)
    {
        Arena& arena = machine.arena();
        const TUint32 cell = machine.newVectorValue(aElementSize, 4, EFalse);
        const TUint32 vector = machine.vectorOf(cell, aElementSize);
        const TUint32 storage = arena.word(vector + 4);
        arena.setWord(storage - KHeaderSize + KCapacity, 0xFFFFFFFFu);
        arena.setWord(vector + 8, 1u << 30);
        arena.setWord(vector + 12, 1u << 30);
        return cell;
    }
};

}

// The vector natives meet the same forgery in programs/forged_headers.kasm.
TEST_F(Sandbox, ForgedVectorHeadersAreRefusedBeforeAnyByteIsRead)
{
    pushSlots(forgedVector(1));
    EXPECT_EQ(raised(28, 2), EVMError);  // text from UTF-8 bytes
    EXPECT_TRUE(markerIntact());
}

// Each repeat holds 64 Mi units on the host for a few words of arena.
TEST_F(Sandbox, StringsCannotExhaustHostMemory)
{
    TInt made = 0;
    TInt code = ENoError;
    for (; code == ENoError && made < 10; ++made) {
        pushString("x");
        pushInt(1 << 26);
        code = raised(8, 49);
    }
    EXPECT_EQ(code, EVMError);
    EXPECT_LT(made, 10);

    // Once the strings are garbage, a collection gives their memory back.
    machine.setTop(0);
    machine.garbageCollect();
    pushString("x");
    pushInt(1 << 26);
    EXPECT_EQ(raised(8, 49), ENoError);
}
