// Sieve of the "Are We Fast Yet" suite (sieve.lua, sieve.h): counts the
// primes up to 5000 with a sieve over a vector of 5000 flags. The harness's
// inner loop runs it 3000 times, the suite's own inner iterations for it,
// and checks every count (669); a wrong count is thrown as an exception,
// which the application logs before it ends. Logs "Sieve: ok" at the end.

const INNER_ITERATIONS = 3000;

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

class Sieve extends Benchmark {
    int benchmark() {
        bool[] flags = new bool[5000](true);
        return sieve(flags, 5000);
    }

    bool verifyResult(int result) {
        return result == 669;
    }
}

int sieve(bool[] flags, int size) {
    int primeCount = 0;
    for (int i = 2; i <= size; i++) {
        if (flags[i - 1]) {
            primeCount++;
            int k = i + i;
            while (k <= size) {
                flags[k - 1] = false;
                k += i;
            }
        }
    }
    return primeCount;
}

void main() {
    Sieve benchmark = new Sieve();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("Sieve: wrong result");
    }
    log("Sieve: ok");
    exit();
}
