// The names of the native operations, by group and code (NativeNames.h).
// Each family's operations are listed in the order of its handler table.

#include "NativeNames.h"

#include <array>

namespace NativeNames {

namespace {

// The six vector families share most of their codes; 6 to 8 reach the
// elements and differ between vectors of values and of references.
constexpr std::array<Operation, 29> KVectorShared {{
    {2, "copy"}, {3, "fill"}, {4, "ignored"}, {5, "everyStep"}, {9, "first"}, {10, "last"}, {11, "count"},
    {12, "isEmpty"}, {13, "insertVector"}, {14, "insertStretch"}, {15, "insert"}, {16, "prependVector"},
    {17, "prepend"}, {18, "appendVector"}, {19, "append"}, {20, "repeat"}, {21, "removeAt"},
    {22, "removeStretch"}, {23, "removeHead"}, {24, "removeTail"}, {25, "clear"}, {26, "replaceByVector"},
    {27, "replaceByElement"}, {28, "copyStretch"}, {29, "single"}, {81, "replaceCheckedRange"},
    {82, "copyCheckedRange"}, {83, "replaceByStretch"}, {84, "joinStretches"},
}};

template <std::size_t KCount>
constexpr std::array<Operation, KVectorShared.size() + KCount> withShared(const std::array<Operation, KCount>& aOwn)
{
    std::array<Operation, KVectorShared.size() + KCount> operations {};
    for (std::size_t i = 0; i < KVectorShared.size(); ++i)
        operations[i] = KVectorShared[i];
    for (std::size_t i = 0; i < KCount; ++i)
        operations[KVectorShared.size() + i] = aOwn[i];
    return operations;
}

constexpr auto KValueVector = withShared<2>({{{6, "elementAddress"}, {8, "elementAboveVector"}}});
constexpr auto KReferenceVector = withShared<3>({{{6, "element"}, {7, "elementAddress"}, {8, "element2"}}});

const Operation KString[] = {
    {1, "constructEmpty"}, {2, "constructCopy"}, {4, "constructCopy2"}, {5, "constructFilled"},
    {7, "constructSubstring"}, {8, "constructStepped"}, {9, "constructSteppedRange"}, {10, "length"},
    {11, "isEmpty"}, {12, "charAt"}, {14, "firstChar"}, {15, "lastChar"}, {16, "locate"},
    {17, "indexOfInRange"}, {18, "indexOfCased"}, {19, "indexOfInRangeCased"}, {20, "indexOfChar"},
    {21, "indexOfCharInRange"}, {22, "indexOfCharCased"}, {23, "indexOfCharInRangeCased"},
    {24, "lastIndexOf"}, {25, "lastIndexOfInRange"}, {26, "lastIndexOfCased"},
    {27, "lastIndexOfInRangeCased"}, {28, "lastIndexOfChar"}, {29, "lastIndexOfCharInRange"},
    {30, "lastIndexOfCharCased"}, {31, "lastIndexOfCharInRangeCased"}, {32, "mostFrequentChar"},
    {33, "mostFrequentCharInRange"}, {34, "mostFrequentCharCased"}, {35, "mostFrequentCharInRangeCased"},
    {36, "countOf"}, {37, "countOfInRange"}, {38, "countOfCased"}, {39, "countOfInRangeCased"},
    {40, "countOfChar"}, {41, "countOfCharInRange"}, {42, "countOfCharCased"},
    {43, "countOfCharInRangeCased"}, {44, "startsWith"}, {45, "startsWithCased"}, {46, "endsWith"},
    {47, "endsWithCased"}, {48, "join"}, {49, "repeated"}, {50, "split"}, {51, "splitCased"},
    {52, "splitAtChar"}, {53, "splitAtCharCased"}, {57, "insert"}, {58, "insertChar"}, {59, "insertRange"},
    {60, "prepend"}, {61, "prependChar"}, {62, "append"}, {63, "appendChar"}, {64, "append2"},
    {65, "appendChar2"}, {66, "repeat"}, {67, "replaceRange"}, {68, "replaceRangeByChar"},
    {69, "replaceFirst"}, {70, "replaceFirstCased"}, {71, "replaceFirstByChar"},
    {72, "replaceFirstByCharCased"}, {73, "replaceFirstInRange"}, {74, "replaceFirstInRangeCased"},
    {75, "replaceFirstByCharInRange"}, {76, "replaceFirstByCharInRangeCased"}, {77, "replaceLast"},
    {78, "replaceLastCased"}, {79, "replaceLastByChar"}, {80, "replaceLastByCharCased"},
    {81, "replaceLastInRange"}, {82, "replaceLastInRangeCased"}, {83, "replaceLastByCharInRange"},
    {84, "replaceLastByCharInRangeCased"}, {85, "replaceAll"}, {86, "replaceAllCased"},
    {87, "replaceAllByChar"}, {88, "replaceAllByCharCased"}, {89, "replaceAllInRange"},
    {90, "replaceAllInRangeCased"}, {91, "replaceAllByCharInRange"}, {92, "replaceAllByCharInRangeCased"},
    {93, "removeCharAt"}, {94, "removeRange"}, {95, "removeFirst"}, {96, "removeFirstInRange"},
    {97, "removeFirstCased"}, {98, "removeFirstInRangeCased"}, {99, "removeFirstChar"},
    {100, "removeFirstCharInRange"}, {101, "removeFirstCharCased"}, {102, "removeFirstCharInRangeCased"},
    {103, "removeLast"}, {104, "removeLastInRange"}, {105, "removeLastCased"},
    {106, "removeLastInRangeCased"}, {107, "removeLastChar"}, {108, "removeLastCharInRange"},
    {109, "removeLastCharCased"}, {110, "removeLastCharInRangeCased"}, {111, "removeAll"},
    {112, "removeAllInRange"}, {113, "removeAllCased"}, {114, "removeAllInRangeCased"},
    {115, "removeAllChar"}, {116, "removeAllCharInRange"}, {117, "removeAllCharCased"},
    {118, "removeAllCharInRangeCased"}, {119, "removeFirstUnit"}, {120, "removeHead"},
    {121, "removeLastUnit"}, {122, "removeTail"}, {123, "clear"}, {124, "trimStart"}, {125, "trimEnd"},
    {126, "trim"}, {127, "toLowerCase"}, {-128, "toUpperCase"}, {-127, "charToLower"}, {-126, "charToUpper"},
    {-125, "charIsLetter"}, {-124, "charIsDigit"}, {-123, "charIsSpace"}, {-122, "decimalText"},
    {-121, "unsignedText"}, {-120, "parseDecimal"}, {-119, "parse"}, {-118, "compareCased"},
    {-117, "compareInRangeCased"}, {-116, "equal"}, {-115, "notEqual"}, {-114, "less"}, {-113, "lessOrEqual"},
    {-112, "greater"}, {-111, "greaterOrEqual"}, {-110, "equalsIgnoringCase"}, {-109, "equalsCased"},
    {-108, "regionEquals"}, {-107, "regionEqualsCased"}, {-106, "substring"}, {-105, "ignored"},
    {-104, "replaceOrInsert"}, {-103, "substringReference"}, {-102, "replaceOrInsertPart"},
    {-101, "indexOfRangeFirst"}, {-100, "indexOfRangeFirstCased"}, {-99, "lastIndexOfRangeFirst"},
    {-98, "lastIndexOfRangeFirstCased"}, {-97, "replaceAllRangeFirst"}, {-96, "replaceAllRangeFirstCased"},
};

const Operation KChar[] = {
    {1, "toLowerBelow"}, {2, "toUpperBelow"}, {3, "toLower"}, {4, "toUpper"}, {5, "isLetter"}, {6, "isDigit"},
    {7, "isSpace"}, {8, "toText"}, {9, "toCode"},
};

const Operation KFixed[] = {
    {1, "load"}, {2, "fromByte"}, {3, "fromInt"}, {4, "parse"}, {5, "absolute"}, {6, "negate"}, {7, "add"},
    {8, "subtract"}, {9, "multiply"}, {10, "divide"}, {11, "power"}, {12, "addAssign"},
    {13, "subtractAssign"}, {14, "multiplyAssign"}, {15, "divideAssign"}, {16, "increment"},
    {17, "decrement"}, {18, "equal"}, {19, "notEqual"}, {20, "less"}, {21, "lessOrEqual"}, {22, "greater"},
    {23, "greaterOrEqual"}, {24, "textWithDecimals"}, {25, "text"}, {26, "round"}, {27, "ceiling"},
    {28, "floor"}, {29, "minimum"}, {30, "maximum"},
};

const Operation KLong[] = {
    {1, "clear"}, {2, "assign"}, {3, "assign2"}, {5, "add"}, {6, "subtract"}, {7, "multiply"}, {8, "divide"},
    {9, "remainder"}, {10, "negate"}, {11, "increment"}, {12, "decrement"}, {13, "addAssign"},
    {14, "subtractAssign"}, {15, "multiplyAssign"}, {16, "divideAssign"}, {17, "remainderAssign"},
    {18, "equal"}, {19, "less"}, {20, "lessOrEqual"}, {21, "notEqual"}, {22, "greater"},
    {23, "greaterOrEqual"}, {24, "and"}, {25, "or"}, {26, "xor"}, {27, "shiftLeft"}, {28, "shiftRight"},
    {29, "andAssign"}, {30, "orAssign"}, {31, "xorAssign"}, {32, "shiftLeftAssign"}, {33, "shiftRightAssign"},
    {34, "text"}, {35, "ignored"}, {36, "ignored2"}, {37, "toInt"}, {38, "fromInt"},
};

const Operation KColor[] = {
    {1, "white"}, {2, "copy"}, {3, "setComponents"}, {4, "red"}, {5, "green"}, {6, "blue"}, {7, "alpha"},
    {8, "setRed"}, {9, "setGreen"}, {10, "setBlue"}, {11, "setAlpha"}, {12, "equal"}, {13, "notEqual"},
    {14, "predefinedRed"}, {15, "predefinedGreen"}, {16, "predefinedBlue"}, {17, "predefinedBlack"},
    {18, "predefinedWhite"}, {19, "predefinedCyan"}, {20, "predefinedMagenta"}, {21, "predefinedYellow"},
    {22, "predefinedGrey"}, {23, "predefinedBrown"}, {24, "predefinedOrange"},
};

const Operation KRange[] = {
    {1, "clear"}, {2, "copy"}, {3, "setFirstAndLast"}, {4, "setFirstAndLength"}, {5, "first"}, {6, "length"},
    {7, "setFirst"}, {8, "setLength"}, {9, "equal"}, {10, "notEqual"}, {11, "setFirstToEnd"},
    {12, "setFirstToEnd2"},
};

const Operation KSize[] = {
    {1, "clear"}, {2, "copy"}, {3, "set"}, {4, "width"}, {5, "height"}, {6, "setWidth"}, {7, "setHeight"},
    {8, "equal"}, {9, "notEqual"},
};

const Operation KPosition[] = {
    {1, "clear"}, {2, "copy"}, {3, "set"}, {4, "x"}, {5, "y"}, {6, "setX"}, {7, "setY"}, {8, "equal"},
    {9, "notEqual"},
};

const Operation KRectangle[] = {
    {1, "clear"}, {2, "copy"}, {3, "set"}, {4, "position"}, {5, "size"}, {6, "x"}, {7, "y"}, {8, "width"},
    {9, "height"}, {10, "right"}, {11, "bottom"}, {12, "setPosition"}, {13, "setSize"}, {14, "setX"},
    {15, "setY"}, {16, "setWidth"}, {17, "setHeight"}, {18, "setRight"}, {19, "setBottom"}, {20, "equal"},
    {21, "notEqual"},
};

const Operation KGraphics[] = {
    {1, "drawBitmap"}, {2, "drawString"}, {3, "drawStringRange"}, {4, "fillRectangle"}, {5, "drawLine"},
    {6, "tileBitmap"}, {7, "drawArea"}, {8, "clear"}, {9, "noOperation"}, {10, "drawRotatedScaled"},
};

const Operation KBitmap[] = {
    {1, "create"}, {2, "copyArea"}, {3, "loadFile"}, {4, "loadBytes"}, {5, "loadByteRange"}, {6, "duplicate"},
    {7, "getPixel"}, {8, "getSize"}, {9, "setPixel"}, {10, "resize"}, {11, "resizeFast"},
    {12, "resizeSmooth"}, {13, "encode"},
};

const Operation KFont[] = {
    {2, "height"}, {3, "ascent"}, {4, "stringWidth"}, {5, "stringWidthRange"}, {6, "charactersFitting"},
    {7, "charactersFittingRange"},
};

const Operation KOutputStream[] = {
    {1, "close"}, {2, "isOpen"}, {3, "write"}, {4, "writeRange"},
};

const Operation KFileWriter[] = {
    {1, "open"}, {2, "seek"}, {3, "position"}, {4, "size"},
};

const Operation KInputStream[] = {
    {1, "close"}, {2, "isOpen"}, {3, "read"},
};

const Operation KFileReader[] = {
    {1, "open"}, {2, "seek"}, {3, "position"}, {4, "size"},
};

const Operation KFileSystem[] = {
    {1, "fileExists"}, {2, "directoryExists"}, {3, "deleteFile"}, {4, "removeDirectory"},
    {5, "listDirectories"}, {6, "listFiles"}, {7, "createFile"}, {8, "createDirectory"}, {9, "moveFile"},
    {10, "renameDirectory"},
};

const Operation KMath[] = {
    {1, "sin", "x (fixed)", "sin x (fixed), x in radians", ""},
    {2, "cos", "x (fixed)", "cos x (fixed)", ""},
    {3, "tan", "x (fixed)", "tan x (fixed)", "MathException (8) where the tangent leaves the fixed-point range"},
    {4, "asin", "x (fixed)", "asin x (fixed), in radians", "MathException (8) when x is outside -1 to 1"},
    {5, "acos", "x (fixed)", "acos x (fixed), in radians", "MathException (8) when x is outside -1 to 1"},
    {6, "atan", "x (fixed)", "atan x (fixed), in radians", ""},
    {7, "toDegrees", "radians (fixed)", "degrees (fixed)", "MathException (8) for magnitudes beyond a full turn"},
    {8, "toRadians", "degrees (fixed)", "radians (fixed)", "MathException (8) for magnitudes above 360"},
    {9, "sqrt", "x (fixed)", "the square root (fixed)", "MathException (8) when x is negative"},
    {10, "logBase", "y (fixed), base (fixed)", "the logarithm of y to the base (fixed)", "MathException (8) when y or the base is <= 0, or the base is 1"},
    {11, "ln", "x (fixed)", "the natural logarithm (fixed)", "MathException (8) when x <= 0"},
    {12, "randomInt", "first, second", "a random int from the smaller to the larger, both included", ""},
    {13, "randomFixed", "first (fixed), second (fixed)", "a random fixed-point value from the smaller up to the larger", ""},
    {14, "minByte", "left, right", "the smaller, compared and left as signed bytes", ""},
    {15, "minInt", "left, right", "the smaller int", ""},
    {16, "minFixed", "left (fixed), right (fixed)", "the smaller (fixed)", ""},
    {17, "maxByte", "left, right", "the larger, compared and left as signed bytes", ""},
    {18, "maxInt", "left, right", "the larger int", ""},
    {19, "maxFixed", "left (fixed), right (fixed)", "the larger (fixed)", ""},
    {20, "e", "", "e (fixed, pushed)", ""},
    {21, "pi", "", "pi (fixed, pushed)", ""},
    {22, "epsilon", "", "the smallest positive fixed-point value (fixed, pushed)", ""},
};

const Operation KNumber[] = {
    {1, "absoluteByte", "value", "the magnitude of the value's low byte read as signed; a value whose low byte is not negative stays as it is", ""},
    {2, "absoluteInt", "value", "the magnitude; -2147483648 gives 2147483647", ""},
    {3, "unsignedText", "value, radix", "a new string of the value read as unsigned in the radix (2 to 36); another radix gives an empty string", ""},
};

const Operation KEncoder[] = {
    {1, "encode"}, {2, "decode"},
};

const Operation KDateTime[] = {
    {1, "setNow"}, {2, "copy"}, {3, "copy2"}, {4, "setFields"}, {5, "add"}, {6, "subtract"}, {7, "day"},
    {8, "month"}, {9, "year"}, {10, "hour"}, {11, "minute"}, {12, "second"}, {13, "timezone"}, {14, "setDay"},
    {15, "setMonth"}, {16, "setYear"}, {17, "setHour"}, {18, "setMinute"}, {19, "setSecond"},
    {20, "setTimezone"}, {21, "text"}, {22, "sameObject"}, {23, "otherObject"}, {24, "equal"},
    {25, "notEqual"}, {26, "before"}, {27, "beforeOrEqual"}, {28, "after"}, {29, "afterOrEqual"},
};

const Operation KDebug[] = {
    {1, "log", "string", "", "NullPointerException (1) when the string is null"},
    {2, "openLogFile", "path (string)", "", "NullPointerException (1) when the string is null; later lines go to that file as well, an empty path closes it"},
    {3, "ignored", "", "", ""},
};

const Operation KScreen[] = {
    {1, "repaintAll", "", "", ""},
    {2, "screenSize", "", "width, height (both pushed)", ""},
    {3, "setOrientation", "orientation (1 portrait, 2 landscape)", "", ""},
    {4, "orientation", "", "the host's orientation (pushed)", ""},
    {5, "setScreenFlag", "flag", "", ""},
    {6, "repaintArea", "x, y, width, height", "", ""},
    {7, "addListener", "listener object", "", "InvalidArgumentException (6) \"The screen listener must be an object\""},
    {8, "removeListener", "listener object", "", ""},
};

const Operation KSystem[] = {
    {1, "exit", "", "", ""},
    {2, "requestAndExit", "request (string)", "", "NullPointerException (1) when the string is null; then the request to end the application (12)"},
    {3, "elapsedMillis", "", "milliseconds since start, low 32 bits (pushed)", ""},
    {4, "callStack", "", "a new string \"No Callstack available\" (pushed)", ""},
    {5, "setApplicationObject", "object, or 0 to clear", "", "InvalidArgumentException (6) \"The application object must be an object\""},
    {6, "queryB", "", "the host's answer (pushed)", ""},
    {7, "queryA", "", "the host's answer (pushed)", ""},
    {8, "currentTimeMillis", "", "milliseconds since 1970, low 32 bits (pushed)", ""},
    {9, "copyDateTime", "date-time", "a new cell holding a copy of it", ""},
    {10, "defaultFont", "", "the platform font at 40 pixels (pushed)", ""},
    {11, "fontFromFile", "file name (string)", "a bitmap font read from the application's file", "InvalidArgumentException (6) for an empty name or file or data that is no picture; IOException (7) when the file cannot be opened"},
    {12, "fontFromBytes", "byte vector", "a bitmap font decoded from the whole vector", "InvalidArgumentException (6) \"byte[] is empty\", or for data that is no picture"},
    {13, "discardTwo", "a, b", "", ""},
    {14, "answerZero", "value", "0", ""},
    {15, "answerZero2", "value", "0", ""},
};

const Operation KTimer[] = {
    {1, "start", "timer, listener, delay (ms; negative counts as 0)", "the timer's id", ""},
    {2, "stop", "timer, id", "", ""},
    {3, "changeDelay", "timer, id, delay (ms)", "", ""},
};

const Operation KHash[] = {
    {1, "create"}, {2, "digestOf"}, {3, "feed"}, {4, "digest"},
};

const Operation KKeyEvent[] = {
    {1, "keyCode", "key event cell", "the key code", "NullPointerException (1) when the cell or the event is 0; VMException (10) \"Not a key event\""},
    {2, "extra", "key event cell", "the event's extra value", "NullPointerException (1) when the cell or the event is 0; VMException (10) \"Not a key event\""},
    {3, "scanCode", "key event cell", "the scan code", "NullPointerException (1) when the cell or the event is 0; VMException (10) \"Not a key event\""},
    {4, "text", "key event cell", "a new string of the key's text", "NullPointerException (1) when the cell or the event is 0; VMException (10) \"Not a key event\""},
};

const Family KFamilies[] = {
    {EGroupByteVector, "ByteVector", KValueVector},
    {EGroupWordVector, "WordVector", KValueVector},
    {EGroupDoubleWordVector, "DoubleWordVector", KValueVector},
    {EGroupTripleWordVector, "TripleWordVector", KValueVector},
    {EGroupQuadWordVector, "QuadWordVector", KValueVector},
    {EGroupReferenceVector, "ReferenceVector", KReferenceVector},
    {EGroupString, "String", KString},
    {EGroupByte, "Byte", {}},
    {EGroupChar, "Char", KChar},
    {EGroupFixed, "Fixed", KFixed},
    {EGroupLong, "Long", KLong},
    {EGroupColor, "Color", KColor},
    {EGroupRange, "Range", KRange},
    {EGroupSize, "Size", KSize},
    {EGroupPosition, "Position", KPosition},
    {EGroupRectangle, "Rectangle", KRectangle},
    {EGroupGraphics, "Graphics", KGraphics},
    {EGroupBitmap, "Bitmap", KBitmap},
    {EGroupFont, "Font", KFont},
    {EGroupOutputStream, "OutputStream", KOutputStream},
    {EGroupFileWriter, "FileWriter", KFileWriter},
    {EGroupInputStream, "InputStream", KInputStream},
    {EGroupFileReader, "FileReader", KFileReader},
    {EGroupFileSystem, "FileSystem", KFileSystem},
    {EGroupMath, "Math", KMath},
    {EGroupNumber, "Number", KNumber},
    {EGroupEncoder, "Encoder", KEncoder},
    {EGroupDateTime, "DateTime", KDateTime},
    {EGroupDebug, "Debug", KDebug},
    {EGroupScreen, "Screen", KScreen},
    {EGroupSystem, "System", KSystem},
    {EGroupTimer, "Timer", KTimer},
    {EGroupHash, "Hash", KHash},
    {EGroupKeyEvent, "KeyEvent", KKeyEvent},
};

}

std::span<const Family> families()
{
    return KFamilies;
}

const Family* family(TInt aGroup)
{
    for (const Family& f : KFamilies) {
        if (f.group == aGroup)
            return &f;
    }
    return nullptr;
}

const Family* findFamily(std::string_view aName)
{
    for (const Family& f : KFamilies) {
        if (aName == f.name)
            return &f;
    }
    return nullptr;
}

const Operation* operation(TInt aGroup, TInt aCode)
{
    const Family* f = family(aGroup);
    if (!f)
        return nullptr;
    for (const Operation& o : f->operations) {
        if (o.code == aCode)
            return &o;
    }
    return nullptr;
}

const Operation* findOperation(const Family& aFamily, std::string_view aName)
{
    for (const Operation& o : aFamily.operations) {
        if (aName == o.name)
            return &o;
    }
    return nullptr;
}

}
