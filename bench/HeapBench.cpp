// Heap figures: allocation churn beside malloc/free, full collections of
// growing live sets, the conservative scan of a full operand stack, and the
// heap's share of a machine's start-up.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "Arena.h"
#include "VMHeap.h"

using namespace HeapEntry;

namespace {

const int KChurnSlots = 1024;

// Keeps a window of live objects and replaces one at random per step, the
// pattern of a program that makes many short-lived small objects.
void BM_HeapChurn(benchmark::State& aState)
{
    Arena arena;
    VMHeap heap(arena);
    std::vector<TUint32> live(KChurnSlots, 0);
    std::mt19937 random(1);
    for (auto _ : aState) {
        TUint32& slot = live[random() % KChurnSlots];
        if (slot)
            heap.freeObject(slot);
        slot = heap.createObject(8 + (random() % 8) * 8, KObjectKindRaw, GC_CODE_PLAIN);
    }
}
BENCHMARK(BM_HeapChurn);

void BM_MallocChurn(benchmark::State& aState)
{
    std::vector<void*> live(KChurnSlots, nullptr);
    std::mt19937 random(1);
    for (auto _ : aState) {
        void*& slot = live[random() % KChurnSlots];
        std::free(slot);
        // Zeroed like the heap's payloads.
        slot = std::calloc(1, 8 + (random() % 8) * 8);
        benchmark::DoNotOptimize(slot);
    }
    for (void* p : live)
        std::free(p);
}
BENCHMARK(BM_MallocChurn);

// A linked list of aState.range(0) instances kept by one root: the mark
// follows every link, the sweep visits every block.
void BM_FullCollection(benchmark::State& aState)
{
    Arena arena;
    VMHeap heap(arena);
    ClassTables tables;
    tables.referenceFields.grow(2);
    tables.vectorFields.grow(2);
    tables.vectorFieldFlags.grow(2);
    tables.referenceFields[1].append(1);
    heap.setClassTables(&tables);
    TUint32 head = 0;
    for (int64_t i = 0; i < aState.range(0); ++i) {
        TUint32 node = heap.createObject(12, KObjectKindRaw, GC_CODE_INSTANCE);
        arena.setWord(node, 1);
        arena.setWord(node + 4, head);
        head = node;
    }
    heap.addRoot(head);
    for (auto _ : aState)
        heap.collect();
    aState.SetItemsProcessed(aState.iterations() * aState.range(0));
}
BENCHMARK(BM_FullCollection)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// 15000 stack words scanned conservatively; range(0) percent of them point
// into (the middle of) live objects scattered over 8 MB, the rest are small
// integers. Every pass marks the objects it finds afresh.
void BM_ConservativeStackScan(benchmark::State& aState)
{
    Arena arena;
    VMHeap heap(arena);
    std::mt19937 random(2);
    std::vector<TUint32> objects;
    for (int i = 0; i < 20000; ++i)
        objects.push_back(heap.createObject(16 + (random() % 4) * 256, KObjectKindRaw, GC_CODE_PLAIN));
    std::vector<TUint32> stack(15000);
    for (TUint32& word : stack)
        word = int(random() % 100) < aState.range(0) ? objects[random() % objects.size()] + 8 : random() % 1000;
    for (auto _ : aState) {
        for (TUint32 word : stack)
            heap.markIfInHeap(word);
        aState.PauseTiming();
        heap.abandonMarking();
        aState.ResumeTiming();
    }
}
BENCHMARK(BM_ConservativeStackScan)->Arg(0)->Arg(10)->Arg(50)->Unit(benchmark::kMicrosecond);

// What every machine pays before its first instruction: the arena's
// reservation, the first pool and the index of block starts, and their
// release.
void BM_HeapStartUp(benchmark::State& aState)
{
    for (auto _ : aState) {
        Arena arena;
        VMHeap heap(arena);
        benchmark::DoNotOptimize(heap.createObject(8, KObjectKindRaw, GC_CODE_PLAIN));
    }
}
BENCHMARK(BM_HeapStartUp)->Unit(benchmark::kMicrosecond);

}
