// String natives (group 8) that edit a string object in place. Every
// reference to the edited object sees the change; other objects that share
// its text keep theirs, because the string copies its units on write. None
// of these operations has a result.

#include "VirtualMachine.h"

#include "ErrorHandling.h"
#include "StringOperands.h"

namespace {

enum TOccurrence { EFirst, ELast, EAll };

// Appending is what loops that build text call most: no copy of either
// string, so that a string with room to spare grows where it is.
void append(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.append(operands.string());
    operands.finish();
}

void appendUnit(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.append(operands.unit());
    operands.finish();
}

// 60: s, str; 61: s, ch.
void prepend(VirtualMachine& aMachine, TBool aUnit)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.prepend(operands.text(aUnit));
    operands.finish();
}

// 57: s, str, pos; 58: s, ch, pos.
void insert(VirtualMachine& aMachine, TBool aUnit)
{
    StringOperands operands(aMachine, 3);
    OString& text = operands.editableString();
    const OString insertion = operands.text(aUnit);
    text.insert(operands.integer(), insertion);
    operands.finish();
}

// s, str, start, count, pos: a range of str goes in.
void insertRange(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 5);
    OString& text = operands.editableString();
    const OString insertion = operands.string();
    const TBounds bounds = operands.bounds(insertion);
    text.insertTo(operands.integer(), insertion, bounds.iStart, bounds.iEnd);
    operands.finish();
}

// 67: s, start, count, str; 68: s, start, count, ch.
void replaceRange(VirtualMachine& aMachine, TBool aUnit)
{
    StringOperands operands(aMachine, 4);
    OString& text = operands.editableString();
    const TBounds bounds = operands.bounds(text);
    const OString replacement = operands.text(aUnit);
    text.replaceRange(bounds.iStart, bounds.iEnd, replacement);
    operands.finish();
}

// s, start, count, str: a count of 0 inserts str at start instead of
// naming an empty range.
void replaceOrInsert(VirtualMachine& aMachine)
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
void replaceOrInsertPart(VirtualMachine& aMachine)
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

// The form that gives the range first: s, start, count, sub, repl, [cs].
void replaceAllRangeFirst(VirtualMachine& aMachine, TBool aCaseFlag)
{
    StringOperands operands(aMachine, aCaseFlag ? 6 : 5);
    OString& text = operands.editableString();
    const TBounds bounds = operands.bounds(text);
    const OString sub = operands.string();
    const OString replacement = operands.string();
    const TBool caseSensitive = operands.caseSensitive(aCaseFlag);
    text.replaceAll(sub, replacement, bounds.iStart, bounds.iEnd, caseSensitive);
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

void removeCharAt(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.removeCharAt(operands.integer());
    operands.finish();
}

void removeRange(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 3);
    OString& text = operands.editableString();
    const TBounds bounds = operands.bounds(text);
    text.removeRange(bounds.iStart, bounds.iEnd);
    operands.finish();
}

// 119 to 122: the head or the tail, one unit or a counted number.
void removeEnd(VirtualMachine& aMachine, TInt aOperation)
{
    const TBool counted = aOperation == 120 || aOperation == 122;
    StringOperands operands(aMachine, counted ? 2 : 1);
    OString& text = operands.editableString();
    const TInt count = counted ? operands.integer() : 1;
    if (aOperation <= 120)
        text.removeHead(count);
    else
        text.removeTail(count);
    operands.finish();
}

void repeat(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    OString& text = operands.editableString();
    text.repeat(operands.integer());
    operands.finish();
}

// The edits that take nothing but the string.
void transform(VirtualMachine& aMachine, void (*aEdit)(OString&))
{
    StringOperands operands(aMachine, 1);
    aEdit(operands.editableString());
    operands.finish();
}

// The operations that come in runs of eight forms.
TBool editForm(VirtualMachine& aMachine, TInt aOperation)
{
    if (within(aOperation, 69, 76))
        replace(aMachine, EFirst, TForm::replacement(aOperation - 69));
    else if (within(aOperation, 77, 84))
        replace(aMachine, ELast, TForm::replacement(aOperation - 77));
    else if (within(aOperation, 85, 92))
        replace(aMachine, EAll, TForm::replacement(aOperation - 85));
    else if (within(aOperation, 95, 102))
        remove(aMachine, EFirst, TForm::search(aOperation - 95));
    else if (within(aOperation, 103, 110))
        remove(aMachine, ELast, TForm::search(aOperation - 103));
    else if (within(aOperation, 111, 118))
        remove(aMachine, EAll, TForm::search(aOperation - 111));
    else
        return EFalse;
    return ETrue;
}

}

TBool StringNatives::edit(VirtualMachine& aMachine, TInt aOperation)
{
    switch (aOperation) {
    case 62:
    case 64:
        append(aMachine);
        break;
    case 63:
    case 65:
        appendUnit(aMachine);
        break;
    case 57:
    case 58:
        insert(aMachine, aOperation == 58);
        break;
    case 59:
        insertRange(aMachine);
        break;
    case 60:
    case 61:
        prepend(aMachine, aOperation == 61);
        break;
    case 66:
        repeat(aMachine);
        break;
    case 67:
    case 68:
        replaceRange(aMachine, aOperation == 68);
        break;
    case 93:
        removeCharAt(aMachine);
        break;
    case 94:
        removeRange(aMachine);
        break;
    case 119:
    case 120:
    case 121:
    case 122:
        removeEnd(aMachine, aOperation);
        break;
    case 123:
        transform(aMachine, [](OString& aText) { aText = OString(); });
        break;
    case 124:
        transform(aMachine, [](OString& aText) { aText.trimStart(); });
        break;
    case 125:
        transform(aMachine, [](OString& aText) { aText.trimEnd(); });
        break;
    case 126:
        transform(aMachine, [](OString& aText) { aText.trim(); });
        break;
    case 127:
        transform(aMachine, [](OString& aText) { aText.toLowerCase(); });
        break;
    case -128:
        transform(aMachine, [](OString& aText) { aText.toUpperCase(); });
        break;
    case -104:
        replaceOrInsert(aMachine);
        break;
    case -102:
        replaceOrInsertPart(aMachine);
        break;
    case -97:
    case -96:
        replaceAllRangeFirst(aMachine, aOperation == -96);
        break;
    default:
        return editForm(aMachine, aOperation);
    }
    return ETrue;
}
