// Permute of the "Are We Fast Yet" suite (permute.lua, permute.h): counts
// the calls of a recursive generation of the permutations of a vector of
// six numbers, swapping elements in a field of the benchmark object. The
// harness's inner loop runs it 1000 times, the suite's own inner iterations
// for it, and checks every count (8660); a wrong count is thrown as an
// exception, which the application logs before it ends. Logs
// "Permute: ok" at the end.

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

class Permute extends Benchmark {
    int count;
    int[] v;

    int benchmark() {
        this.count = 0;
        this.v = new int[6];
        this.permute(6);
        return this.count;
    }

    bool verifyResult(int result) {
        return result == 8660;
    }

    void permute(int n) {
        this.count++;
        if (n != 0) {
            int n1 = n - 1;
            this.permute(n1);
            for (int i = n1; i >= 0; i--) {
                this.swap(n1, i);
                this.permute(n1);
                this.swap(n1, i);
            }
        }
    }

    void swap(int i, int j) {
        int tmp = this.v[i];
        this.v[i] = this.v[j];
        this.v[j] = tmp;
    }
}

void main() {
    Permute benchmark = new Permute();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("Permute: wrong result");
    }
    log("Permute: ok");
    exit();
}
