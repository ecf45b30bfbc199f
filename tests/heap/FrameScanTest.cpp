#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "OVector.h"
#include "VirtualMachine.h"

using namespace HeapEntry;

namespace {

// A machine loaded with one method record: below the return address two
// slots (0: possible reference, 1: reference); above it slot 3 holds the
// address of a cell with a vector of references, slots 4 and 5 a vector
// slot of plain values.
class FrameScan : public ::testing::Test {
protected:
    FrameScan()
    {
        ImageFormat::Image image;
        ImageFormat::MethodRecord record;
        record.sizeCount1 = 1;
        record.sizeCount2 = 1;
        record.sizeCount3 = 3;
        record.possibleReferenceSlots = {0};
        record.referenceSlots = {1};
        record.indirectVectorSlots = {{ImageFormat::KFlagReferences, 3}};
        record.vectorSlots = {{0, 4}};
        image.methodRecords.push_back(record);
        const ImageFormat::Bytes bytes = ImageTestSupport::bytesOf(image);
        VESTRA::MemoryInputStream stream;
        ImageTestSupport::setStream(stream, bytes);
        TInt index = -1;
        EXPECT_TRUE(machine.readImage(CAppsString("index.mcb"), stream, index));
    }

    TUint32 plain() { return heap().createObject(8, KObjectKindRaw, GC_CODE_PLAIN); }
    VMHeap& heap() { return machine.heap(); }
    TBool alive(TUint32 aReference) { return heap().isReference(aReference); }

    VirtualMachine machine;
};

TEST_F(FrameScan, RecordedSlotsGapsAndTheOperandAreaAreScanned)
{
    TUint32 inGap = plain(), possible = plain(), reference = plain(), operand = plain(), lost = plain();
    TUint32 element = plain(), plainElement = plain();
    TUint32 cell = heap().createArray(1, GC_CODE_REF_VECTOR_CELL);
    TUint32 refVector = OWordVector::create(heap(), 1);
    machine.arena().setWord(OWordVector(heap(), refVector).elementAddress(0), element);
    machine.arena().setWord(cell, refVector);
    TUint32 plainVector = OWordVector::create(heap(), 2);
    machine.arena().setWord(OWordVector(heap(), plainVector).elementAddress(0), plainElement);

    // Slot 0: a gap before the frame; the frame's base is slot 1.
    machine.setSlot(0, inGap + 4);
    machine.setSlot(1, possible);
    machine.setSlot(2, reference);
    machine.setSlot(3, 0xFFFFFFFFu);      // the return address
    machine.setSlot(4, cell);
    machine.setSlot(5, plainVector);
    machine.setSlot(6, 0);
    machine.setSlot(7, operand);
    machine.setSlot(8, lost);              // above the top
    machine.setTop(7);
    machine.enterFrame(0, 1);
    machine.garbageCollect();

    // The indirect slot keeps the vector the cell names, not the cell.
    for (TUint32 r : {inGap, possible, reference, operand, refVector, element, plainVector})
        EXPECT_TRUE(alive(r)) << r;
    EXPECT_FALSE(alive(cell));
    EXPECT_TRUE(alive(OWordVector(heap(), plainVector).storage()));
    EXPECT_FALSE(alive(plainElement));     // plain elements are not followed
    EXPECT_FALSE(alive(lost));
    EXPECT_TRUE(heap().checkInvariant());
}

TEST_F(FrameScan, WordsPointingIntoTheStackAreIgnoredByPreciseSlots)
{
    machine.setSlot(1, machine.slotAddress(5));
    machine.setSlot(2, machine.slotAddress(6));   // a precise slot: must not be marked
    machine.setTop(3);
    machine.enterFrame(0, 1);
    EXPECT_NO_THROW(machine.garbageCollect());
}

TEST_F(FrameScan, FramesWithoutRecordsAreScannedConservatively)
{
    TUint32 kept = plain();
    machine.setSlot(0, kept + 2);
    machine.setTop(0);
    machine.enterFrame(-1, 0);
    machine.garbageCollect();
    EXPECT_TRUE(alive(kept));
    machine.leaveFrame();
    machine.setTop(-1);
    machine.garbageCollect();
    EXPECT_FALSE(alive(kept));
}

TEST_F(FrameScan, BrokenReferencesFailTheCollectionWithoutLosingLiveObjects)
{
    TUint32 held = heap().createArray(1, GC_CODE_REF_CELL);
    TUint32 target = plain();
    machine.arena().setWord(held, target);
    heap().addRoot(held);
    machine.setSlot(2, 12345);             // a precise reference slot with garbage
    machine.setTop(3);
    machine.enterFrame(0, 1);
    EXPECT_THROW(machine.garbageCollect(), ErrorHandlingException);
    machine.setSlot(2, 0);
    machine.garbageCollect();
    EXPECT_TRUE(alive(target));            // no stale mark hid it from the second collection

    machine.enterFrame(99, 0);             // a record the image does not have
    EXPECT_THROW(machine.garbageCollect(), ErrorHandlingException);
    EXPECT_EQ(ErrorHandling::currentErrorCode(), EInvalidArgument);
}

TEST(MachineLifetime, DestroyingTheMachineRunsEveryFinaliser)
{
    struct Counted : GCObject {
        explicit Counted(int& aCount) : iCount(aCount) {}
        ~Counted() override { ++iCount; }
        int& iCount;
    };
    int destroyed = 0;
    {
        VirtualMachine machine;
        machine.heap().addRoot(machine.heap().createHostObject(8, GC_CODE_STRING, new Counted(destroyed)));
        machine.heap().createHostObject(8, GC_CODE_STRING, new Counted(destroyed));
    }
    EXPECT_EQ(destroyed, 2);
}

}
