#include "CharClass.h"

#include <QChar>

namespace CharClass {

TBool isLetter(TUint16 aUnit)
{
    return QChar(aUnit).isLetter();
}

TBool isSpace(TUint16 aUnit)
{
    return QChar(aUnit).isSpace();
}

TBool isDigit(TUint16 aUnit)
{
    return QChar(aUnit).isDigit();
}

TUint16 toUpper(TUint16 aUnit)
{
    return QChar(aUnit).toUpper().unicode();
}

TUint16 toLower(TUint16 aUnit)
{
    return QChar(aUnit).toLower().unicode();
}

}
