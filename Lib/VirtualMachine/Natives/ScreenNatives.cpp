// Screen natives (group 31): the screen's size and orientation and repaint
// requests, all answered by the host.

#include "VirtualMachine.h"

#include "DrawTargets.h"
#include "ErrorHandling.h"
#include "NativeFamily.h"

namespace {

const char KNotAnObject[] = "The screen listener must be an object";

// The whole screen, in the application's coordinates.
void repaintAll(VirtualMachine& aMachine, TInt)
{
    TInt width = 0;
    TInt height = 0;
    aMachine.services()->getScreenSize(width, height);
    aMachine.services()->requestRepaint(0, 0, width, height);
}

// Width, then height on top.
void screenSize(VirtualMachine& aMachine, TInt)
{
    TInt width = 0;
    TInt height = 0;
    aMachine.services()->getScreenSize(width, height);
    aMachine.pushSlot(static_cast<TUint32>(width));
    aMachine.pushSlot(static_cast<TUint32>(height));
}

// orientation: 1 portrait, 2 landscape.
void setOrientation(VirtualMachine& aMachine, TInt)
{
    aMachine.services()->setOrientation(aMachine.intOperand(0));
    aMachine.popOperands(1);
}

// The host's answer as it is.
void orientation(VirtualMachine& aMachine, TInt)
{
    aMachine.pushSlot(static_cast<TUint32>(aMachine.services()->getOrientation()));
}

// flag.
void setScreenFlag(VirtualMachine& aMachine, TInt)
{
    aMachine.services()->setScreenFlag(aMachine.operand(0) != 0);
    aMachine.popOperands(1);
}

// x, y, width, height. Only the part on the screen is asked for, so that
// no host overflows when it works out the far edges; an area off the
// screen asks for nothing.
void repaintArea(VirtualMachine& aMachine, TInt)
{
    TInt width = 0;
    TInt height = 0;
    aMachine.services()->getScreenSize(width, height);
    const QRect area = DrawTargets::areaWithin(aMachine.intOperand(3), aMachine.intOperand(2), aMachine.intOperand(1),
                                               aMachine.intOperand(0), QRect(0, 0, width, height));
    if (!area.isEmpty())
        aMachine.services()->requestRepaint(area.x(), area.y(), area.width(), area.height());
    aMachine.popOperands(4);
}

// A listener stays rooted while registered. A word that is no object
// would make every later collection fail on the root, so it is refused.
void addListener(VirtualMachine& aMachine, TInt)
{
    const TUint32 listener = aMachine.operand(0);
    if (!aMachine.heap().isReference(listener))
        ErrorHandling::raise(EInvalidArgument, KNotAnObject);
    aMachine.services()->addScreenListener(listener);
    aMachine.heap().addRoot(listener);
    aMachine.popOperands(1);
}

// The root goes with the registration.
void removeListener(VirtualMachine& aMachine, TInt)
{
    const TUint32 listener = aMachine.operand(0);
    aMachine.services()->removeScreenListener(listener);
    aMachine.heap().removeRoot(listener);
    aMachine.popOperands(1);
}

const NativeOperation KOperations[] = {
    {1, "repaintAll", repaintAll},
    {2, "screenSize", screenSize},
    {3, "setOrientation", setOrientation},
    {4, "orientation", orientation},
    {5, "setScreenFlag", setScreenFlag},
    {6, "repaintArea", repaintArea},
    {7, "addListener", addListener},
    {8, "removeListener", removeListener},
};

}

extern const NativeFamily KScreenFamily{"Screen", "Screen:", KOperations};
