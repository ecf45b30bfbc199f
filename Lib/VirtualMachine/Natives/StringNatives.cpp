// String natives (group 8): the family's entry, and the operations that
// only read strings (lengths and units, searches, counts, comparisons,
// numbers) or single characters. Each answers in its first argument's slot.

#include "VirtualMachine.h"

#include "CharClass.h"
#include "NativeGroups.h"
#include "StringOperands.h"

namespace {

enum TSearchKind { EIndexOf, ELastIndexOf, ECountOf };

TInt find(TSearchKind aKind, const OString& aText, const OString& aSub, TBounds aBounds, TBool aCaseSensitive)
{
    switch (aKind) {
    case EIndexOf:
        return aText.indexOf(aSub, aBounds.iStart, aBounds.iEnd, aCaseSensitive);
    case ELastIndexOf:
        return aText.lastIndexOf(aSub, aBounds.iStart, aBounds.iEnd, aCaseSensitive);
    default:
        return aText.countOf(aSub, aBounds.iStart, aBounds.iEnd, aCaseSensitive);
    }
}

// s, sub or ch, [start, count], [cs].
void search(VirtualMachine& aMachine, TSearchKind aKind, TForm aForm)
{
    StringOperands operands(aMachine, aForm.operandCount(2));
    const OString& text = operands.string();
    const OString sub = operands.text(aForm.iUnit);
    const TBounds bounds = operands.boundsIf(aForm.iRange, text);
    const TBool caseSensitive = operands.caseSensitive(aForm.iCaseFlag);
    operands.answerInt(find(aKind, text, sub, bounds, caseSensitive));
}

// The forms that give the range before the sub-string: s, start, count,
// sub, [cs].
void searchRangeFirst(VirtualMachine& aMachine, TSearchKind aKind, TBool aCaseFlag)
{
    StringOperands operands(aMachine, aCaseFlag ? 5 : 4);
    const OString& text = operands.string();
    const TBounds bounds = operands.bounds(text);
    const OString& sub = operands.string();
    const TBool caseSensitive = operands.caseSensitive(aCaseFlag);
    operands.answerInt(find(aKind, text, sub, bounds, caseSensitive));
}

// The first case-insensitive occurrence as a range value, position and
// length in the two argument slots; both 0 when there is none.
void locate(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    const OString& sub = operands.string();
    const TInt position = text.indexOf(sub, EFalse);
    aMachine.setOperand(1, position < 0 ? 0 : static_cast<TUint32>(position));
    aMachine.setOperand(0, position < 0 ? 0 : static_cast<TUint32>(sub.length()));
}

// s, [start, count], [cs]: the forms of a search without the sub-string.
void mostFrequent(VirtualMachine& aMachine, TForm aForm)
{
    StringOperands operands(aMachine, aForm.operandCount(1));
    const OString& text = operands.string();
    const TBounds bounds = operands.boundsIf(aForm.iRange, text);
    const TBool caseSensitive = operands.caseSensitive(aForm.iCaseFlag);
    operands.answer(text.mostFrequentChar(bounds.iStart, bounds.iEnd, caseSensitive));
}

// 44 and 45 test the start, 46 and 47 the end; the odd codes take a flag.
void affix(VirtualMachine& aMachine, TInt aOperation)
{
    const TBool caseFlag = aOperation == 45 || aOperation == 47;
    StringOperands operands(aMachine, caseFlag ? 3 : 2);
    const OString& text = operands.string();
    const OString& other = operands.string();
    const TBool caseSensitive = operands.caseSensitive(caseFlag);
    operands.answerFlag(aOperation <= 45 ? text.startsWith(other, caseSensitive)
                                         : text.endsWith(other, caseSensitive));
}

TUint32 unitFunction(TInt aOperation, TUint16 aUnit)
{
    switch (aOperation) {
    case -127:
        return CharClass::toLower(aUnit);
    case -126:
        return CharClass::toUpper(aUnit);
    case -125:
        return CharClass::isLetter(aUnit) ? 1 : 0;
    case -124:
        return CharClass::isDigit(aUnit) ? 1 : 0;
    default:
        return CharClass::isSpace(aUnit) ? 1 : 0;
    }
}

TBool compare(TInt aOperation, const OString& aLeft, const OString& aRight)
{
    switch (aOperation) {
    case -116:
        return aLeft == aRight;
    case -115:
        return aLeft != aRight;
    case -114:
        return aLeft < aRight;
    case -113:
        return aLeft <= aRight;
    case -112:
        return aLeft > aRight;
    case -111:
        return aLeft >= aRight;
    default:
        return aLeft.equals(aRight, EFalse);
    }
}

void compareTwo(VirtualMachine& aMachine, TInt aOperation)
{
    StringOperands operands(aMachine, 2);
    const OString& left = operands.string();
    const OString& right = operands.string();
    operands.answerFlag(compare(aOperation, left, right));
}

TInt sign(TInt aValue)
{
    return (aValue > 0) - (aValue < 0);
}

void compareWithFlag(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 3);
    const OString& left = operands.string();
    const OString& right = operands.string();
    const TBool caseSensitive = operands.flag();
    operands.answerInt(sign(left.compareTo(right, caseSensitive)));
}

// a, b, start, count, cs. A count to the end compares the rest of a from
// start, which at start 0 is the whole of a.
void compareRange(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 5);
    const OString& left = operands.string();
    const OString& right = operands.string();
    const TRangeOperand range = operands.range();
    const TBool caseSensitive = operands.flag();
    const TInt difference = range.toEnd() ? left.compareTo(right, range.iStart, caseSensitive)
                                          : left.compareRange(right, range.iStart, range.end(left), caseSensitive);
    operands.answerInt(sign(difference));
}

void equalsWithFlag(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 3);
    const OString& left = operands.string();
    const OString& right = operands.string();
    const TBool caseSensitive = operands.flag();
    operands.answerFlag(left.equals(right, caseSensitive));
}

// a, b, start, count, [cs]; the same rule for a count to the end as in
// compareRange.
void regionEquals(VirtualMachine& aMachine, TBool aCaseFlag)
{
    StringOperands operands(aMachine, aCaseFlag ? 5 : 4);
    const OString& left = operands.string();
    const OString& right = operands.string();
    const TRangeOperand range = operands.range();
    const TBool caseSensitive = operands.caseSensitive(aCaseFlag);
    operands.answerFlag(range.toEnd() ? left.equals(right, range.iStart, caseSensitive)
                                      : left.regionEquals(right, range.iStart, range.end(left), caseSensitive));
}

// Decimal text takes a sign; other radixes do not.
void parse(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    const TInt radix = operands.integer();
    operands.answerInt(radix == 10 ? text.parseDecimal() : text.parseInt(radix));
}

void length(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 1);
    operands.answerInt(operands.string().length());
}

void isEmpty(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 1);
    operands.answerFlag(operands.string().isEmpty());
}

void charAt(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    operands.answer(text.charAt(operands.integer()));
}

void firstUnit(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 1);
    operands.answer(operands.string().charAt(0));
}

void lastUnit(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 1);
    const OString& text = operands.string();
    operands.answer(text.charAt(text.length() - 1));
}

void parseDecimal(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 1);
    operands.answerInt(operands.string().parseDecimal());
}

void unitOperation(VirtualMachine& aMachine, TInt aOperation)
{
    StringOperands operands(aMachine, 1);
    operands.answer(unitFunction(aOperation, operands.unit()));
}

// The operations that come in numbered runs of forms.
TBool readForm(VirtualMachine& aMachine, TInt aOperation)
{
    if (within(aOperation, 17, 23))
        search(aMachine, EIndexOf, TForm::search(aOperation - 16));
    else if (within(aOperation, 24, 31))
        search(aMachine, ELastIndexOf, TForm::search(aOperation - 24));
    else if (within(aOperation, 32, 35))
        mostFrequent(aMachine, TForm::search(aOperation - 32));
    else if (within(aOperation, 36, 43))
        search(aMachine, ECountOf, TForm::search(aOperation - 36));
    else if (within(aOperation, 44, 47))
        affix(aMachine, aOperation);
    else if (within(aOperation, -127, -123))
        unitOperation(aMachine, aOperation);
    else if (within(aOperation, -116, -110))
        compareTwo(aMachine, aOperation);
    else if (within(aOperation, -101, -98))
        searchRangeFirst(aMachine, aOperation <= -100 ? EIndexOf : ELastIndexOf, aOperation % 2 == 0);
    else
        return EFalse;
    return ETrue;
}

}

TBool StringNatives::read(VirtualMachine& aMachine, TInt aOperation)
{
    switch (aOperation) {
    case 10:
        length(aMachine);
        break;
    case 11:
        isEmpty(aMachine);
        break;
    case 12:
        charAt(aMachine);
        break;
    case 14:
        firstUnit(aMachine);
        break;
    case 15:
        lastUnit(aMachine);
        break;
    case 16:
        locate(aMachine);
        break;
    case -120:
        parseDecimal(aMachine);
        break;
    case -119:
        parse(aMachine);
        break;
    case -118:
        compareWithFlag(aMachine);
        break;
    case -117:
        compareRange(aMachine);
        break;
    case -109:
        equalsWithFlag(aMachine);
        break;
    case -108:
        regionEquals(aMachine, EFalse);
        break;
    case -107:
        regionEquals(aMachine, ETrue);
        break;
    case -105:
        break;
    default:
        return readForm(aMachine, aOperation);
    }
    return ETrue;
}

// Editing comes first: appending is what loops that build text call most.
void VirtualMachine::stringNative(TInt aOperation)
{
    if (!StringNatives::edit(*this, aOperation) && !StringNatives::read(*this, aOperation)
        && !StringNatives::make(*this, aOperation))
        undefinedOperation(EGroupString);
}
