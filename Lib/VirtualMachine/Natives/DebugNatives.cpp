// Debug natives (group 30): the application's log.

#include "VirtualMachine.h"

#include "NativeFamily.h"

namespace {

// s: one line of the log.
void writeLog(VirtualMachine& aMachine, TInt)
{
    aMachine.services()->log(aMachine.stringOf(aMachine.operand(0)));
    aMachine.popOperands(1);
}

// path: the file that later lines go to as well.
void openLogFile(VirtualMachine& aMachine, TInt)
{
    aMachine.services()->openLogFile(aMachine.stringOf(aMachine.operand(0)));
    aMachine.popOperands(1);
}

// Applications call it; the runtime has nothing to do for it.
void ignore(VirtualMachine&, TInt)
{
}

const NativeOperation KOperations[] = {
    {1, "log", writeLog},
    {2, "openLogFile", openLogFile},
    {3, "ignored", ignore},
};

}

extern const NativeFamily KDebugFamily{"Debug", "Debug:", KOperations};
