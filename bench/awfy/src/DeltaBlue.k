// DeltaBlue of the "Are We Fast Yet" suite (deltablue.lua, deltablue.h,
// with the Vector of som.lua): the incremental constraint solver, whose
// planner adds and removes constraints of four kinds (edit, stay, equality,
// scale) over variables, each kind's methods called virtually, and builds
// and runs plans. The harness's inner loop hands it 12000, the suite's own
// inner iterations for it, which is the size of its two tests: a chain of
// 12000 equality constraints and a projection of 12000 scale constraints.
// Every value the tests check (the chain's end after each of 100 edits, the
// four projections) and every constraint the planner cannot satisfy is
// thrown as an exception, which the application logs before it ends. Logs
// "DeltaBlue: ok" at the end.
//
// Written as the originals read, with what the language lacks spelled out:
// the Vector holds Objects, the root class of every element, and its users
// cast what they take out; a use of Vector's each is written as a loop over
// the vector's storage from its first to its last index; a method that
// takes a function (inputsDo, inputsHasOne, constraintsConsuming, sort)
// takes an object whose one method is called virtually, made where the
// original makes its closure; the strength symbols are ints indexing a
// table of strength objects, made once for both tests and reached through
// the planner, as the language has no static fields.

const INNER_ITERATIONS = 12000;
const INITIAL_SIZE = 10;
const ABSOLUTE_STRONGEST = 0;
const REQUIRED = 1;
const STRONG_PREFERRED = 2;
const PREFERRED = 3;
const STRONG_DEFAULT = 4;
const DEFAULT = 5;
const WEAK_DEFAULT = 6;
const ABSOLUTE_WEAKEST = 7;
const STRENGTH_COUNT = 8;
const NONE = 0;
const FORWARD = 1;
const BACKWARD = 2;

class Benchmark {
    bool innerBenchmarkLoop(int innerIterations);
}

class Object {
}

class Comparator {
    bool precedes(Object first, Object second);
}

class Vector {
    Object[] storage;
    int firstIdx;
    int lastIdx;

    void initialize(int size) {
        if (size > 0) {
            this.storage = new Object[size];
        }
    }

    Object at(int idx) {
        if (this.storage == null || idx >= this.storage.length) {
            return null;
        }
        return this.storage[idx];
    }

    void append(Object elem) {
        if (this.storage == null) {
            this.storage = new Object[INITIAL_SIZE];
        } else if (this.lastIdx >= this.storage.length) {
            Object[] newStorage = new Object[2 * this.storage.length];
            for (int i = 0; i < this.storage.length; i++) {
                newStorage[i] = this.storage[i];
            }
            this.storage = newStorage;
        }
        this.storage[this.lastIdx] = elem;
        this.lastIdx = this.lastIdx + 1;
    }

    bool isEmpty() {
        return this.lastIdx == this.firstIdx;
    }

    Object removeFirst() {
        if (this.isEmpty()) {
            return null;
        }
        this.firstIdx = this.firstIdx + 1;
        return this.storage[this.firstIdx - 1];
    }

    bool remove(Object obj) {
        if (this.storage == null || this.isEmpty()) {
            return false;
        }
        Object[] newArray = new Object[this.capacity()];
        int newLast = 0;
        bool found = false;
        for (int i = this.firstIdx; i < this.lastIdx; i++) {
            Object it = this.storage[i];
            if (it == obj) {
                found = true;
            } else {
                newArray[newLast] = it;
                newLast = newLast + 1;
            }
        }
        this.storage = newArray;
        this.lastIdx = newLast;
        this.firstIdx = 0;
        return found;
    }

    int size() {
        return this.lastIdx - this.firstIdx;
    }

    int capacity() {
        if (this.storage == null) {
            return 0;
        }
        return this.storage.length;
    }

    void sort(Comparator fn) {
        if (this.size() > 0) {
            this.sortRange(this.firstIdx, this.lastIdx - 1, fn);
        }
    }

    void sortRange(int i, int j, Comparator fn) {
        int n = j + 1 - i;
        if (n <= 1) {
            return;
        }
        Object[] storage = this.storage;
        Object di = storage[i];
        Object dj = storage[j];
        if (!fn.precedes(di, dj)) {
            Object tmp = storage[i];
            storage[i] = storage[j];
            storage[j] = tmp;
            Object tt = di;
            di = dj;
            dj = tt;
        }
        if (n > 2) {
            int ij = (i + j) / 2;
            Object dij = storage[ij];
            if (fn.precedes(di, dij)) {
                if (!fn.precedes(dij, dj)) {
                    Object tmp = storage[j];
                    storage[j] = storage[ij];
                    storage[ij] = tmp;
                    dij = dj;
                }
            } else {
                Object tmp = storage[i];
                storage[i] = storage[ij];
                storage[ij] = tmp;
                dij = di;
            }
            if (n > 3) {
                int k = i;
                int l = j - 1;
                // The language has no break: the original's endless loop
                // ends on this flag.
                bool crossed = false;
                while (!crossed) {
                    while (k <= l && fn.precedes(dij, storage[l])) {
                        l = l - 1;
                    }
                    k = k + 1;
                    while (k <= l && fn.precedes(storage[k], dij)) {
                        k = k + 1;
                    }
                    if (k > l) {
                        crossed = true;
                    } else {
                        Object tmp = storage[k];
                        storage[k] = storage[l];
                        storage[l] = tmp;
                    }
                }
                this.sortRange(i, l, fn);
                this.sortRange(k, j, fn);
            }
        }
    }
}

Vector newVector(int size) {
    Vector vector = new Vector();
    vector.initialize(size);
    return vector;
}

Vector vectorWith(Object elem) {
    Vector vector = newVector(1);
    vector.append(elem);
    return vector;
}

class Strength {
    int symbolicValue;
    int arithmeticValue;

    bool sameAs(Strength strength) {
        return this.arithmeticValue == strength.arithmeticValue;
    }

    bool stronger(Strength strength) {
        return this.arithmeticValue < strength.arithmeticValue;
    }

    bool weaker(Strength strength) {
        return this.arithmeticValue > strength.arithmeticValue;
    }

    Strength weakest(Strength strength) {
        if (strength.weaker(this)) {
            return strength;
        }
        return this;
    }
}

class StrengthTable {
    Strength[] constants;
    Strength absoluteWeakest;
    Strength required;

    Strength of(int sym) {
        return this.constants[sym];
    }
}

StrengthTable newStrengthTable() {
    int[] values = new int[STRENGTH_COUNT];
    values[ABSOLUTE_STRONGEST] = -10000;
    values[REQUIRED] = -800;
    values[STRONG_PREFERRED] = -600;
    values[PREFERRED] = -400;
    values[STRONG_DEFAULT] = -200;
    values[DEFAULT] = 0;
    values[WEAK_DEFAULT] = 500;
    values[ABSOLUTE_WEAKEST] = 10000;
    StrengthTable table = new StrengthTable();
    table.constants = new Strength[STRENGTH_COUNT];
    for (int sym = 0; sym < STRENGTH_COUNT; sym++) {
        Strength strength = new Strength();
        strength.symbolicValue = sym;
        strength.arithmeticValue = values[sym];
        table.constants[sym] = strength;
    }
    table.absoluteWeakest = table.of(ABSOLUTE_WEAKEST);
    table.required = table.of(REQUIRED);
    return table;
}

class VariableAction {
    void run(Variable v);
}

class VariableTest {
    bool test(Variable v);
}

class ConstraintAction {
    void run(AbstractConstraint c);
}

class MarkInput extends VariableAction {
    int mark;

    void run(Variable v) {
        v.mark = this.mark;
    }
}

class InputNotKnown extends VariableTest {
    int mark;

    bool test(Variable v) {
        return !(v.mark == this.mark || v.stay || v.determinedBy == null);
    }
}

class AbstractConstraint extends Object {
    Strength strength;

    bool isSatisfied();
    void addToGraph();
    void removeFromGraph();
    int chooseMethod(int mark);
    void execute();
    void inputsDo(VariableAction fn);
    bool inputsHasOne(VariableTest fn);
    void markUnsatisfied();
    Variable output();
    void recalculate();

    bool isInput() {
        return false;
    }

    void addConstraint(Planner planner) {
        this.addToGraph();
        planner.incrementalAdd(this);
    }

    void destroyConstraint(Planner planner) {
        if (this.isSatisfied()) {
            planner.incrementalRemove(this);
        }
        this.removeFromGraph();
    }

    bool inputsKnown(int mark) {
        InputNotKnown fn = new InputNotKnown();
        fn.mark = mark;
        return !this.inputsHasOne(fn);
    }

    AbstractConstraint satisfy(int mark, Planner planner) {
        AbstractConstraint overridden = null;
        this.chooseMethod(mark);
        if (this.isSatisfied()) {
            // Marks the inputs to allow cycle detection in addPropagate.
            MarkInput fn = new MarkInput();
            fn.mark = mark;
            this.inputsDo(fn);
            Variable out = this.output();
            overridden = out.determinedBy;
            if (overridden != null) {
                overridden.markUnsatisfied();
            }
            out.determinedBy = this;
            if (!planner.addPropagate(this, mark)) {
                fail("Cycle encountered adding: Constraint removed");
            }
            out.mark = mark;
        } else {
            overridden = null;
            if (this.strength.sameAs(planner.strengths.required)) {
                fail("Failed to satisfy a required constraint");
            }
        }
        return overridden;
    }
}

class BinaryConstraint extends AbstractConstraint {
    Variable v1;
    Variable v2;
    int direction;

    void buildBinary(Variable v1, Variable v2, Strength strength) {
        this.strength = strength;
        this.v1 = v1;
        this.v2 = v2;
        this.direction = NONE;
    }

    bool isSatisfied() {
        return this.direction != NONE;
    }

    void addToGraph() {
        this.v1.addConstraint(this);
        this.v2.addConstraint(this);
        this.direction = NONE;
    }

    void removeFromGraph() {
        if (this.v1 != null) {
            this.v1.removeConstraint(this);
        }
        if (this.v2 != null) {
            this.v2.removeConstraint(this);
        }
        this.direction = NONE;
    }

    int chooseMethod(int mark) {
        if (this.v1.mark == mark) {
            if (this.v2.mark != mark && this.strength.stronger(this.v2.walkStrength)) {
                this.direction = FORWARD;
                return this.direction;
            }
            this.direction = NONE;
            return NONE;
        }
        if (this.v2.mark == mark) {
            if (this.v1.mark != mark && this.strength.stronger(this.v1.walkStrength)) {
                this.direction = BACKWARD;
                return this.direction;
            }
            this.direction = NONE;
            return NONE;
        }
        // Neither variable is marked, so there is a choice.
        if (this.v1.walkStrength.weaker(this.v2.walkStrength)) {
            if (this.strength.stronger(this.v1.walkStrength)) {
                this.direction = BACKWARD;
                return this.direction;
            }
            this.direction = NONE;
            return NONE;
        }
        if (this.strength.stronger(this.v2.walkStrength)) {
            this.direction = FORWARD;
            return this.direction;
        }
        this.direction = NONE;
        return NONE;
    }

    void inputsDo(VariableAction fn) {
        if (this.direction == FORWARD) {
            fn.run(this.v1);
        } else {
            fn.run(this.v2);
        }
    }

    bool inputsHasOne(VariableTest fn) {
        if (this.direction == FORWARD) {
            return fn.test(this.v1);
        }
        return fn.test(this.v2);
    }

    void markUnsatisfied() {
        this.direction = NONE;
    }

    Variable output() {
        if (this.direction == FORWARD) {
            return this.v2;
        }
        return this.v1;
    }

    void recalculate() {
        Variable ihn = null;
        Variable out = null;
        if (this.direction == FORWARD) {
            ihn = this.v1;
            out = this.v2;
        } else {
            ihn = this.v2;
            out = this.v1;
        }
        out.walkStrength = this.strength.weakest(ihn.walkStrength);
        out.stay = ihn.stay;
        if (out.stay) {
            this.execute();
        }
    }
}

class UnaryConstraint extends AbstractConstraint {
    Variable myOutput;
    bool satisfied;

    void buildUnary(Variable v, Strength strength, Planner planner) {
        this.strength = strength;
        this.myOutput = v;
        this.satisfied = false;
        this.addConstraint(planner);
    }

    bool isSatisfied() {
        return this.satisfied;
    }

    void addToGraph() {
        this.myOutput.addConstraint(this);
        this.satisfied = false;
    }

    void removeFromGraph() {
        if (this.myOutput != null) {
            this.myOutput.removeConstraint(this);
        }
        this.satisfied = false;
    }

    int chooseMethod(int mark) {
        this.satisfied = this.myOutput.mark != mark && this.strength.stronger(this.myOutput.walkStrength);
        return NONE;
    }

    void inputsDo(VariableAction fn) {
        // No input variable.
    }

    bool inputsHasOne(VariableTest fn) {
        return false;
    }

    void markUnsatisfied() {
        this.satisfied = false;
    }

    Variable output() {
        return this.myOutput;
    }

    void recalculate() {
        this.myOutput.walkStrength = this.strength;
        this.myOutput.stay = !this.isInput();
        if (this.myOutput.stay) {
            this.execute();
        }
    }
}

class EditConstraint extends UnaryConstraint {
    bool isInput() {
        return true;
    }

    void execute() {
        // Edit constraints do nothing.
    }
}

EditConstraint newEditConstraint(Variable v, int strength, Planner planner) {
    EditConstraint constraint = new EditConstraint();
    constraint.buildUnary(v, planner.strengths.of(strength), planner);
    return constraint;
}

class StayConstraint extends UnaryConstraint {
    void execute() {
        // Stay constraints do nothing.
    }
}

StayConstraint newStayConstraint(Variable v, int strength, Planner planner) {
    StayConstraint constraint = new StayConstraint();
    constraint.buildUnary(v, planner.strengths.of(strength), planner);
    return constraint;
}

class EqualityConstraint extends BinaryConstraint {
    void execute() {
        if (this.direction == FORWARD) {
            this.v2.value = this.v1.value;
        } else {
            this.v1.value = this.v2.value;
        }
    }
}

EqualityConstraint newEqualityConstraint(Variable var1, Variable var2, int strength, Planner planner) {
    EqualityConstraint constraint = new EqualityConstraint();
    constraint.buildBinary(var1, var2, planner.strengths.of(strength));
    constraint.addConstraint(planner);
    return constraint;
}

class ScaleConstraint extends BinaryConstraint {
    Variable scale;
    Variable offset;

    void addToGraph() {
        this.v1.addConstraint(this);
        this.v2.addConstraint(this);
        this.scale.addConstraint(this);
        this.offset.addConstraint(this);
        this.direction = NONE;
    }

    void removeFromGraph() {
        if (this.v1 != null) {
            this.v1.removeConstraint(this);
        }
        if (this.v2 != null) {
            this.v2.removeConstraint(this);
        }
        if (this.scale != null) {
            this.scale.removeConstraint(this);
        }
        if (this.offset != null) {
            this.offset.removeConstraint(this);
        }
        this.direction = NONE;
    }

    void execute() {
        if (this.direction == FORWARD) {
            this.v2.value = this.v1.value * this.scale.value + this.offset.value;
        } else {
            this.v1.value = (this.v2.value - this.offset.value) / this.scale.value;
        }
    }

    void inputsDo(VariableAction fn) {
        if (this.direction == FORWARD) {
            fn.run(this.v1);
            fn.run(this.scale);
            fn.run(this.offset);
        } else {
            fn.run(this.v2);
            fn.run(this.scale);
            fn.run(this.offset);
        }
    }

    void recalculate() {
        Variable ihn = null;
        Variable out = null;
        if (this.direction == FORWARD) {
            ihn = this.v1;
            out = this.v2;
        } else {
            out = this.v1;
            ihn = this.v2;
        }
        out.walkStrength = this.strength.weakest(ihn.walkStrength);
        out.stay = ihn.stay && this.scale.stay && this.offset.stay;
        if (out.stay) {
            this.execute();
        }
    }
}

ScaleConstraint newScaleConstraint(Variable src, Variable scale, Variable offset, Variable dest, int strength,
                                   Planner planner) {
    ScaleConstraint constraint = new ScaleConstraint();
    constraint.scale = scale;
    constraint.offset = offset;
    constraint.buildBinary(src, dest, planner.strengths.of(strength));
    constraint.addConstraint(planner);
    return constraint;
}

class Variable extends Object {
    int value;
    Vector constraints;
    AbstractConstraint determinedBy;
    Strength walkStrength;
    bool stay;
    int mark;

    void addConstraint(AbstractConstraint constraint) {
        this.constraints.append(constraint);
    }

    void removeConstraint(AbstractConstraint constraint) {
        this.constraints.remove(constraint);
        if (this.determinedBy == constraint) {
            this.determinedBy = null;
        }
    }
}

Variable newVariable(int initialValue, StrengthTable strengths) {
    Variable variable = new Variable();
    variable.value = initialValue;
    variable.constraints = newVector(2);
    variable.determinedBy = null;
    variable.walkStrength = strengths.absoluteWeakest;
    variable.stay = true;
    variable.mark = 0;
    return variable;
}

class Plan extends Vector {
    void execute() {
        for (int i = this.firstIdx; i < this.lastIdx; i++) {
            AbstractConstraint c = (AbstractConstraint) this.storage[i];
            c.execute();
        }
    }
}

Plan newPlan() {
    Plan plan = new Plan();
    plan.initialize(15);
    return plan;
}

class RecalculateConsumer extends ConstraintAction {
    Vector todo;

    void run(AbstractConstraint c) {
        c.recalculate();
        this.todo.append(c.output());
    }
}

class StrongerFirst extends Comparator {
    bool precedes(Object first, Object second) {
        return ((AbstractConstraint) first).strength.stronger(((AbstractConstraint) second).strength);
    }
}

class Planner {
    int currentMark;
    StrengthTable strengths;

    void incrementalAdd(AbstractConstraint constraint) {
        int mark = this.newMark();
        AbstractConstraint overridden = constraint.satisfy(mark, this);
        while (overridden != null) {
            overridden = overridden.satisfy(mark, this);
        }
    }

    void incrementalRemove(AbstractConstraint constraint) {
        Variable out = constraint.output();
        constraint.markUnsatisfied();
        constraint.removeFromGraph();
        Vector unsatisfied = this.removePropagateFrom(out);
        for (int i = unsatisfied.firstIdx; i < unsatisfied.lastIdx; i++) {
            this.incrementalAdd((AbstractConstraint) unsatisfied.storage[i]);
        }
    }

    Plan extractPlanFromConstraints(Vector constraints) {
        Vector sources = newVector(0);
        for (int i = constraints.firstIdx; i < constraints.lastIdx; i++) {
            AbstractConstraint c = (AbstractConstraint) constraints.storage[i];
            if (c.isInput() && c.isSatisfied()) {
                sources.append(c);
            }
        }
        return this.makePlan(sources);
    }

    Plan makePlan(Vector sources) {
        int mark = this.newMark();
        Plan plan = newPlan();
        Vector todo = sources;
        while (!todo.isEmpty()) {
            AbstractConstraint c = (AbstractConstraint) todo.removeFirst();
            if (c.output().mark != mark && c.inputsKnown(mark)) {
                // Not in the plan already and eligible for inclusion.
                plan.append(c);
                c.output().mark = mark;
                this.addConstraintsConsumingTo(c.output(), todo);
            }
        }
        return plan;
    }

    void addConstraintsConsumingTo(Variable v, Vector coll) {
        AbstractConstraint determiningC = v.determinedBy;
        Vector constraints = v.constraints;
        for (int i = constraints.firstIdx; i < constraints.lastIdx; i++) {
            AbstractConstraint c = (AbstractConstraint) constraints.storage[i];
            if (c != determiningC && c.isSatisfied()) {
                coll.append(c);
            }
        }
    }

    bool addPropagate(AbstractConstraint c, int mark) {
        Vector todo = vectorWith(c);
        while (!todo.isEmpty()) {
            AbstractConstraint d = (AbstractConstraint) todo.removeFirst();
            if (d.output().mark == mark) {
                this.incrementalRemove(c);
                return false;
            }
            d.recalculate();
            this.addConstraintsConsumingTo(d.output(), todo);
        }
        return true;
    }

    void changeVar(Variable var, int val) {
        EditConstraint editConstraint = newEditConstraint(var, PREFERRED, this);
        Plan plan = this.extractPlanFromConstraints(vectorWith(editConstraint));
        for (int i = 0; i < 10; i++) {
            var.value = val;
            plan.execute();
        }
        editConstraint.destroyConstraint(this);
    }

    void constraintsConsuming(Variable v, ConstraintAction fn) {
        AbstractConstraint determiningC = v.determinedBy;
        Vector constraints = v.constraints;
        for (int i = constraints.firstIdx; i < constraints.lastIdx; i++) {
            AbstractConstraint c = (AbstractConstraint) constraints.storage[i];
            if (c != determiningC && c.isSatisfied()) {
                fn.run(c);
            }
        }
    }

    int newMark() {
        int currentMark = this.currentMark;
        this.currentMark = currentMark + 1;
        return currentMark;
    }

    Vector removePropagateFrom(Variable out) {
        Vector unsatisfied = newVector(0);
        out.determinedBy = null;
        out.walkStrength = this.strengths.absoluteWeakest;
        out.stay = true;
        Vector todo = vectorWith(out);
        while (!todo.isEmpty()) {
            Variable v = (Variable) todo.removeFirst();
            Vector constraints = v.constraints;
            for (int i = constraints.firstIdx; i < constraints.lastIdx; i++) {
                AbstractConstraint c = (AbstractConstraint) constraints.storage[i];
                if (!c.isSatisfied()) {
                    unsatisfied.append(c);
                }
            }
            RecalculateConsumer fn = new RecalculateConsumer();
            fn.todo = todo;
            this.constraintsConsuming(v, fn);
        }
        unsatisfied.sort(new StrongerFirst());
        return unsatisfied;
    }
}

Planner newPlanner(StrengthTable strengths) {
    Planner planner = new Planner();
    planner.currentMark = 1;
    planner.strengths = strengths;
    return planner;
}

// The standard DeltaBlue benchmark: a long chain of equality constraints
// with a stay constraint on one end and an edit constraint added to the
// other, stronger than the stay, so that every value propagates down the
// whole chain.
void chainTest(int n, StrengthTable strengths) {
    Planner planner = newPlanner(strengths);
    Variable[] vars = new Variable[n + 1];
    for (int i = 0; i < n + 1; i++) {
        vars[i] = newVariable(0, strengths);
    }
    // Threads a chain of equality constraints through the variables.
    for (int i = 0; i < n; i++) {
        Variable v1 = vars[i];
        Variable v2 = vars[i + 1];
        newEqualityConstraint(v1, v2, REQUIRED, planner);
    }
    newStayConstraint(vars[n], STRONG_DEFAULT, planner);
    EditConstraint edit = newEditConstraint(vars[0], PREFERRED, planner);
    Plan plan = planner.extractPlanFromConstraints(vectorWith(edit));
    for (int v = 1; v <= 100; v++) {
        vars[0].value = v;
        plan.execute();
        if (vars[n].value != v) {
            fail("Chain test failed!");
        }
    }
    edit.destroyConstraint(planner);
}

// Two sets of variables related by a linear transformation (scale and
// offset): a variable on either side is changed, then the scale and the
// offset.
void projectionTest(int n, StrengthTable strengths) {
    Planner planner = newPlanner(strengths);
    Vector dests = newVector(0);
    Variable scale = newVariable(10, strengths);
    Variable offset = newVariable(1000, strengths);
    Variable src = null;
    Variable dst = null;
    for (int i = 1; i <= n; i++) {
        src = newVariable(i, strengths);
        dst = newVariable(i, strengths);
        dests.append(dst);
        newStayConstraint(src, DEFAULT, planner);
        newScaleConstraint(src, scale, offset, dst, REQUIRED, planner);
    }
    planner.changeVar(src, 17);
    if (dst.value != 1170) {
        fail("Projection 1 failed");
    }
    planner.changeVar(dst, 1050);
    if (src.value != 5) {
        fail("Projection 2 failed");
    }
    planner.changeVar(scale, 5);
    for (int i = 0; i < n - 1; i++) {
        if (((Variable) dests.at(i)).value != (i + 1) * 5 + 1000) {
            fail("Projection 3 failed");
        }
    }
    planner.changeVar(offset, 2000);
    for (int i = 0; i < n - 1; i++) {
        if (((Variable) dests.at(i)).value != (i + 1) * 5 + 2000) {
            fail("Projection 4 failed");
        }
    }
}

class DeltaBlue extends Benchmark {
    bool innerBenchmarkLoop(int innerIterations) {
        StrengthTable strengths = newStrengthTable();
        chainTest(innerIterations, strengths);
        projectionTest(innerIterations, strengths);
        return true;
    }
}

void main() {
    DeltaBlue benchmark = new DeltaBlue();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("DeltaBlue: wrong result");
    }
    log("DeltaBlue: ok");
    exit();
}
