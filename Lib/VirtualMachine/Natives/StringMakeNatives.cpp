// String natives (group 8) that make strings: new string values as
// results (joins, repeats, substrings, number texts, split pieces), and the
// constructions that give an existing string value a new string object.

#include "VirtualMachine.h"

#include "OVector.h"
#include "StringOperands.h"

namespace {

// A count to the end takes whatever follows start, and nothing when start
// is past the end, where a counted range would be refused.
OString substring(const OString& aText, TRangeOperand aRange)
{
    if (aRange.toEnd())
        return OString(aText, aRange.iStart);
    return OString(aText, aRange.iStart, aRange.end(aText));
}

void join(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    const OString& left = operands.string();
    const OString& right = operands.string();
    operands.answerString(left + right);
}

void repeated(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    const TInt count = operands.integer();
    operands.answerString(OString::repeated(text, count));
}

// 50: s, sep; 51: s, sep, cs; 52 and 53 the same with a character. Every
// piece becomes a string value of its own in a new vector of references.
void split(VirtualMachine& aMachine, TInt aOffset)
{
    const TBool caseFlag = (aOffset & 1) != 0;
    StringOperands operands(aMachine, caseFlag ? 3 : 2);
    const OString& text = operands.string();
    const OString separator = operands.text((aOffset & 2) != 0);
    const TBool caseSensitive = operands.caseSensitive(caseFlag);
    const Vec<OString> pieces = text.split(separator, caseSensitive);
    const TUint32 cell = aMachine.newVectorValue(4, 0, ETrue);
    OWordVector vector(aMachine.heap(), aMachine.vectorOf(cell, 4));
    for (const OString& piece : pieces) {
        const TUint32 value = aMachine.newStringValue(piece);
        vector.append(reinterpret_cast<const TUint8*>(&value));
    }
    operands.answer(cell);
}

void decimalText(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 1);
    operands.answerString(OString(operands.integer()));
}

void unsignedText(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 2);
    const TUint32 value = operands.word();
    const TInt radix = operands.integer();
    operands.answerString(OString::fromUnsigned(value, radix));
}

void substringValue(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 3);
    const OString& text = operands.string();
    operands.answerString(substring(text, operands.range()));
}

// For callers that hold the substring by reference: the value comes
// wrapped in one more cell.
void substringReference(VirtualMachine& aMachine)
{
    StringOperands operands(aMachine, 3);
    const OString& text = operands.string();
    const OString result = substring(text, operands.range());
    operands.answer(aMachine.depthConversion(1, aMachine.newStringValue(result), GC_CODE_REF_CELL));
}

// What constructions 1 to 9 put in their string value, read from the
// operands that follow it.
OString constructed(TInt aOperation, StringOperands& aOperands)
{
    switch (aOperation) {
    case 1:
        return OString();
    case 2:
    case 4:
        return aOperands.string();
    case 5: {
        const TUint16 unit = aOperands.unit();
        return OString::filled(unit, aOperands.integer());
    }
    case 7: {
        const OString& source = aOperands.string();
        return substring(source, aOperands.range());
    }
    case 8: {
        const OString& source = aOperands.string();
        return OString(source, 0, source.length() - 1, aOperands.integer());
    }
    default: {
        const OString& source = aOperands.string();
        const TBounds bounds = aOperands.bounds(source);
        return OString(source, bounds.iStart, bounds.iEnd, aOperands.integer());
    }
    }
}

// The cell receives a new string object, so the edit reaches whatever
// refers to this cell and nothing that holds the old object.
void construct(VirtualMachine& aMachine, TInt aOperation)
{
    static const TInt KOperandCounts[] = {0, 1, 2, 0, 2, 3, 0, 4, 3, 5};
    StringOperands operands(aMachine, KOperandCounts[aOperation]);
    const TUint32 cell = operands.cell();
    const OString text = constructed(aOperation, operands);
    aMachine.arena().setWord(cell, aMachine.newStringObject(text));
    operands.finish();
}

}

TBool StringNatives::make(VirtualMachine& aMachine, TInt aOperation)
{
    switch (aOperation) {
    case 1:
    case 2:
    case 4:
    case 5:
    case 7:
    case 8:
    case 9:
        construct(aMachine, aOperation);
        break;
    case 48:
        join(aMachine);
        break;
    case 49:
        repeated(aMachine);
        break;
    case 50:
    case 51:
    case 52:
    case 53:
        split(aMachine, aOperation - 50);
        break;
    case -122:
        decimalText(aMachine);
        break;
    case -121:
        unsignedText(aMachine);
        break;
    case -106:
        substringValue(aMachine);
        break;
    case -103:
        substringReference(aMachine);
        break;
    default:
        return EFalse;
    }
    return ETrue;
}
