// The calling thread's machine. Natives, the host and the extensions reach
// the machine through this slot rather than through pointers of their own.

#include "VirtualMachine.h"

namespace {

thread_local VirtualMachine* tCurrentMachine = nullptr;

}

VirtualMachine* VirtualMachine::current()
{
    return tCurrentMachine;
}

void VirtualMachine::setCurrent(VirtualMachine* aMachine)
{
    tCurrentMachine = aMachine;
}
