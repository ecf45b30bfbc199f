// String natives (group 8): the family's table, and the operations that
// only read strings (lengths and units, searches, counts, comparisons,
// numbers) or single characters. Each answers in its first argument's slot.

#include "VirtualMachine.h"

#include <functional>

#include "CharClass.h"
#include "NativeFamily.h"
#include "StringOperands.h"

using namespace StringNatives;

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

// Each run of forms starts at the form without options; the offset's bits
// say which operands a form adds (TForm). The run of indexOf starts one
// code before its first, which is locate.
void indexOf(VirtualMachine& aMachine, TInt aOperation)
{
    search(aMachine, EIndexOf, TForm::search(aOperation - 16));
}

void lastIndexOf(VirtualMachine& aMachine, TInt aOperation)
{
    search(aMachine, ELastIndexOf, TForm::search(aOperation - 24));
}

void countOf(VirtualMachine& aMachine, TInt aOperation)
{
    search(aMachine, ECountOf, TForm::search(aOperation - 36));
}

// s, [start, count], [cs]: the forms of a search without the sub-string.
void mostFrequent(VirtualMachine& aMachine, TInt aOperation)
{
    const TForm form = TForm::search(aOperation - 32);
    StringOperands operands(aMachine, form.operandCount(1));
    const OString& text = operands.string();
    const TBounds bounds = operands.boundsIf(form.iRange, text);
    const TBool caseSensitive = operands.caseSensitive(form.iCaseFlag);
    operands.answer(text.mostFrequentChar(bounds.iStart, bounds.iEnd, caseSensitive));
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

// -101 without a case flag, -100 with one.
void indexOfRangeFirst(VirtualMachine& aMachine, TInt aOperation)
{
    searchRangeFirst(aMachine, EIndexOf, aOperation == -100);
}

// -99 without a case flag, -98 with one.
void lastIndexOfRangeFirst(VirtualMachine& aMachine, TInt aOperation)
{
    searchRangeFirst(aMachine, ELastIndexOf, aOperation == -98);
}

// The first case-insensitive occurrence as a range value, position and
// length in the two argument slots; both 0 when there is none.
void locate(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    const OString& sub = operands.string();
    const TInt position = text.indexOf(sub, EFalse);
    aMachine.setOperand(1, position < 0 ? 0 : static_cast<TUint32>(position));
    aMachine.setOperand(0, position < 0 ? 0 : static_cast<TUint32>(sub.length()));
}

// s, other, [cs]: whether s starts (or ends) with other.
void affix(VirtualMachine& aMachine, TBool aEnd, TBool aCaseFlag)
{
    StringOperands operands(aMachine, aCaseFlag ? 3 : 2);
    const OString& text = operands.string();
    const OString& other = operands.string();
    const TBool caseSensitive = operands.caseSensitive(aCaseFlag);
    operands.answerFlag(aEnd ? text.endsWith(other, caseSensitive) : text.startsWith(other, caseSensitive));
}

// 44 without a case flag, 45 with one.
void startsWith(VirtualMachine& aMachine, TInt aOperation)
{
    affix(aMachine, EFalse, aOperation == 45);
}

// 46 without a case flag, 47 with one.
void endsWith(VirtualMachine& aMachine, TInt aOperation)
{
    affix(aMachine, ETrue, aOperation == 47);
}

// a, b: 1 or 0.
template <typename Comparison>
void compareTwo(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const OString& left = operands.string();
    const OString& right = operands.string();
    operands.answerFlag(Comparison()(left, right));
}

void equalsIgnoringCase(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const OString& left = operands.string();
    const OString& right = operands.string();
    operands.answerFlag(left.equals(right, EFalse));
}

TInt sign(TInt aValue)
{
    return (aValue > 0) - (aValue < 0);
}

// a, b, cs: -1, 0 or 1.
void compareWithFlag(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 3);
    const OString& left = operands.string();
    const OString& right = operands.string();
    const TBool caseSensitive = operands.flag();
    operands.answerInt(sign(left.compareTo(right, caseSensitive)));
}

// a, b, start, count, cs. A count to the end compares the rest of a from
// start, which at start 0 is the whole of a.
void compareRange(VirtualMachine& aMachine, TInt)
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

// a, b, cs.
void equalsWithFlag(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 3);
    const OString& left = operands.string();
    const OString& right = operands.string();
    const TBool caseSensitive = operands.flag();
    operands.answerFlag(left.equals(right, caseSensitive));
}

// a, b, start, count, and with -107 a case flag; the same rule for a count
// to the end as in compareRange.
void regionEquals(VirtualMachine& aMachine, TInt aOperation)
{
    const TBool caseFlag = aOperation == -107;
    StringOperands operands(aMachine, caseFlag ? 5 : 4);
    const OString& left = operands.string();
    const OString& right = operands.string();
    const TRangeOperand range = operands.range();
    const TBool caseSensitive = operands.caseSensitive(caseFlag);
    operands.answerFlag(range.toEnd() ? left.equals(right, range.iStart, caseSensitive)
                                      : left.regionEquals(right, range.iStart, range.end(left), caseSensitive));
}

// s, radix. Decimal text takes a sign; other radixes do not.
void parse(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    const TInt radix = operands.integer();
    operands.answerInt(radix == 10 ? text.parseDecimal() : text.parseInt(radix));
}

void parseDecimal(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 1);
    operands.answerInt(operands.string().parseDecimal());
}

void length(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 1);
    operands.answerInt(operands.string().length());
}

void isEmpty(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 1);
    operands.answerFlag(operands.string().isEmpty());
}

// s, pos.
void charAt(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 2);
    const OString& text = operands.string();
    operands.answer(text.charAt(operands.integer()));
}

void firstChar(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 1);
    operands.answer(operands.string().charAt(0));
}

void lastChar(VirtualMachine& aMachine, TInt)
{
    StringOperands operands(aMachine, 1);
    const OString& text = operands.string();
    operands.answer(text.charAt(text.length() - 1));
}

// ch: what aFunction makes of its low 16 bits.
void answerForUnit(VirtualMachine& aMachine, TUint32 (*aFunction)(TUint16 aUnit))
{
    StringOperands operands(aMachine, 1);
    operands.answer(aFunction(operands.unit()));
}

void charToLower(VirtualMachine& aMachine, TInt)
{
    answerForUnit(aMachine, [](TUint16 aUnit) -> TUint32 { return CharClass::toLower(aUnit); });
}

void charToUpper(VirtualMachine& aMachine, TInt)
{
    answerForUnit(aMachine, [](TUint16 aUnit) -> TUint32 { return CharClass::toUpper(aUnit); });
}

void charIsLetter(VirtualMachine& aMachine, TInt)
{
    answerForUnit(aMachine, [](TUint16 aUnit) -> TUint32 { return CharClass::isLetter(aUnit) ? 1 : 0; });
}

void charIsDigit(VirtualMachine& aMachine, TInt)
{
    answerForUnit(aMachine, [](TUint16 aUnit) -> TUint32 { return CharClass::isDigit(aUnit) ? 1 : 0; });
}

void charIsSpace(VirtualMachine& aMachine, TInt)
{
    answerForUnit(aMachine, [](TUint16 aUnit) -> TUint32 { return CharClass::isSpace(aUnit) ? 1 : 0; });
}

// Applications call it; the runtime has nothing to do for it.
void ignore(VirtualMachine&, TInt)
{
}

// Forms in runs: without "Cased" a form ignores case, a Cased form takes a
// flag that chooses; "InRange" adds a start and a count; "Char" takes a
// character in place of the sub-string (searches) or of the replacement
// (replacements). Codes 64 and 65 are second codes for 62 and 63.
const NativeOperation KOperations[] = {
    {1, "constructEmpty", constructEmpty},
    {2, "constructCopy", constructCopy},
    {4, "constructCopy2", constructCopy},
    {5, "constructFilled", constructFilled},
    {7, "constructSubstring", constructSubstring},
    {8, "constructStepped", constructStepped},
    {9, "constructSteppedRange", constructSteppedRange},
    {10, "length", length},
    {11, "isEmpty", isEmpty},
    {12, "charAt", charAt},
    {14, "firstChar", firstChar},
    {15, "lastChar", lastChar},
    {16, "locate", locate},
    {17, "indexOfInRange", indexOf},
    {18, "indexOfCased", indexOf},
    {19, "indexOfInRangeCased", indexOf},
    {20, "indexOfChar", indexOf},
    {21, "indexOfCharInRange", indexOf},
    {22, "indexOfCharCased", indexOf},
    {23, "indexOfCharInRangeCased", indexOf},
    {24, "lastIndexOf", lastIndexOf},
    {25, "lastIndexOfInRange", lastIndexOf},
    {26, "lastIndexOfCased", lastIndexOf},
    {27, "lastIndexOfInRangeCased", lastIndexOf},
    {28, "lastIndexOfChar", lastIndexOf},
    {29, "lastIndexOfCharInRange", lastIndexOf},
    {30, "lastIndexOfCharCased", lastIndexOf},
    {31, "lastIndexOfCharInRangeCased", lastIndexOf},
    {32, "mostFrequentChar", mostFrequent},
    {33, "mostFrequentCharInRange", mostFrequent},
    {34, "mostFrequentCharCased", mostFrequent},
    {35, "mostFrequentCharInRangeCased", mostFrequent},
    {36, "countOf", countOf},
    {37, "countOfInRange", countOf},
    {38, "countOfCased", countOf},
    {39, "countOfInRangeCased", countOf},
    {40, "countOfChar", countOf},
    {41, "countOfCharInRange", countOf},
    {42, "countOfCharCased", countOf},
    {43, "countOfCharInRangeCased", countOf},
    {44, "startsWith", startsWith},
    {45, "startsWithCased", startsWith},
    {46, "endsWith", endsWith},
    {47, "endsWithCased", endsWith},
    {48, "join", join},
    {49, "repeated", repeated},
    {50, "split", split},
    {51, "splitCased", split},
    {52, "splitAtChar", split},
    {53, "splitAtCharCased", split},
    {57, "insert", insert},
    {58, "insertChar", insert},
    {59, "insertRange", insertRange},
    {60, "prepend", prepend},
    {61, "prependChar", prepend},
    {62, "append", append},
    {63, "appendChar", appendUnit},
    {64, "append2", append},
    {65, "appendChar2", appendUnit},
    {66, "repeat", repeat},
    {67, "replaceRange", replaceRange},
    {68, "replaceRangeByChar", replaceRange},
    {69, "replaceFirst", replaceFirst},
    {70, "replaceFirstCased", replaceFirst},
    {71, "replaceFirstByChar", replaceFirst},
    {72, "replaceFirstByCharCased", replaceFirst},
    {73, "replaceFirstInRange", replaceFirst},
    {74, "replaceFirstInRangeCased", replaceFirst},
    {75, "replaceFirstByCharInRange", replaceFirst},
    {76, "replaceFirstByCharInRangeCased", replaceFirst},
    {77, "replaceLast", replaceLast},
    {78, "replaceLastCased", replaceLast},
    {79, "replaceLastByChar", replaceLast},
    {80, "replaceLastByCharCased", replaceLast},
    {81, "replaceLastInRange", replaceLast},
    {82, "replaceLastInRangeCased", replaceLast},
    {83, "replaceLastByCharInRange", replaceLast},
    {84, "replaceLastByCharInRangeCased", replaceLast},
    {85, "replaceAll", replaceAll},
    {86, "replaceAllCased", replaceAll},
    {87, "replaceAllByChar", replaceAll},
    {88, "replaceAllByCharCased", replaceAll},
    {89, "replaceAllInRange", replaceAll},
    {90, "replaceAllInRangeCased", replaceAll},
    {91, "replaceAllByCharInRange", replaceAll},
    {92, "replaceAllByCharInRangeCased", replaceAll},
    {93, "removeCharAt", removeCharAt},
    {94, "removeRange", removeRange},
    {95, "removeFirst", removeFirst},
    {96, "removeFirstInRange", removeFirst},
    {97, "removeFirstCased", removeFirst},
    {98, "removeFirstInRangeCased", removeFirst},
    {99, "removeFirstChar", removeFirst},
    {100, "removeFirstCharInRange", removeFirst},
    {101, "removeFirstCharCased", removeFirst},
    {102, "removeFirstCharInRangeCased", removeFirst},
    {103, "removeLast", removeLast},
    {104, "removeLastInRange", removeLast},
    {105, "removeLastCased", removeLast},
    {106, "removeLastInRangeCased", removeLast},
    {107, "removeLastChar", removeLast},
    {108, "removeLastCharInRange", removeLast},
    {109, "removeLastCharCased", removeLast},
    {110, "removeLastCharInRangeCased", removeLast},
    {111, "removeAll", removeAll},
    {112, "removeAllInRange", removeAll},
    {113, "removeAllCased", removeAll},
    {114, "removeAllInRangeCased", removeAll},
    {115, "removeAllChar", removeAll},
    {116, "removeAllCharInRange", removeAll},
    {117, "removeAllCharCased", removeAll},
    {118, "removeAllCharInRangeCased", removeAll},
    {119, "removeFirstUnit", removeHead},
    {120, "removeHead", removeHead},
    {121, "removeLastUnit", removeTail},
    {122, "removeTail", removeTail},
    {123, "clear", clear},
    {124, "trimStart", trimStart},
    {125, "trimEnd", trimEnd},
    {126, "trim", trim},
    {127, "toLowerCase", toLowerCase},
    {-128, "toUpperCase", toUpperCase},
    {-127, "charToLower", charToLower},
    {-126, "charToUpper", charToUpper},
    {-125, "charIsLetter", charIsLetter},
    {-124, "charIsDigit", charIsDigit},
    {-123, "charIsSpace", charIsSpace},
    {-122, "decimalText", decimalText},
    {-121, "unsignedText", unsignedText},
    {-120, "parseDecimal", parseDecimal},
    {-119, "parse", parse},
    {-118, "compareCased", compareWithFlag},
    {-117, "compareInRangeCased", compareRange},
    {-116, "equal", compareTwo<std::equal_to<OString>>},
    {-115, "notEqual", compareTwo<std::not_equal_to<OString>>},
    {-114, "less", compareTwo<std::less<OString>>},
    {-113, "lessOrEqual", compareTwo<std::less_equal<OString>>},
    {-112, "greater", compareTwo<std::greater<OString>>},
    {-111, "greaterOrEqual", compareTwo<std::greater_equal<OString>>},
    {-110, "equalsIgnoringCase", equalsIgnoringCase},
    {-109, "equalsCased", equalsWithFlag},
    {-108, "regionEquals", regionEquals},
    {-107, "regionEqualsCased", regionEquals},
    {-106, "substring", substring},
    {-105, "ignored", ignore},
    {-104, "replaceOrInsert", replaceOrInsert},
    {-103, "substringReference", substringReference},
    {-102, "replaceOrInsertPart", replaceOrInsertPart},
    {-101, "indexOfRangeFirst", indexOfRangeFirst},
    {-100, "indexOfRangeFirstCased", indexOfRangeFirst},
    {-99, "lastIndexOfRangeFirst", lastIndexOfRangeFirst},
    {-98, "lastIndexOfRangeFirstCased", lastIndexOfRangeFirst},
    {-97, "replaceAllRangeFirst", replaceAllRangeFirst},
    {-96, "replaceAllRangeFirstCased", replaceAllRangeFirst},
};

}

extern const NativeFamily KStringFamily{"String", "String:", KOperations};
