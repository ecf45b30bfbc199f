// Storage of the "Are We Fast Yet" suite (storage.lua, storage.h): builds a
// tree of vectors seven levels deep, four children a node, leaves of 1 to
// 10 empty elements picked by the suite's random numbers, and counts the
// vectors made; the garbage goes to the collector. The harness's inner loop
// runs it 1000 times, the suite's own inner iterations for it, and checks
// every count (5461); a wrong one is thrown as an exception, which the
// application logs before it ends. Logs "Storage: ok" at the end.

const INNER_ITERATIONS = 1000;

class Benchmark {
    int benchmark();
    bool verifyResult(int result);

    bool innerBenchmarkLoop(int innerIterations) {
        for (int i = 0; i < innerIterations; i++) {
            if (!this.verifyResult(this.benchmark())) {
                return false;
            }
        }
        return true;
    }
}

class Random {
    int seed;

    int next() {
        this.seed = (this.seed * 1309 + 13849) & 65535;
        return this.seed;
    }
}

Random newRandom() {
    Random random = new Random();
    random.seed = 74755;
    return random;
}

class Tree {
}

class Storage extends Benchmark {
    int count;

    int benchmark() {
        Random random = newRandom();
        this.count = 0;
        this.buildTreeDepth(7, random);
        return this.count;
    }

    bool verifyResult(int result) {
        return result == 5461;
    }

    Tree[] buildTreeDepth(int depth, Random random) {
        this.count++;
        if (depth == 1) {
            return new Tree[random.next() % 10 + 1];
        }
        Tree[][] arr = new Tree[][4];
        for (int i = 0; i < 4; i++) {
            arr[i] = this.buildTreeDepth(depth - 1, random);
        }
        return (Tree[]) arr;
    }
}

void main() {
    Storage benchmark = new Storage();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("Storage: wrong result");
    }
    log("Storage: ok");
    exit();
}
