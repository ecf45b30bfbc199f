// Queens of the "Are We Fast Yet" suite (queens.lua, queens.h): solves the
// eight queens problem ten times by backtracking over four vectors held in
// fields of the benchmark object. The harness's inner loop runs it 1000
// times, the suite's own inner iterations for it, and checks every result;
// a wrong one is thrown as an exception, which the application logs before
// it ends. Logs "Queens: ok" at the end.

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

class Queens extends Benchmark {
    bool[] freeMaxs;
    bool[] freeRows;
    bool[] freeMins;
    int[] queenRows;

    int benchmark() {
        bool result = true;
        for (int i = 0; i < 10; i++) {
            result = result && this.queens();
        }
        return result;
    }

    bool verifyResult(int result) {
        return result;
    }

    bool queens() {
        this.freeRows = new bool[8](true);
        this.freeMaxs = new bool[16](true);
        this.freeMins = new bool[16](true);
        this.queenRows = new int[8](-1);
        return this.placeQueen(0);
    }

    bool placeQueen(int c) {
        for (int r = 0; r < 8; r++) {
            if (this.getRowColumn(r, c)) {
                this.queenRows[r] = c;
                this.setRowColumn(r, c, false);
                if (c == 7) {
                    return true;
                }
                if (this.placeQueen(c + 1)) {
                    return true;
                }
                this.setRowColumn(r, c, true);
            }
        }
        return false;
    }

    bool getRowColumn(int r, int c) {
        return this.freeRows[r] && this.freeMaxs[c + r] && this.freeMins[c - r + 7];
    }

    void setRowColumn(int r, int c, bool v) {
        this.freeRows[r] = v;
        this.freeMaxs[c + r] = v;
        this.freeMins[c - r + 7] = v;
    }
}

void main() {
    Queens benchmark = new Queens();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("Queens: wrong result");
    }
    log("Queens: ok");
    exit();
}
