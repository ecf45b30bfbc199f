// Debug natives (group 30): the application's log.

#include "VirtualMachine.h"

#include "NativeGroups.h"

void VirtualMachine::debugNative(TInt aOperation)
{
    switch (aOperation) {
    case 1:
        iServices->log(stringOf(slot(iTop)));
        --iTop;
        break;
    case 2:
        iServices->openLogFile(stringOf(slot(iTop)));
        --iTop;
        break;
    case 3:
        break;
    default:
        undefinedOperation(EGroupDebug);
    }
}
