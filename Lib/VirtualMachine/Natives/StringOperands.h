#ifndef KELVO_STRINGOPERANDS_H
#define KELVO_STRINGOPERANDS_H

#include "ErrorHandling.h"
#include "OString.h"
#include "Types.h"
#include "VirtualMachine.h"

// The String family (group 8) comes in three parts: reading
// (StringNatives.cpp, which holds the family's table), making new strings
// (StringMakeNatives.cpp) and editing in place (StringEditNatives.cpp).
// These are the handlers of the last two parts; where one serves a run of
// codes, it says which.
namespace StringNatives {

// Making.
void constructEmpty(VirtualMachine& aMachine, TInt aOperation);
void constructCopy(VirtualMachine& aMachine, TInt aOperation);          // 2 and 4
void constructFilled(VirtualMachine& aMachine, TInt aOperation);
void constructSubstring(VirtualMachine& aMachine, TInt aOperation);
void constructStepped(VirtualMachine& aMachine, TInt aOperation);
void constructSteppedRange(VirtualMachine& aMachine, TInt aOperation);
void join(VirtualMachine& aMachine, TInt aOperation);
void repeated(VirtualMachine& aMachine, TInt aOperation);
void split(VirtualMachine& aMachine, TInt aOperation);                  // 50 to 53
void decimalText(VirtualMachine& aMachine, TInt aOperation);
void unsignedText(VirtualMachine& aMachine, TInt aOperation);
void substring(VirtualMachine& aMachine, TInt aOperation);
void substringReference(VirtualMachine& aMachine, TInt aOperation);

// Editing.
void append(VirtualMachine& aMachine, TInt aOperation);
void appendUnit(VirtualMachine& aMachine, TInt aOperation);
void insert(VirtualMachine& aMachine, TInt aOperation);                 // 57 and 58
void insertRange(VirtualMachine& aMachine, TInt aOperation);
void prepend(VirtualMachine& aMachine, TInt aOperation);                // 60 and 61
void repeat(VirtualMachine& aMachine, TInt aOperation);
void replaceRange(VirtualMachine& aMachine, TInt aOperation);           // 67 and 68
void replaceFirst(VirtualMachine& aMachine, TInt aOperation);           // 69 to 76
void replaceLast(VirtualMachine& aMachine, TInt aOperation);            // 77 to 84
void replaceAll(VirtualMachine& aMachine, TInt aOperation);             // 85 to 92
void removeCharAt(VirtualMachine& aMachine, TInt aOperation);
void removeRange(VirtualMachine& aMachine, TInt aOperation);
void removeFirst(VirtualMachine& aMachine, TInt aOperation);            // 95 to 102
void removeLast(VirtualMachine& aMachine, TInt aOperation);             // 103 to 110
void removeAll(VirtualMachine& aMachine, TInt aOperation);              // 111 to 118
void removeHead(VirtualMachine& aMachine, TInt aOperation);             // 119 and 120
void removeTail(VirtualMachine& aMachine, TInt aOperation);             // 121 and 122
void clear(VirtualMachine& aMachine, TInt aOperation);
void trimStart(VirtualMachine& aMachine, TInt aOperation);
void trimEnd(VirtualMachine& aMachine, TInt aOperation);
void trim(VirtualMachine& aMachine, TInt aOperation);
void toLowerCase(VirtualMachine& aMachine, TInt aOperation);
void toUpperCase(VirtualMachine& aMachine, TInt aOperation);
void replaceOrInsert(VirtualMachine& aMachine, TInt aOperation);
void replaceOrInsertPart(VirtualMachine& aMachine, TInt aOperation);
void replaceAllRangeFirst(VirtualMachine& aMachine, TInt aOperation);   // -97 and -96

}

// A range operand as the program gives it: a start and a count, a negative
// count meaning "to the end of the string".
struct TRangeOperand {
    TInt iStart;
    TInt iCount;

    TBool toEnd() const { return iCount < 0; }
    // The inclusive end within aText. A count reaching past the largest
    // index gives an end that the range check refuses, instead of wrapping
    // around into a range that looks valid.
    TInt end(const OString& aText) const
    {
        if (iCount < 0)
            return aText.length() - 1;
        const TInt64 end = TInt64(iStart) + iCount - 1;
        return end > INT32_MAX ? INT32_MAX : static_cast<TInt>(end);
    }
};

// Inclusive bounds within one string.
struct TBounds {
    TInt iStart;
    TInt iEnd;
};

// Reads a string native's arguments in the order in which the program
// pushed them, which is the order in which each operation lists them, and
// leaves the result in the first argument's slot. The stack changes only
// when the result is given, so a failure leaves it as the call found it.
class StringOperands {
public:
    StringOperands(VirtualMachine& aMachine, TInt aCount)
        : iMachine(aMachine), iCount(aCount), iNext(aCount - 1)
    {
    }

    TUint32 word() { return iMachine.operand(iNext--); }
    TInt integer() { return static_cast<TInt32>(word()); }
    TBool flag() { return word() != 0; }
    TUint16 unit() { return static_cast<TUint16>(word()); }
    // Without its flag, a form ignores case.
    TBool caseSensitive(TBool aGiven) { return aGiven && flag(); }
    // A cell that is about to receive a new string object: it need not
    // hold one yet.
    TUint32 cell() { return iMachine.referenceOperand(iNext--); }
    const OString& string() { return iMachine.stringOf(word()); }
    OString& editableString() { return iMachine.editableStringOf(word()); }
    // The sub-string of a search or an edit, or the character that the
    // forms with a character give instead, as a one-unit string.
    OString text(TBool aUnit) { return aUnit ? OString::filled(unit(), 1) : string(); }

    // A negative start is refused whatever the count, before any string
    // operation sees the range.
    TRangeOperand range()
    {
        const TInt start = integer();
        const TInt count = integer();
        if (start < 0)
            ErrorHandling::raise(ERange);
        return {start, count};
    }
    TBounds bounds(const OString& aText)
    {
        const TRangeOperand operand = range();
        return {operand.iStart, operand.end(aText)};
    }
    // The given range, or the whole of aText in the forms without one.
    TBounds boundsIf(TBool aGiven, const OString& aText)
    {
        return aGiven ? bounds(aText) : TBounds{0, aText.length() - 1};
    }

    void answer(TUint32 aResult) { iMachine.replaceOperands(iCount, aResult); }
    void answerInt(TInt aResult) { answer(static_cast<TUint32>(aResult)); }
    void answerFlag(TBool aResult) { answer(aResult ? 1 : 0); }
    void answerString(const OString& aText) { answer(iMachine.newStringValue(aText)); }
    // For the operations without a result.
    void finish() { iMachine.popOperands(iCount); }

private:
    VirtualMachine& iMachine;
    TInt iCount;
    TInt iNext;
};

// The eight forms that most searches and edits come in, numbered from the
// family's first code: the offset's bits say which operands a form has.
struct TForm {
    TBool iRange;
    TBool iCaseFlag;
    TBool iUnit;   // a character in place of a string

    // Searches, counts and removals: bit 0 adds a range, bit 1 a case flag,
    // bit 2 puts a character in place of the sub-string.
    static TForm search(TInt aOffset) { return {(aOffset & 1) != 0, (aOffset & 2) != 0, (aOffset & 4) != 0}; }
    // Replacements: bit 0 adds a case flag, bit 1 puts a character in place
    // of the replacement, bit 2 adds a range.
    static TForm replacement(TInt aOffset)
    {
        return {(aOffset & 4) != 0, (aOffset & 1) != 0, (aOffset & 2) != 0};
    }
    // aFixed operands plus those that the form adds.
    TInt operandCount(TInt aFixed) const { return aFixed + (iRange ? 2 : 0) + (iCaseFlag ? 1 : 0); }
};

#endif
