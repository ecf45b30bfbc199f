// String values: what instructions 21 and 55 push and what string natives
// take. A string value is a reference cell holding a string object; the
// object's text is an OString kept on the host behind a handle.

#include "VirtualMachine.h"

#include <typeinfo>

#include "ErrorHandling.h"

TUint32 VirtualMachine::newStringValue(const OString& aText)
{
    TUint32 cell = 0;
    TUint32 object = iHeap.createObjectPair(8, HeapEntry::KObjectKindNative, GC_CODE_STRING,
                                            4, HeapEntry::KObjectKindRaw, GC_CODE_REF_CELL, cell);
    iHeap.attachHostObject(object, new OString(aText));
    iArena.setWord(cell, object);
    return cell;
}

TUint32 VirtualMachine::newStringObject(const OString& aText)
{
    return iHeap.createHostObject(8, GC_CODE_STRING, new OString(aText));
}

const OString& VirtualMachine::stringOf(TUint32 aStringValue)
{
    return editableStringOf(aStringValue);
}

OString& VirtualMachine::editableStringOf(TUint32 aStringValue)
{
    if (aStringValue == 0)
        ErrorHandling::raise(ENullPointer, "NULL pointer");
    TUint32 object = iArena.word(aStringValue);
    if (object == 0)
        ErrorHandling::raise(ENullPointer, "NULL pointer");
    // An exact type test is cheaper than a dynamic cast on this hot path;
    // OString is final, so it is also complete.
    GCObject* text = iHeap.hostObject(object);
    if (typeid(*text) != typeid(OString))
        ErrorHandling::raise(EVMError, "Not a string");
    return *static_cast<OString*>(text);
}
