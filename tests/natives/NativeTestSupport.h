#ifndef KELVO_NATIVETESTSUPPORT_H
#define KELVO_NATIVETESTSUPPORT_H

#include <string>

#include <gtest/gtest.h>

#include "ProgramTestSupport.h"
#include "RaisedCode.h"
#include "RecordingServices.h"

// A loaded machine whose main does not run, with one marker slot at the
// bottom of the stack that no native may touch. Tests push operands, call
// a native and read what it left.
class NativeTest : public ::testing::Test {
protected:
    static constexpr TUint32 KMarker = 0x5A5A5A5A;

    NativeTest()
    {
        ProgramTestSupport::loadProgram(machine, ".static \"main\" 0, -1\n    nop\n", services);
        machine.setTop(-1);
        push(KMarker);
    }

    void push(TUint32 aValue) { machine.pushSlot(aValue); }
    void pushInt(TInt32 aValue) { push(static_cast<TUint32>(aValue)); }
    // Pushes each value as one slot, from left to right.
    template <typename... Values>
    void pushSlots(Values... aValues)
    {
        (push(static_cast<TUint32>(aValues)), ...);
    }
    void pushString(const char* aText) { push(machine.newStringValue(OString(aText))); }
    // A fixed-point value: low word first, high word on top.
    void pushFixed(TInt64 aRaw)
    {
        push(static_cast<TUint32>(aRaw));
        push(static_cast<TUint32>(static_cast<TUint64>(aRaw) >> 32));
    }

    void call(TInt aGroup, TInt aOperation) { machine.callNative(aGroup, aOperation); }
    // The error code that the call raised, 0 for none.
    TInt raised(TInt aGroup, TInt aOperation)
    {
        return raisedCode([&] { call(aGroup, aOperation); });
    }
    // "Name" or "Name: message" of the last error raised.
    std::string errorText() const { return RecordingServices::text(ErrorHandling::currentErrorText()); }

    // How many slots are above the marker.
    TInt depth() const { return machine.top(); }
    TUint32 at(TInt aDepth) { return machine.operand(aDepth); }
    TInt32 intAt(TInt aDepth) { return machine.intOperand(aDepth); }
    TInt64 fixedAt(TInt aDepth) { return machine.fixedOperand(aDepth); }
    std::string textOf(TUint32 aStringValue) { return RecordingServices::text(machine.stringOf(aStringValue)); }
    std::string textAt(TInt aDepth) { return textOf(at(aDepth)); }
    TBool markerIntact() { return machine.slot(0) == KMarker; }

    RecordingServices services;
    VirtualMachine machine;
};

#endif
