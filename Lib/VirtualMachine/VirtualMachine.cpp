#include "VirtualMachine.h"

#include "ErrorHandling.h"

VirtualMachine::VirtualMachine()
{
    iLoadFlags.grow(KLoadFlagCount);
}

void VirtualMachine::fatalError(const OString& aMessage, TInt aPosition)
{
    iFatal = ETrue;
    ErrorHandling::raise(EFatalError);
}
