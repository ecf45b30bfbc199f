#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "RandomGenerator.h"

VirtualMachine::VirtualMachine(TUint32 aArenaLimit)
    : iArena(aArenaLimit),
      iStackAddress(iArena.allocate(KStackSlots * 4)),
      iHeap(iArena)
{
    // The interpreter takes the stack's address as the constant; an arena
    // that placed it elsewhere would have it read and write the wrong words.
    if (iStackAddress != KStackAddress)
        ErrorHandling::raise(EVMError, "The stack is not the arena's first block");
    iLoadFlags.grow(KLoadFlagCount);
    iFrames.reserve(KMaxFrames);
    for (TInt32& index : iBindingIndices)
        index = -1;
    iHeap.setClassTables(&iClasses);
    iHeap.setGcInterface(this);
}

// Frees every entry, roots included, so that every finaliser runs before
// the arena goes away. The sweep may meet a heap that the program broke;
// what it raises then must not replace the error that ended the program,
// which the host is about to print.
VirtualMachine::~VirtualMachine()
{
    const ErrorHandling::PreservedError preserved;
    iHeap.finalSweep();
    if (current() == this)
        setCurrent(nullptr);
}

// The frame limit is the machine's stack overflow, raised where the call
// was made.
void VirtualMachine::tooManyFrames()
{
    fatalError(OString("Stack overflow"), iPc);
}

// The index error that checked access to the records raises.
void VirtualMachine::noSuchMethodRecord()
{
    ErrorHandling::raise(EInvalidArgument);
}

void VirtualMachine::leaveFrame()
{
    if (!leaveFrameQuickly())
        ErrorHandling::raise(EInvalidArgument);
}

void VirtualMachine::fatalError(const OString& aMessage, TInt aPosition)
{
    iFatal = ETrue;
    iFatalMessage = aMessage;
    iFatalPosition = aPosition;
    ErrorHandling::raise(EFatalError);
}
