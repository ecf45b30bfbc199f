// String natives (group 8) that edit a string object in place. Every
// reference to the edited object sees the change; other objects that share
// its text keep theirs, because the string copies its units on write. None
// of these operations has a result.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "StringOperands.h"

namespace {

enum TOccurrence { EFirst, ELast, EAll };

void replaceOccurrence(OString& aText, TOccurrence aWhich, const OString& aSub, const OString& aReplacement,
                       TBounds aBounds, TBool aCaseSensitive)
{
    switch (aWhich) {
    case EFirst:
        aText.replaceFirst(aSub, aReplacement, aBounds.iStart, aBounds.iEnd, aCaseSensitive);
        break;
    case ELast:
        aText.replaceLast(aSub, aReplacement, aBounds.iStart, aBounds.iEnd, aCaseSensitive);
        break;
    default:
        aText.replaceAll(aSub, aReplacement, aBounds.iStart, aBounds.iEnd, aCaseSensitive);
    }
}

// s, sub, [start, count], repl or ch, [cs].
void replace(VirtualMachine& aMachine, TOccurrence aWhich, TForm aForm)
{
    StringOperands operands(aMachine, aForm.operandCount(3));
    OString& text = operands.editableString();
    const OString sub = operands.string();
    const TBounds bounds = operands.boundsIf(aForm.iRange, text);
    const OString replacement = operands.text(aForm.iUnit);
    const TBool caseSensitive = operands.caseSensitive(aForm.iCaseFlag);
    replaceOccurrence(text, aWhich, sub, replacement, bounds, caseSensitive);
    operands.finish();
}

// s, sub or ch, [start, count], [cs].
void remove(VirtualMachine& aMachine, TOccurrence aWhich, TForm aForm)
{
    StringOperands operands(aMachine, aForm.operandCount(2));
    OString& text = operands.editableString();
    const OString sub = operands.text(aForm.iUnit);
    const TBounds bounds = operands.boundsIf(aForm.iRange, text);
    const TBool caseSensitive = operands.caseSensitive(aForm.iCaseFlag);
    switch (aWhich) {
    case EFirst:
        text.removeFirst(sub, bounds.iStart, bounds.iEnd, caseSensitive);
        break;
    case ELast:
        text.removeLast(sub, bounds.iStart, bounds.iEnd, caseSensitive);
        break;
    default:
        text.removeAll(sub, bounds.iStart, bounds.iEnd, caseSensitive);
    }
    operands.finish();
}

// s, [n]: the head or the tail, one unit or n of them.
void removeEnd(VirtualMachine& aMachine, TBool aTail, TBool aCounted)
{
    StringOperands operands(aMachine, aCounted ? 2 : 1);
    OString& text = operands.editableString();
    const TInt count = aCounted ? operands.integer() : 1;
    if (aTail)
        text.removeTail(count);
    else
        text.removeHead(count);
    operands.finish();
}

// The edits that take nothing but the string.
void transform(VirtualMachine& aMachine, void (*aEdit)(OString&))
{
    StringOperands operands(aMachine, 1);
    aEdit(operands.editableString());
    operands.finish();
}

}

namespace StringNatives {

// Appending is what loops that build text call most: no copy of either
// string, so that a string with room to spare grows where it is.
void append(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.append(operands.string());
    operands.finish();
}

void appendUnit(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.append(operands.unit());
    operands.finish();
}

// 57: s, str, pos; 58: s, ch, pos.
void insert(VirtualMachine& aMachine, TInt aOperation)
{
    StringOperands operands(aMachine, 3);
    OString& text = operands.editableString();
    const OString insertion = operands.text(aOperation == 58);
    text.insert(operands.integer(), insertion);
    operands.finish();
}

// s, str, start, count, pos: a range of str goes in.
void insertRange(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 5);
    OString& text = operands.editableString();
    const OString insertion = operands.string();
    const TBounds bounds = operands.bounds(insertion);
    text.insertTo(operands.integer(), insertion, bounds.iStart, bounds.iEnd);
    operands.finish();
}

// 60: s, str; 61: s, ch.
void prepend(VirtualMachine& aMachine, TInt aOperation)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.prepend(operands.text(aOperation == 61));
    operands.finish();
}

// s, n.
void repeat(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.repeat(operands.integer());
    operands.finish();
}

// 67: s, start, count, str; 68: s, start, count, ch.
void replaceRange(VirtualMachine& aMachine, TInt aOperation)
{
    StringOperands operands(aMachine, 4);
    OString& text = operands.editableString();
    const TBounds bounds = operands.bounds(text);
    const OString replacement = operands.text(aOperation == 68);
    text.replaceRange(bounds.iStart, bounds.iEnd, replacement);
    operands.finish();
}

// Each run of eight forms starts at the form without options; the
// offset's bits say which operands a form adds (TForm).
void replaceFirst(VirtualMachine& aMachine, TInt aOperation)
{
    replace(aMachine, EFirst, TForm::replacement(aOperation - 69));
}

void replaceLast(VirtualMachine& aMachine, TInt aOperation)
{
    replace(aMachine, ELast, TForm::replacement(aOperation - 77));
}

void replaceAll(VirtualMachine& aMachine, TInt aOperation)
{
    replace(aMachine, EAll, TForm::replacement(aOperation - 85));
}

void removeFirst(VirtualMachine& aMachine, TInt aOperation)
{
    remove(aMachine, EFirst, TForm::search(aOperation - 95));
}

void removeLast(VirtualMachine& aMachine, TInt aOperation)
{
    remove(aMachine, ELast, TForm::search(aOperation - 103));
}

void removeAll(VirtualMachine& aMachine, TInt aOperation)
{
    remove(aMachine, EAll, TForm::search(aOperation - 111));
}

// s, pos.
void removeCharAt(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.removeCharAt(operands.integer());
    operands.finish();
}

// s, start, count.
void removeRange(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 3);
    OString& text = operands.editableString();
    const TBounds bounds = operands.bounds(text);
    text.removeRange(bounds.iStart, bounds.iEnd);
    operands.finish();
}

// 119 removes one unit, 120 a counted number.
void removeHead(VirtualMachine& aMachine, TInt aOperation)
{
    removeEnd(aMachine, EFalse, aOperation == 120);
}

// 121 removes one unit, 122 a counted number.
void removeTail(VirtualMachine& aMachine, TInt aOperation)
{
    removeEnd(aMachine, ETrue, aOperation == 122);
}

void clear(VirtualMachine& aMachine, TInt)
{
    transform(aMachine, [](OString& aText) { aText = OString(); });
}

void trimStart(VirtualMachine& aMachine, TInt)
{
    transform(aMachine, [](OString& aText) { aText.trimStart(); });
}

void trimEnd(VirtualMachine& aMachine, TInt)
{
    transform(aMachine, [](OString& aText) { aText.trimEnd(); });
}

void trim(VirtualMachine& aMachine, TInt)
{
    transform(aMachine, [](OString& aText) { aText.trim(); });
}

void toLowerCase(VirtualMachine& aMachine, TInt)
{
    transform(aMachine, [](OString& aText) { aText.toLowerCase(); });
}

void toUpperCase(VirtualMachine& aMachine, TInt)
{
    transform(aMachine, [](OString& aText) { aText.toUpperCase(); });
}

// s, start, count, str: a count of 0 inserts str at start instead of
// naming an empty range.
void replaceOrInsert(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 4);
    OString& text = operands.editableString();
    const TRangeOperand range = operands.range();
    const OString replacement = operands.string();
    if (range.iCount == 0)
        text.insert(range.iStart, replacement);
    else
        text.replaceRange(range.iStart, range.end(text), replacement);
    operands.finish();
}

// s, x, y, str, start, count: as replaceOrInsert, except that the insertion
// takes only units x to y (inclusive) of str. The replacing forms check x
// but do not use x and y.
void replaceOrInsertPart(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 6);
    OString& text = operands.editableString();
    const TInt partStart = operands.integer();
    const TInt partEnd = operands.integer();
    const OString replacement = operands.string();
    const TRangeOperand range = operands.range();
    if (partStart < 0)
        ErrorHandling::raise(ERange);
    if (range.iCount == 0)
        text.insertTo(range.iStart, replacement, partStart, partEnd);
    else
        text.replaceRange(range.iStart, range.end(text), replacement);
    operands.finish();
}

// The form that gives the range first: s, start, count, sub, repl, and
// with -96 a case flag.
void replaceAllRangeFirst(VirtualMachine& aMachine, TInt aOperation)
{
    const TBool caseFlag = aOperation == -96;
    StringOperands operands(aMachine, caseFlag ? 6 : 5);
    OString& text = operands.editableString();
    const TBounds bounds = operands.bounds(text);
    const OString sub = operands.string();
    const OString replacement = operands.string();
    const TBool caseSensitive = operands.caseSensitive(caseFlag);
    text.replaceAll(sub, replacement, bounds.iStart, bounds.iEnd, caseSensitive);
    operands.finish();
}

}
