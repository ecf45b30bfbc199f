// Vector natives (groups 1 and 3 to 7). The six families share one
// implementation: they differ in the size of an element and in whether the
// elements are references, which changes what the element-access codes
// answer and how new vectors are marked for the collector.
//
// An element value on the stack takes one slot per word (first word
// deepest), or one slot for a byte, read sign-extended and stored from the
// slot's low byte. Every operand is read and checked before anything
// changes, so a failing call leaves the stack and the vectors as they were.

#include "VirtualMachine.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "ErrorHandling.h"
#include "NativeFamily.h"
#include "OVector.h"
#include "RangeCheck.h"

namespace {

const char KNullPointer[] = "NULL pointer";
const char KStackUnderflow[] = "Stack underflow";

// Consecutive elements of a vector. A stretch that leaves its vector is
// not inside and holds nothing.
struct Stretch {
    TInt first;
    TInt count;
    TBool inside;
};

// The stretch that aLength elements from aFirst name in a vector of aCount
// elements, a negative length running to the end. Sums in 64 bits: a
// program may pass any numbers.
Stretch stretchOf(TInt aFirst, TInt aLength, TInt aCount)
{
    const TInt64 end = aLength < 0 ? aCount : TInt64(aFirst) + aLength;
    if (aFirst < 0 || aFirst > end || end > aCount)
        return {0, 0, EFalse};
    return {aFirst, static_cast<TInt>(end - aFirst), ETrue};
}

Stretch whole(TInt aCount)
{
    return {0, aCount, ETrue};
}

// Every code that takes a stretch refuses a negative start first.
void requireFirst(TInt aFirst)
{
    if (aFirst < 0)
        ErrorHandling::raise(ERange);
}

// One call of a vector native: the machine whose stack holds the operands,
// and whether the family's elements are references. Operands are counted
// from the lowest, as the operation table lists them; the stack is checked
// once for all of them, which keeps the hot codes (6, 8 and 19) lean.
template <typename Vector>
class VectorCall {
public:
    // The slots that one element value takes.
    static constexpr TInt KSlots = Vector::KElementSize < 4 ? 1 : static_cast<TInt>(Vector::KElementSize / 4);
    static constexpr TUint32 KSize = Vector::KElementSize;

    VectorCall(VirtualMachine& aMachine, TBool aReferences)
        : iMachine(aMachine), iHeap(aMachine.heap()), iReferences(aReferences)
    {
    }

    // 2: target cell, vector.
    void copy()
    {
        take(2);
        TUint32 target = cellIn(0);
        Vector source = vectorIn(1);
        const TUint8* elements = source.elements();
        store(target, newVector(elements, whole(source.count())));
        consume();
    }

    // 3: target cell, value, count.
    void fill()
    {
        take(KSlots + 2);
        TUint32 target = cellIn(0);
        Element value = valueIn(1);
        TInt count = intIn(KSlots + 1);
        if (count < 0)
            ErrorHandling::raise(EInvalidArgument);
        TUint32 vector = Vector::create(iHeap, count, iReferences);
        // A new vector's elements start zeroed: a value of zeros (null, 0,
        // false) leaves nothing to write.
        if (std::any_of(std::begin(value.bytes), std::end(value.bytes), [](TUint8 aByte) { return aByte != 0; }))
            Vector(iHeap, vector).fill(value.bytes);
        store(target, vector);
        consume();
    }

    // 5: target cell, vector, step.
    void everyStep()
    {
        take(3);
        TUint32 target = cellIn(0);
        Vector source = vectorIn(1);
        TInt step = intIn(2);
        if (step <= 0)
            ErrorHandling::raise(EInvalidArgument);
        const TUint8* elements = source.elements();
        const TInt count = source.count();
        const TInt picked = count == 0 ? 0 : (count - 1) / step + 1;
        TUint32 vector = Vector::create(iHeap, picked, iReferences);
        TUint8* copy = Vector(iHeap, vector).elements();
        for (TInt i = 0; i < picked; ++i)
            std::memcpy(copy + offset(i), elements + offset(i) * step, KSize);
        store(target, vector);
        consume();
    }

    // 6 (primitive families) and 7 (references): vector, index.
    void elementAddress()
    {
        take(2);
        answer(vectorIn(0).elementAddress(intIn(1)));
    }

    // 6 and 8 (references): vector, index.
    void reference()
    {
        take(2);
        answer(iMachine.arena().word(vectorIn(0).elementAddress(intIn(1))));
    }

    // 8 (primitive families): the value replaces the index and the vector
    // stays below it.
    void valueAboveVector()
    {
        take(2);
        TUint32 address = vectorIn(0).elementAddress(intIn(1));
        if constexpr (KSlots == 1) {
            iMachine.setSlot(iBase + 1, load(address));
        } else {
            iMachine.setTop(iBase);
            pushValue(address);
        }
    }

    // 9: vector.
    void firstValue() { endValue(EFalse); }
    // 10: vector.
    void lastValue() { endValue(ETrue); }

    // 11: vector.
    void count() { answerCount(EFalse); }
    // 12: vector.
    void isEmpty() { answerCount(ETrue); }

    // 13: vector, source vector, index.
    void insertVector()
    {
        take(3);
        Vector vector = vectorIn(0);
        Vector source = vectorIn(1);
        const TUint8* elements = source.elements();
        vector.insert(intIn(2), elements, source.count());
        consume();
    }

    // 14: vector, source vector, from, length, at.
    void insertStretch()
    {
        take(5);
        Vector vector = vectorIn(0);
        Vector source = vectorIn(1);
        TInt from = intIn(2);
        TInt length = intIn(3);
        TInt at = intIn(4);
        requireFirst(from);
        vector.checkConsistent();
        if (at < 0 || at > vector.count())
            ErrorHandling::raise(EIndexOutOfBounds);
        const TUint8* elements = source.elements();
        Stretch stretch = stretchOf(from, length, source.count());
        if (stretch.inside)
            vector.insert(at, elements + offset(stretch.first), stretch.count);
        consume();
    }

    // 15: vector, value, index.
    void insertValue()
    {
        take(KSlots + 2);
        Vector vector = vectorIn(0);
        Element value = valueIn(1);
        vector.insert(intIn(KSlots + 1), value.bytes);
        consume();
    }

    // 16: vector, source vector.
    void prependVector() { addVector(EFalse); }
    // 17: vector, value.
    void prependValue() { addValue(EFalse); }
    // 18: vector, source vector.
    void appendVector() { addVector(ETrue); }
    // 19: vector, value.
    void appendValue() { addValue(ETrue); }

    // 20: vector, n.
    void repeat()
    {
        take(2);
        vectorIn(0).repeat(intIn(1));
        consume();
    }

    // 21: vector, index.
    void removeAt()
    {
        take(2);
        vectorIn(0).remove(intIn(1), 1);
        consume();
    }

    // 22: vector, from, length.
    void removeStretch()
    {
        take(3);
        Vector vector = vectorIn(0);
        TInt from = intIn(1);
        requireFirst(from);
        removeNamed(vector, from, intIn(2));
        consume();
    }

    // 23: vector, n.
    void removeHead() { removeEnd(EFalse); }
    // 24: vector, n.
    void removeTail() { removeEnd(ETrue); }

    // 25: vector.
    void clear()
    {
        take(1);
        vectorIn(0).clear();
        consume();
    }

    // 26: vector, from, length, source vector.
    void replaceByVector()
    {
        take(4);
        Vector vector = vectorIn(0);
        TInt from = intIn(1);
        Vector source = vectorIn(3);
        requireFirst(from);
        const TUint8* elements = source.elements();
        replaceNamed(vector, from, intIn(2), elements, source.count());
        consume();
    }

    // 27: vector, from, length, value.
    void replaceByValue()
    {
        take(KSlots + 3);
        Vector vector = vectorIn(0);
        TInt from = intIn(1);
        Element value = valueIn(3);
        requireFirst(from);
        replaceNamed(vector, from, intIn(2), value.bytes, 1);
        consume();
    }

    // 28: target cell, vector, from, length.
    void copyStretch()
    {
        take(4);
        TUint32 target = cellIn(0);
        Vector source = vectorIn(1);
        TInt from = intIn(2);
        requireFirst(from);
        const TUint8* elements = source.elements();
        store(target, newVector(elements, stretchOf(from, intIn(3), source.count())));
        consume();
    }

    // 29: target cell, value.
    void single()
    {
        take(KSlots + 1);
        TUint32 target = cellIn(0);
        Element value = valueIn(1);
        store(target, newVector(value.bytes, whole(1)));
        consume();
    }

    // 81: vector, from, length, source vector.
    void replaceCheckedRange()
    {
        take(4);
        Vector vector = vectorIn(0);
        TInt from = intIn(1);
        TInt length = intIn(2);
        Vector source = vectorIn(3);
        requireFirst(from);
        vector.checkConsistent();
        TInt checked = length;
        checkRange(0, vector.count(), from, checked);
        const TUint8* elements = source.elements();
        vector.replace(from, length == 0 ? 0 : checked, elements, source.count());
        consume();
    }

    // 82: vector, from, length.
    void copyCheckedRange()
    {
        take(3);
        Vector vector = vectorIn(0);
        TInt from = intIn(1);
        TInt length = intIn(2);
        requireFirst(from);
        const TUint8* elements = vector.elements();
        checkRange(0, vector.count(), from, length);
        TUint32 vectorCopy = 0;
        TUint32 cell = newVectorInReferenceCell(length, vectorCopy);
        copyInto(vectorCopy, 0, elements, Stretch{from, length, ETrue});
        answer(cell);
    }

    // 83: vector, from1, length1, source vector, from2, length2.
    void replaceByStretch()
    {
        take(6);
        Vector vector = vectorIn(0);
        TInt from = intIn(1);
        TInt length = intIn(2);
        Vector source = vectorIn(3);
        TInt sourceFrom = intIn(4);
        requireFirst(sourceFrom);
        requireFirst(from);
        const TUint8* elements = source.elements();
        Stretch part = stretchOf(sourceFrom, intIn(5), source.count());
        vector.checkConsistent();
        Stretch replaced = length == 0 ? Stretch{from, 0, from <= vector.count()}
                                       : stretchOf(from, length, vector.count());
        if (!part.inside || !replaced.inside)
            ErrorHandling::raise(ERange);
        vector.replace(replaced.first, replaced.count, elements + offset(part.first), part.count);
        consume();
    }

    // 84: o1 vector, o2, o3, o4 vector, o5, o6: o3 elements from o2 of o4,
    // then o6 elements from o5 of o1.
    void joinStretches()
    {
        take(6);
        Vector second = vectorIn(0);
        TInt firstFrom = intIn(1);
        Vector first = vectorIn(3);
        TInt secondFrom = intIn(4);
        requireFirst(secondFrom);
        requireFirst(firstFrom);
        const TUint8* firstElements = first.elements();
        const TUint8* secondElements = second.elements();
        Stretch firstPart = stretchOf(firstFrom, intIn(2), first.count());
        Stretch secondPart = stretchOf(secondFrom, intIn(5), second.count());
        TUint32 vector = 0;
        TUint32 cell = newVectorInReferenceCell(firstPart.count + secondPart.count, vector);
        copyInto(vector, 0, firstElements, firstPart);
        copyInto(vector, firstPart.count, secondElements, secondPart);
        answer(cell);
    }

private:
    struct Element {
        TUint8 bytes[KSize];
    };

    // vector: its first or last element value.
    void endValue(TBool aLast)
    {
        take(1);
        Vector vector = vectorIn(0);
        vector.checkConsistent();
        TUint32 address = vector.elementAddress(aLast ? vector.count() - 1 : 0);
        consume();
        pushValue(address);
    }

    // vector: its count, or whether it is empty.
    void answerCount(TBool aAskingEmpty)
    {
        take(1);
        Vector vector = vectorIn(0);
        vector.checkConsistent();
        const TInt count = vector.count();
        answer(aAskingEmpty ? (count == 0 ? 1 : 0) : static_cast<TUint32>(count));
    }

    // vector, source vector: the source's elements at the start or the end.
    void addVector(TBool aAtEnd)
    {
        take(2);
        Vector vector = vectorIn(0);
        Vector source = vectorIn(1);
        const TUint8* elements = source.elements();
        vector.checkConsistent();
        vector.insert(aAtEnd ? vector.count() : 0, elements, source.count());
        consume();
    }

    // vector, value: one element at the start or the end.
    void addValue(TBool aAtEnd)
    {
        take(KSlots + 1);
        Vector vector = vectorIn(0);
        Element value = valueIn(1);
        if (aAtEnd)
            vector.append(value.bytes);
        else
            vector.insert(0, value.bytes);
        consume();
    }

    // vector, n: n elements from the start or the end.
    void removeEnd(TBool aLast)
    {
        take(2);
        Vector vector = vectorIn(0);
        TInt n = intIn(1);
        vector.checkConsistent();
        const TInt count = vector.count();
        if (n < 0 || n > count)
            ErrorHandling::raise(EInvalidArgument);
        vector.remove(aLast ? count - n : 0, n);
        consume();
    }

    // The call's aCount operands are the top slots; a stack that holds
    // fewer stops the machine, as for every native.
    void take(TInt aCount)
    {
        const TInt32 top = iMachine.top();
        if (top >= VirtualMachine::KStackSlots || TInt64(top) - aCount + 1 < 0)
            iMachine.fatalError(OString(KStackUnderflow), iMachine.pc());
        iBase = top - aCount + 1;
    }

    TUint32 wordIn(TInt aIndex) const { return iMachine.slot(iBase + aIndex); }
    TInt intIn(TInt aIndex) const { return static_cast<TInt>(wordIn(aIndex)); }
    Vector vectorIn(TInt aIndex) { return Vector(iHeap, iMachine.vectorOf(wordIn(aIndex), KSize)); }

    // A target cell.
    TUint32 cellIn(TInt aIndex) const
    {
        TUint32 cell = wordIn(aIndex);
        if (cell == 0)
            ErrorHandling::raise(ENullPointer, KNullPointer);
        return cell;
    }

    // The element value whose first slot is operand aIndex.
    Element valueIn(TInt aIndex) const
    {
        Element value;
        if constexpr (KSize == 1) {
            value.bytes[0] = static_cast<TUint8>(wordIn(aIndex));
        } else {
            for (TInt i = 0; i < KSlots; ++i) {
                TUint32 word = wordIn(aIndex + i);
                std::memcpy(value.bytes + 4 * i, &word, 4);
            }
        }
        return value;
    }

    // Every operand is used up.
    void consume() { iMachine.setTop(iBase - 1); }
    // Every operand is used up and aResult takes the lowest one's slot.
    void answer(TUint32 aResult)
    {
        iMachine.setSlot(iBase, aResult);
        iMachine.setTop(iBase);
    }

    // The first slot of the value at aAddress.
    TUint32 load(TUint32 aAddress) const
    {
        if constexpr (KSize == 1)
            return static_cast<TUint32>(static_cast<TInt32>(static_cast<TInt8>(*iMachine.arena().host(aAddress))));
        else
            return iMachine.arena().word(aAddress);
    }

    void pushValue(TUint32 aAddress)
    {
        iMachine.pushSlot(load(aAddress));
        for (TInt i = 1; i < KSlots; ++i)
            iMachine.pushSlot(iMachine.arena().word(aAddress + 4 * static_cast<TUint32>(i)));
    }

    static std::size_t offset(TInt aCount) { return static_cast<std::size_t>(aCount) * KSize; }

    // A new vector of the stretch aPart of aElements.
    TUint32 newVector(const TUint8* aElements, const Stretch& aPart)
    {
        TUint32 vector = Vector::create(iHeap, aPart.count, iReferences);
        copyInto(vector, 0, aElements, aPart);
        return vector;
    }

    // Codes 82 and 84 answer one level deeper than a vector cell: a
    // reference cell that refers to the new vector.
    TUint32 newVectorInReferenceCell(TInt aCount, TUint32& aVector)
    {
        TUint32 cell = 0;
        aVector = iHeap.createObjectPair(Vector::KObjectSize, HeapEntry::KObjectKindNative, GC_CODE_VECTOR, 4,
                                         HeapEntry::KObjectKindRaw, GC_CODE_REF_CELL, cell);
        Vector::initialise(iHeap, aVector, aCount, iReferences);
        iMachine.arena().setWord(cell, aVector);
        return cell;
    }

    // Copies the stretch aPart of aElements to element aIndex of aVector.
    // Only existing elements are addressed: an empty stretch may name a
    // first element beyond the end.
    void copyInto(TUint32 aVector, TInt aIndex, const TUint8* aElements, const Stretch& aPart)
    {
        if (aPart.count > 0)
            std::memcpy(Vector(iHeap, aVector).elements() + offset(aIndex), aElements + offset(aPart.first),
                        offset(aPart.count));
    }

    void store(TUint32 aTarget, TUint32 aVector) { iMachine.arena().setWord(aTarget, aVector); }

    // Removes what aFirst and aLength name, which must be a non-empty part
    // of the vector.
    void removeNamed(Vector& aVector, TInt aFirst, TInt aLength)
    {
        aVector.checkConsistent();
        Stretch stretch = stretchOf(aFirst, aLength, aVector.count());
        if (!stretch.inside || stretch.count == 0)
            ErrorHandling::raise(ERange);
        aVector.remove(stretch.first, stretch.count);
    }

    // Replaces what aFirst and aLength name by aCount elements. Without
    // elements this is a removal; a stretch outside the vector is left
    // alone.
    void replaceNamed(Vector& aVector, TInt aFirst, TInt aLength, const TUint8* aElements, TInt aCount)
    {
        if (aCount == 0) {
            removeNamed(aVector, aFirst, aLength);
            return;
        }
        aVector.checkConsistent();
        Stretch stretch = stretchOf(aFirst, aLength, aVector.count());
        if (stretch.inside)
            aVector.replace(stretch.first, stretch.count, aElements, aCount);
    }

    VirtualMachine& iMachine;
    VMHeap& iHeap;
    TBool iReferences;
    TInt32 iBase = 0;
};

// Applications call it; the runtime has nothing to do for it.
void ignore(VirtualMachine&, TInt)
{
}

// A family's table is one array: the codes all families share and those of
// its kind, joined when the program is compiled.
template <std::size_t KFirst, std::size_t KSecond>
constexpr std::array<NativeOperation, KFirst + KSecond> joined(const std::array<NativeOperation, KFirst>& aFirst,
                                                               const std::array<NativeOperation, KSecond>& aSecond)
{
    std::array<NativeOperation, KFirst + KSecond> operations{};
    for (std::size_t i = 0; i < KFirst; ++i)
        operations[i] = aFirst[i];
    for (std::size_t i = 0; i < KSecond; ++i)
        operations[KFirst + i] = aSecond[i];
    return operations;
}

// The table of one vector family: the codes that all six share, then the
// element-access codes 6 to 8, which differ. Code 7 exists only for
// references.
template <typename Vector, TBool KReferences>
struct VectorFamily {
    using Call = VectorCall<Vector>;

    // The handler of one code: one call of the family's operation.
    template <void (Call::*KOperation)()>
    static void run(VirtualMachine& aMachine, TInt)
    {
        Call call(aMachine, KReferences);
        (call.*KOperation)();
    }

    static constexpr auto operations()
    {
        constexpr std::array<NativeOperation, 29> shared{{
            {2, "copy", run<&Call::copy>},
            {3, "fill", run<&Call::fill>},
            {4, "ignored", ignore},
            {5, "everyStep", run<&Call::everyStep>},
            {9, "first", run<&Call::firstValue>},
            {10, "last", run<&Call::lastValue>},
            {11, "count", run<&Call::count>},
            {12, "isEmpty", run<&Call::isEmpty>},
            {13, "insertVector", run<&Call::insertVector>},
            {14, "insertStretch", run<&Call::insertStretch>},
            {15, "insert", run<&Call::insertValue>},
            {16, "prependVector", run<&Call::prependVector>},
            {17, "prepend", run<&Call::prependValue>},
            {18, "appendVector", run<&Call::appendVector>},
            {19, "append", run<&Call::appendValue>},
            {20, "repeat", run<&Call::repeat>},
            {21, "removeAt", run<&Call::removeAt>},
            {22, "removeStretch", run<&Call::removeStretch>},
            {23, "removeHead", run<&Call::removeHead>},
            {24, "removeTail", run<&Call::removeTail>},
            {25, "clear", run<&Call::clear>},
            {26, "replaceByVector", run<&Call::replaceByVector>},
            {27, "replaceByElement", run<&Call::replaceByValue>},
            {28, "copyStretch", run<&Call::copyStretch>},
            {29, "single", run<&Call::single>},
            {81, "replaceCheckedRange", run<&Call::replaceCheckedRange>},
            {82, "copyCheckedRange", run<&Call::copyCheckedRange>},
            {83, "replaceByStretch", run<&Call::replaceByStretch>},
            {84, "joinStretches", run<&Call::joinStretches>},
        }};
        if constexpr (KReferences) {
            // 6 and 8 are two codes for the same read.
            constexpr std::array<NativeOperation, 3> access{{
                {6, "element", run<&Call::reference>},
                {7, "elementAddress", run<&Call::elementAddress>},
                {8, "element2", run<&Call::reference>},
            }};
            return joined(shared, access);
        } else {
            constexpr std::array<NativeOperation, 2> access{{
                {6, "elementAddress", run<&Call::elementAddress>},
                {8, "elementAboveVector", run<&Call::valueAboveVector>},
            }};
            return joined(shared, access);
        }
    }
};

template <typename Vector, TBool KReferences>
constexpr auto KVectorOperations = VectorFamily<Vector, KReferences>::operations();

}

extern const NativeFamily KByteVectorFamily{"ByteVector", "Vector:", KVectorOperations<OByteVector, EFalse>};
extern const NativeFamily KWordVectorFamily{"WordVector", "Vector:", KVectorOperations<OWordVector, EFalse>};
extern const NativeFamily KDoubleWordVectorFamily{"DoubleWordVector", "Vector:",
                                                  KVectorOperations<OWord2Vector, EFalse>};
extern const NativeFamily KTripleWordVectorFamily{"TripleWordVector", "Vector:",
                                                  KVectorOperations<OWord3Vector, EFalse>};
extern const NativeFamily KQuadWordVectorFamily{"QuadWordVector", "Vector:", KVectorOperations<OWord4Vector, EFalse>};
extern const NativeFamily KReferenceVectorFamily{"ReferenceVector", "Vector:", KVectorOperations<OWordVector, ETrue>};
