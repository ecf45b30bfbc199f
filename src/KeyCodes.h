#ifndef KELVO_KEYCODES_H
#define KELVO_KEYCODES_H

// The project's headers come before Qt's (see OString.h).
#include "Types.h"

namespace KeyCodes {

// Codes that applications receive for the keys they can tell apart: the
// printable keys from space to grave accent keep their Qt code (letters in
// upper case), the keys below have codes of their own, and every other key
// arrives as KOtherKey.
const TInt32 KOtherKey = 0x1000000;
const TInt32 KReturn = 0x1000001;
const TInt32 KBackspace = 0x1000002;
const TInt32 KLeft = 0x1000003;
const TInt32 KRight = 0x1000004;
const TInt32 KUp = 0x1000005;
const TInt32 KDown = 0x1000006;

// The application's code for the Qt key code aQtKey.
TInt32 fromQtKey(int aQtKey);

}

#endif
