// Richards of the "Are We Fast Yet" suite (richards.lua, richards.h): the
// operating-system simulation, a scheduler of six task control blocks that
// pass packets through their queues, each task's work a function object
// called virtually, its data one of four record classes. The harness's
// inner loop runs it 100 times, the suite's own inner iterations for it,
// and checks every run's counts (23246 packets queued, 9297 holds); a
// wrong result or a missing task is thrown as an exception, which the
// application logs before it ends. Logs "Richards: ok" at the end.

const INNER_ITERATIONS = 100;
const IDLER = 1;
const WORKER = 2;
const HANDLER_A = 3;
const HANDLER_B = 4;
const DEVICE_A = 5;
const DEVICE_B = 6;
const DEVICE_PACKET_KIND = 0;
const WORK_PACKET_KIND = 1;
const DATA_SIZE = 4;

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

class RBObject {
    Packet append(Packet packet, Packet queueHead) {
        packet.link = null;
        if (queueHead == null) {
            return packet;
        }
        Packet mouse = queueHead;
        Packet link = mouse.link;
        while (link != null) {
            mouse = link;
            link = mouse.link;
        }
        mouse.link = packet;
        return queueHead;
    }
}

class DeviceTaskDataRecord extends RBObject {
    Packet pending;
}

class HandlerTaskDataRecord extends RBObject {
    Packet workIn;
    Packet deviceIn;

    void deviceInAdd(Packet packet) {
        this.deviceIn = this.append(packet, this.deviceIn);
    }

    void workInAdd(Packet packet) {
        this.workIn = this.append(packet, this.workIn);
    }
}

class IdleTaskDataRecord extends RBObject {
    int control;
    int count;
}

class WorkerTaskDataRecord extends RBObject {
    int destination;
    int count;
}

class Packet extends RBObject {
    Packet link;
    int kind;
    int identity;
    int datum;
    int[] data;
}

Packet newPacket(Packet link, int identity, int kind) {
    Packet packet = new Packet();
    packet.link = link;
    packet.kind = kind;
    packet.identity = identity;
    packet.datum = 0;
    packet.data = new int[DATA_SIZE];
    return packet;
}

class TaskState extends RBObject {
    bool packetPending;
    bool taskWaiting;
    bool taskHolding;

    bool isPacketPending() {
        return this.packetPending;
    }

    bool isTaskHolding() {
        return this.taskHolding;
    }

    bool isTaskWaiting() {
        return this.taskWaiting;
    }

    TaskState packetPendingState() {
        this.packetPending = true;
        this.taskWaiting = false;
        this.taskHolding = false;
        return this;
    }

    TaskState running() {
        this.packetPending = false;
        this.taskWaiting = false;
        this.taskHolding = false;
        return this;
    }

    TaskState waiting() {
        this.packetPending = false;
        this.taskHolding = false;
        this.taskWaiting = true;
        return this;
    }

    TaskState waitingWithPacket() {
        this.taskHolding = false;
        this.taskWaiting = true;
        this.packetPending = true;
        return this;
    }

    bool isTaskHoldingOrWaiting() {
        return this.taskHolding || (!this.packetPending && this.taskWaiting);
    }

    bool isWaitingWithPacket() {
        return this.packetPending && this.taskWaiting && !this.taskHolding;
    }
}

TaskState createRunning() {
    return new TaskState().running();
}

TaskState createWaiting() {
    return new TaskState().waiting();
}

TaskState createWaitingWithPacket() {
    return new TaskState().waitingWithPacket();
}

class ProcessFunction {
    Scheduler scheduler;

    TaskControlBlock apply(Packet work, RBObject word);
}

class DeviceFunction extends ProcessFunction {
    TaskControlBlock apply(Packet packet, RBObject word) {
        DeviceTaskDataRecord data = (DeviceTaskDataRecord) word;
        if (packet == null) {
            packet = data.pending;
            if (packet == null) {
                return this.scheduler.markWaiting();
            }
            data.pending = null;
            return this.scheduler.queuePacket(packet);
        }
        data.pending = packet;
        return this.scheduler.holdSelf();
    }
}

class HandlerFunction extends ProcessFunction {
    TaskControlBlock apply(Packet packet, RBObject word) {
        HandlerTaskDataRecord data = (HandlerTaskDataRecord) word;
        if (packet != null) {
            if (packet.kind == WORK_PACKET_KIND) {
                data.workInAdd(packet);
            } else {
                data.deviceInAdd(packet);
            }
        }
        Packet workPacket = data.workIn;
        if (workPacket == null) {
            return this.scheduler.markWaiting();
        }
        int count = workPacket.datum;
        if (count >= DATA_SIZE) {
            data.workIn = workPacket.link;
            return this.scheduler.queuePacket(workPacket);
        }
        Packet devicePacket = data.deviceIn;
        if (devicePacket == null) {
            return this.scheduler.markWaiting();
        }
        data.deviceIn = devicePacket.link;
        devicePacket.datum = workPacket.data[count];
        workPacket.datum = count + 1;
        return this.scheduler.queuePacket(devicePacket);
    }
}

class IdlerFunction extends ProcessFunction {
    TaskControlBlock apply(Packet packet, RBObject word) {
        IdleTaskDataRecord data = (IdleTaskDataRecord) word;
        data.count--;
        if (data.count == 0) {
            return this.scheduler.holdSelf();
        }
        if ((data.control & 1) == 0) {
            data.control = data.control / 2;
            return this.scheduler.release(DEVICE_A);
        }
        data.control = ((data.control - 1) / 2) ^ 53256;
        return this.scheduler.release(DEVICE_B);
    }
}

class WorkerFunction extends ProcessFunction {
    TaskControlBlock apply(Packet packet, RBObject word) {
        WorkerTaskDataRecord data = (WorkerTaskDataRecord) word;
        if (packet == null) {
            return this.scheduler.markWaiting();
        }
        if (data.destination == HANDLER_A) {
            data.destination = HANDLER_B;
        } else {
            data.destination = HANDLER_A;
        }
        packet.identity = data.destination;
        packet.datum = 0;
        for (int i = 0; i < DATA_SIZE; i++) {
            data.count++;
            if (data.count > 26) {
                data.count = 1;
            }
            packet.data[i] = 65 + data.count - 1;
        }
        return this.scheduler.queuePacket(packet);
    }
}

class TaskControlBlock extends TaskState {
    TaskControlBlock link;
    int identity;
    int priority;
    Packet input;
    ProcessFunction function;
    RBObject handle;

    TaskControlBlock addInputAndCheckPriority(Packet packet, TaskControlBlock oldTask) {
        if (this.input == null) {
            this.input = packet;
            this.packetPending = true;
            if (this.priority > oldTask.priority) {
                return this;
            }
        } else {
            this.input = this.append(packet, this.input);
        }
        return oldTask;
    }

    TaskControlBlock runTask() {
        Packet message = null;
        if (this.isWaitingWithPacket()) {
            message = this.input;
            this.input = message.link;
            if (this.input == null) {
                this.running();
            } else {
                this.packetPendingState();
            }
        }
        return this.function.apply(message, this.handle);
    }
}

TaskControlBlock newTaskControlBlock(TaskControlBlock link, int identity, int priority, Packet initialWorkQueue,
                                     TaskState initialState, RBObject privateData, ProcessFunction function) {
    TaskControlBlock task = new TaskControlBlock();
    task.link = link;
    task.identity = identity;
    task.priority = priority;
    task.input = initialWorkQueue;
    task.packetPending = initialState.isPacketPending();
    task.taskWaiting = initialState.isTaskWaiting();
    task.taskHolding = initialState.isTaskHolding();
    task.handle = privateData;
    task.function = function;
    return task;
}

class Scheduler extends RBObject {
    TaskControlBlock taskList;
    TaskControlBlock currentTask;
    int currentTaskIdentity;
    TaskControlBlock[] taskTable;
    int queuePacketCount;
    int holdCount;

    void createDevice(int identity, int priority, Packet workPacket, TaskState state) {
        DeviceFunction function = new DeviceFunction();
        function.scheduler = this;
        this.createTask(identity, priority, workPacket, state, new DeviceTaskDataRecord(), function);
    }

    void createHandler(int identity, int priority, Packet workPacket, TaskState state) {
        HandlerFunction function = new HandlerFunction();
        function.scheduler = this;
        this.createTask(identity, priority, workPacket, state, new HandlerTaskDataRecord(), function);
    }

    void createIdler(int identity, int priority, Packet workPacket, TaskState state) {
        IdleTaskDataRecord data = new IdleTaskDataRecord();
        data.control = 1;
        data.count = 10000;
        IdlerFunction function = new IdlerFunction();
        function.scheduler = this;
        this.createTask(identity, priority, workPacket, state, data, function);
    }

    void createWorker(int identity, int priority, Packet workPacket, TaskState state) {
        WorkerTaskDataRecord data = new WorkerTaskDataRecord();
        data.destination = HANDLER_A;
        data.count = 0;
        WorkerFunction function = new WorkerFunction();
        function.scheduler = this;
        this.createTask(identity, priority, workPacket, state, data, function);
    }

    void createTask(int identity, int priority, Packet work, TaskState state, RBObject data,
                    ProcessFunction function) {
        TaskControlBlock task = newTaskControlBlock(this.taskList, identity, priority, work, state, data, function);
        this.taskList = task;
        this.taskTable[identity - 1] = task;
    }

    bool start() {
        this.createIdler(IDLER, 0, null, createRunning());
        Packet workQueue = newPacket(null, WORKER, WORK_PACKET_KIND);
        workQueue = newPacket(workQueue, WORKER, WORK_PACKET_KIND);
        this.createWorker(WORKER, 1000, workQueue, createWaitingWithPacket());

        workQueue = newPacket(null, DEVICE_A, DEVICE_PACKET_KIND);
        workQueue = newPacket(workQueue, DEVICE_A, DEVICE_PACKET_KIND);
        workQueue = newPacket(workQueue, DEVICE_A, DEVICE_PACKET_KIND);
        this.createHandler(HANDLER_A, 2000, workQueue, createWaitingWithPacket());

        workQueue = newPacket(null, DEVICE_B, DEVICE_PACKET_KIND);
        workQueue = newPacket(workQueue, DEVICE_B, DEVICE_PACKET_KIND);
        workQueue = newPacket(workQueue, DEVICE_B, DEVICE_PACKET_KIND);
        this.createHandler(HANDLER_B, 3000, workQueue, createWaitingWithPacket());

        this.createDevice(DEVICE_A, 4000, null, createWaiting());
        this.createDevice(DEVICE_B, 5000, null, createWaiting());

        this.schedule();

        return this.queuePacketCount == 23246 && this.holdCount == 9297;
    }

    TaskControlBlock findTask(int identity) {
        TaskControlBlock task = this.taskTable[identity - 1];
        if (task == null) {
            fail("findTask failed");
        }
        return task;
    }

    TaskControlBlock holdSelf() {
        this.holdCount++;
        this.currentTask.taskHolding = true;
        return this.currentTask.link;
    }

    TaskControlBlock queuePacket(Packet packet) {
        TaskControlBlock task = this.findTask(packet.identity);
        this.queuePacketCount++;
        packet.link = null;
        packet.identity = this.currentTaskIdentity;
        return task.addInputAndCheckPriority(packet, this.currentTask);
    }

    TaskControlBlock release(int identity) {
        TaskControlBlock task = this.findTask(identity);
        task.taskHolding = false;
        if (task.priority > this.currentTask.priority) {
            return task;
        }
        return this.currentTask;
    }

    TaskControlBlock markWaiting() {
        this.currentTask.taskWaiting = true;
        return this.currentTask;
    }

    void schedule() {
        this.currentTask = this.taskList;
        while (this.currentTask != null) {
            if (this.currentTask.isTaskHoldingOrWaiting()) {
                this.currentTask = this.currentTask.link;
            } else {
                this.currentTaskIdentity = this.currentTask.identity;
                this.currentTask = this.currentTask.runTask();
            }
        }
    }
}

class Richards extends Benchmark {
    int benchmark() {
        Scheduler scheduler = new Scheduler();
        scheduler.taskTable = new TaskControlBlock[6];
        return scheduler.start();
    }

    bool verifyResult(int result) {
        return result;
    }
}

void main() {
    Richards benchmark = new Richards();
    if (!benchmark.innerBenchmarkLoop(INNER_ITERATIONS)) {
        fail("Richards: wrong result");
    }
    log("Richards: ok");
    exit();
}
