// The cost of one native call on the paths that string building and vector
// code take most: appending to a string, appending to a vector and reading
// a vector element by index. Each runs through callNative, as instruction
// 78 does, so dispatch and operand checks are included.

#include <benchmark/benchmark.h>

#include "NativeGroups.h"
#include "OVector.h"
#include "VirtualMachine.h"

namespace {

const TInt KStringAppendString = 62;
const TInt KStringAppendChar = 63;
const TInt KVectorAppend = 19;
const TInt KVectorElementAddress = 6;

// A vector variable on the machine's stack, as a program's local would be:
// word 0 the vector of aCount zeros, word 1 its element size.
TUint32 wordVectorVariable(VirtualMachine& aMachine, TInt aCount)
{
    aMachine.setTop(1);
    aMachine.setSlot(0, OWordVector::create(aMachine.heap(), aCount));
    aMachine.setSlot(1, 4);
    return aMachine.slotAddress(0);
}

void BM_StringAppend(benchmark::State& aState)
{
    VirtualMachine machine;
    machine.setTop(-1);
    TUint32 text = machine.newStringValue(OString());
    TUint32 piece = machine.newStringValue(OString("12345"));
    // Held as a program's variables would hold them: the text grows by
    // megabytes, so collections come, and nothing else keeps the two.
    machine.heap().addRoot(text);
    machine.heap().addRoot(piece);
    for (auto _ : aState) {
        machine.pushSlot(text);
        machine.pushSlot(piece);
        machine.callNative(EGroupString, KStringAppendString);
        machine.pushSlot(text);
        machine.pushSlot(',');
        machine.callNative(EGroupString, KStringAppendChar);
        // Keep the text from growing without bound over millions of runs.
        if (machine.stringOf(text).length() > 1000000)
            machine.editableStringOf(text) = OString();
    }
}
BENCHMARK(BM_StringAppend);

void BM_VectorAppend(benchmark::State& aState)
{
    VirtualMachine machine;
    TUint32 vector = wordVectorVariable(machine, 0);
    TUint32 value = 0;
    for (auto _ : aState) {
        machine.pushSlot(vector);
        machine.pushSlot(value++);
        machine.callNative(EGroupWordVector, KVectorAppend);
        // A fresh vector now and then keeps the storage within bounds.
        if ((value & 0xFFFFF) == 0)
            machine.setSlot(0, OWordVector::create(machine.heap(), 0));
    }
}
BENCHMARK(BM_VectorAppend);

void BM_VectorIndexedRead(benchmark::State& aState)
{
    const TInt count = 1 << 16;
    VirtualMachine machine;
    TUint32 vector = wordVectorVariable(machine, count);
    TInt32 index = 0;
    TUint64 sum = 0;
    for (auto _ : aState) {
        machine.pushSlot(vector);
        machine.pushSlot(static_cast<TUint32>(index));
        machine.callNative(EGroupWordVector, KVectorElementAddress);
        sum += machine.arena().word(machine.slot(machine.top()));
        machine.setTop(machine.top() - 1);
        index = (index + 1) & (count - 1);
    }
    benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_VectorIndexedRead);

}
