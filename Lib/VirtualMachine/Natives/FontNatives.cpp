// Font natives (group 20): the metrics of a font value. A null font
// answers 0 to everything; a null string counts as an empty one.

#include "VirtualMachine.h"

#include "DrawTargets.h"
#include "NativeFamily.h"
#include "RangeCheck.h"

namespace {

// Reads a font native's operands: the font deepest, then the string, the
// range when the code has one, and the width when it has one.
struct FontCall {
    CAppsFont* font;
    OString text;
    TInt first;
    TInt count;

    FontCall(VirtualMachine& aMachine, TInt aOperands, TBool aRange)
        : font(DrawTargets::fontOf(aMachine.heap(), aMachine.operand(aOperands - 1)))
    {
        const TUint32 textValue = aOperands > 1 ? aMachine.operand(aOperands - 2) : 0;
        if (textValue != 0)
            text = aMachine.stringOf(textValue);
        first = 0;
        count = text.length();
        if (aRange) {
            first = aMachine.intOperand(aOperands - 3);
            count = aMachine.intOperand(aOperands - 4);
            checkRange(0, text.length(), first, count);
        }
    }
};

// font.
void height(VirtualMachine& aMachine, TInt)
{
    const FontCall call(aMachine, 1, EFalse);
    aMachine.replaceOperands(1, call.font ? static_cast<TUint32>(call.font->height()) : 0);
}

// font.
void ascent(VirtualMachine& aMachine, TInt)
{
    const FontCall call(aMachine, 1, EFalse);
    aMachine.replaceOperands(1, call.font ? static_cast<TUint32>(call.font->ascent()) : 0);
}

// Codes 4 and 5: font, string[, first, count].
void stringWidth(VirtualMachine& aMachine, TInt aOperation)
{
    const TBool range = aOperation == 5;
    const TInt operands = range ? 4 : 2;
    const FontCall call(aMachine, operands, range);
    const TInt width = call.font ? call.font->stringWidth(call.text, call.first, call.count) : 0;
    aMachine.replaceOperands(operands, static_cast<TUint32>(width));
}

// Codes 6 and 7: font, string[, first, count], max width.
void charactersFitting(VirtualMachine& aMachine, TInt aOperation)
{
    const TBool range = aOperation == 7;
    const TInt operands = range ? 5 : 3;
    const TInt maxWidth = aMachine.intOperand(0);
    const FontCall call(aMachine, operands, range);
    const TInt fitting = call.font ? call.font->charactersFitting(call.text, call.first, call.count, maxWidth) : 0;
    aMachine.replaceOperands(operands, static_cast<TUint32>(fitting));
}

const NativeOperation KOperations[] = {
    {2, "height", height},
    {3, "ascent", ascent},
    {4, "stringWidth", stringWidth},
    {5, "stringWidthRange", stringWidth},
    {6, "charactersFitting", charactersFitting},
    {7, "charactersFittingRange", charactersFitting},
};

}

extern const NativeFamily KFontFamily{"Font", "Font:", KOperations};
