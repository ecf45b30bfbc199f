#ifndef KELVO_KEYEVENT_H
#define KELVO_KEYEVENT_H

#include "GCObject.h"
#include "OString.h"
#include "Types.h"

namespace Vestra {

// One key press or release as the application's key methods receive it.
// The host fills it once; the KeyEvent natives only read it. It lives on
// the host behind a handle, so the text goes when the collector frees the
// heap object.
class KeyEvent final : public GCObject {
public:
    KeyEvent(TInt32 aKeyCode, TInt32 aScanCode, TInt32 aExtra, const OString& aText)
        : iKeyCode(aKeyCode), iScanCode(aScanCode), iExtra(aExtra), iText(aText)
    {
    }

    TInt32 keyCode() const { return iKeyCode; }
    TInt32 scanCode() const { return iScanCode; }
    TInt32 extra() const { return iExtra; }
    const OString& text() const { return iText; }

private:
    TInt32 iKeyCode;
    TInt32 iScanCode;
    TInt32 iExtra;
    OString iText;
};

}

#endif
