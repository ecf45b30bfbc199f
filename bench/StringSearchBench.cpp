// The exact search of strings in its two forms: the vector compares that
// OString uses (SSE2 or AVX2 on x86-64, NEON on 64-bit ARM) and the plain
// loop that they must agree with. The text is digits and commas, as in the
// strings program of bench/compare, so the key's first units match often;
// the key is never found, so every search scans the whole text.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "StringSearch.h"

namespace {

const TInt KTextLength = 1 << 16;

std::vector<TUint16> digitText()
{
    std::mt19937 random(1);
    std::vector<TUint16> text(KTextLength);
    for (TUint16& unit : text)
        unit = random() % 11 == 0 ? ',' : '0' + random() % 10;
    return text;
}

const TUint16 KKey[] = {'1', '2', '3', ';'};

template <const TUint16* (*KFind)(const TUint16*, TInt, const TUint16*, TInt)>
void searchMiss(benchmark::State& aState)
{
    const std::vector<TUint16> text = digitText();
    for (auto _ : aState)
        benchmark::DoNotOptimize(KFind(text.data(), KTextLength, KKey, std::size(KKey)));
    aState.SetItemsProcessed(aState.iterations() * KTextLength);
}

void BM_FindExact(benchmark::State& aState)
{
    searchMiss<StringSearch::findExact>(aState);
}

void BM_FindExactPlain(benchmark::State& aState)
{
    searchMiss<StringSearch::findExactPlain>(aState);
}

}

BENCHMARK(BM_FindExact);
BENCHMARK(BM_FindExactPlain);
