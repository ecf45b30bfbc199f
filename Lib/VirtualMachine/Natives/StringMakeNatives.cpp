// String natives (group 8) that make strings: new string values as
// results (joins, repeats, substrings, number texts, split pieces), and the
// constructions that give an existing string value a new string object.

#include "VirtualMachine.h"

#include "OVector.h"
#include "StringOperands.h"

namespace {

// A count to the end takes whatever follows start, and nothing when start
// is past the end, where a counted range would be refused.
OString substringOf(const OString& aText, TRangeOperand aRange)
{
    if (aRange.toEnd())
        return OString(aText, aRange.iStart);
    return OString(aText, aRange.iStart, aRange.end(aText));
}

// The constructions: cell, then aOperandCount - 1 operands from which
// aText reads the new text. The cell receives a new string object, so the
// edit reaches whatever refers to this cell and nothing that holds the old
// object.
void construct(VirtualMachine& aMachine, TInt aOperandCount, OString (*aText)(StringOperands& aOperands))
{
    StringOperands operands(aMachine, aOperandCount);
    const TUint32 cell = operands.cell();
    const OString text = aText(operands);
    aMachine.arena().setWord(cell, aMachine.newStringObject(text));
    operands.finish();
}

}

namespace StringNatives {

// cell.
void constructEmpty(VirtualMachine& aMachine, TInt)
{
    construct(aMachine, 1, [](StringOperands&) { return OString(); });
}

// cell, s.
void constructCopy(VirtualMachine& aMachine, TInt)
{
    construct(aMachine, 2, [](StringOperands& aOperands) { return OString(aOperands.string()); });
}

// cell, ch, n: n copies of ch.
void constructFilled(VirtualMachine& aMachine, TInt)
{
    construct(aMachine, 3, [](StringOperands& aOperands) {
        const TUint16 unit = aOperands.unit();
        return OString::filled(unit, aOperands.integer());
    });
}

// cell, s, start, count.
void constructSubstring(VirtualMachine& aMachine, TInt)
{
    construct(aMachine, 4, [](StringOperands& aOperands) {
        const OString& source = aOperands.string();
        return substringOf(source, aOperands.range());
    });
}

// cell, s, step: every step-th unit of s.
void constructStepped(VirtualMachine& aMachine, TInt)
{
    construct(aMachine, 3, [](StringOperands& aOperands) {
        const OString& source = aOperands.string();
        return OString(source, 0, source.length() - 1, aOperands.integer());
    });
}

// cell, s, start, count, step: the same within a range of s.
void constructSteppedRange(VirtualMachine& aMachine, TInt)
{
    construct(aMachine, 5, [](StringOperands& aOperands) {
        const OString& source = aOperands.string();
        const TBounds bounds = aOperands.bounds(source);
        return OString(source, bounds.iStart, bounds.iEnd, aOperands.integer());
    });
}

// a, b: a new string a + b.
void join(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const OString& left = operands.string();
    const OString& right = operands.string();
    operands.answerString(left + right);
}

// s, n: a new string of n copies of s.
void repeated(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    const TInt count = operands.integer();
    operands.answerString(OString::repeated(text, count));
}

// 50: s, sep; 51: s, sep, cs; 52 and 53 the same with a character. Every
// piece becomes a string value of its own in a new vector of references.
// The vector is made at its final length, so that a text of many pieces
// fills it once instead of outgrowing its storage over and over.
void split(VirtualMachine& aMachine, TInt aOperation)
{
    const TInt form = aOperation - 50;
    const TBool caseFlag = (form & 1) != 0;
    StringOperands operands(aMachine, caseFlag ? 3 : 2);
    const OString& text = operands.string();
    const OString separator = operands.text((form & 2) != 0);
    const TBool caseSensitive = operands.caseSensitive(caseFlag);
    const TInt count = text.pieceCount(separator, caseSensitive);
    const TUint32 cell = aMachine.newVectorValue(4, count, ETrue);
    const TUint32 vector = aMachine.vectorOf(cell, 4);
    TInt index = 0;
    text.splitInto(separator, caseSensitive, [&](const OString& aPiece) {
        const TUint32 value = aMachine.newStringValue(aPiece);
        aMachine.arena().setWord(OWordVector(aMachine.heap(), vector).elementAddress(index++), value);
    });
    operands.answer(cell);
}

// n: its decimal text.
void decimalText(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 1);
    operands.answerString(OString(operands.integer()));
}

// n, radix: its text, read as unsigned.
void unsignedText(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const TUint32 value = operands.word();
    const TInt radix = operands.integer();
    operands.answerString(OString::fromUnsigned(value, radix));
}

// s, start, count.
void substring(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 3);
    const OString& text = operands.string();
    operands.answerString(substringOf(text, operands.range()));
}

// For callers that hold the substring by reference: the value comes
// wrapped in one more cell.
void substringReference(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 3);
    const OString& text = operands.string();
    const OString result = substringOf(text, operands.range());
    operands.answer(aMachine.depthConversion(1, aMachine.newStringValue(result), GC_CODE_REF_CELL));
}

}
