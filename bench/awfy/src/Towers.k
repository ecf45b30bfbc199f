// Towers of the "Are We Fast Yet" suite (towers.lua, towers.h): moves a
// tower of 13 disks, objects linked into piles held in a vector of
// references, by the recursive towers of Hanoi. The harness's inner loop
// runs it 600 times, the suite's own inner iterations for it, and checks
// every count of moves (8191); a wrong count, a big disk put on a smaller
// one or a pop from an empty pile is thrown as an exception, which the
// application logs before it ends. Logs "Towers: ok" at the end.

const INNER_ITERATIONS = 600;

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

class TowersDisk {
    int size;
    TowersDisk next;
}

TowersDisk newDisk(int size) {
    TowersDisk disk = new TowersDisk();
    disk.size = size;
    return disk;
}

class Towers extends Benchmark {
    TowersDisk[] piles;
    int movesDone;

    int benchmark() {
        this.piles = new TowersDisk[3];
        this.buildTowerAt(0, 13);
        this.movesDone = 0;
        this.moveDisks(13, 0, 1);
        return this.movesDone;
    }

    bool verifyResult(int result) {
        return result == 8191;
    }

    void pushDisk(TowersDisk disk, int pile) {
        TowersDisk top = this.piles[pile];
        if (top != null && disk.size >= top.size) {
            fail("Cannot put a big disk on a smaller one");
        }
        disk.next = top;
        this.piles[pile] = disk;
    }

    TowersDisk popDiskFrom(int pile) {
        TowersDisk top = this.piles[pile];
        if (top == null) {
            fail("Attempting to remove a disk from an empty pile");
        }
        this.piles[pile] = top.next;
        top.next = null;
        return top;
    }

    void moveTopDisk(int fromPile, int toPile) {
        this.pushDisk(this.popDiskFrom(fromPile), toPile);
        this.movesDone++;
    }

    void buildTowerAt(int pile, int disks) {
        for (int i = disks; i >= 1; i--) {
            this.pushDisk(newDisk(i), pile);
        }
    }

    void moveDisks(int disks, int fromPile, int toPile) {
        if (disks == 1) {
            this.moveTopDisk(fromPile, toPile);
        } else {
            int otherPile = 3 - fromPile - toPile;
            this.moveDisks(disks - 1, fromPile, otherPile);
            this.moveTopDisk(fromPile, toPile);
            this.moveDisks(disks - 1, otherPile, toPile);
        }
    }
}

void main() {
    Towers benchmark = new Towers();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("Towers: wrong result");
    }
    log("Towers: ok");
    exit();
}
