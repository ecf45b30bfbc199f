#include "KeyCodes.h"

#include <Qt>

namespace KeyCodes {

// Enter on the keypad is not Return: it falls among the other keys.
TInt32 fromQtKey(int aQtKey)
{
    if (aQtKey >= Qt::Key_Space && aQtKey <= Qt::Key_QuoteLeft)
        return aQtKey;
    switch (aQtKey) {
    case Qt::Key_Return:
        return KReturn;
    case Qt::Key_Backspace:
        return KBackspace;
    case Qt::Key_Left:
        return KLeft;
    case Qt::Key_Right:
        return KRight;
    case Qt::Key_Up:
        return KUp;
    case Qt::Key_Down:
        return KDown;
    default:
        return KOtherKey;
    }
}

}
