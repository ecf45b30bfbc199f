// List of the "Are We Fast Yet" suite (list.lua, list.h): builds linked
// lists of element objects and runs the recursive Takeuchi-like tail
// function over them, comparing lengths by walking the lists. The
// harness's inner loop runs it 1500 times, the suite's own inner iterations
// for it, and checks every result (10); a wrong one is thrown as an
// exception, which the application logs before it ends. Logs "List: ok" at
// the end.

const INNER_ITERATIONS = 1500;

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

class Element {
    int val;
    Element next;

    int length() {
        if (this.next == null) {
            return 1;
        }
        return 1 + this.next.length();
    }
}

Element newElement(int v) {
    Element element = new Element();
    element.val = v;
    return element;
}

class List extends Benchmark {
    int benchmark() {
        Element result = this.tail(this.makeList(15), this.makeList(10), this.makeList(6));
        return result.length();
    }

    bool verifyResult(int result) {
        return result == 10;
    }

    Element makeList(int length) {
        if (length == 0) {
            return null;
        }
        Element e = newElement(length);
        e.next = this.makeList(length - 1);
        return e;
    }

    bool isShorterThan(Element x, Element y) {
        Element xTail = x;
        Element yTail = y;
        while (yTail != null) {
            if (xTail == null) {
                return true;
            }
            xTail = xTail.next;
            yTail = yTail.next;
        }
        return false;
    }

    Element tail(Element x, Element y, Element z) {
        if (this.isShorterThan(y, x)) {
            return this.tail(this.tail(x.next, y, z), this.tail(y.next, z, x), this.tail(z.next, x, y));
        }
        return z;
    }
}

void main() {
    List benchmark = new List();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("List: wrong result");
    }
    log("List: ok");
    exit();
}
