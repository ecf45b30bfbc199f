#ifndef KELVO_PORTRAITREQUEST_H
#define KELVO_PORTRAITREQUEST_H

// The project's headers come before Qt's (see OString.h).
#include "Types.h"

namespace PortraitRequest {

// Asks the window manager to turn the screen to portrait (ETrue) or back
// to landscape, through a property of the root window. A window manager
// that knows no such request has not made the property's name known, and
// then nothing is sent; without X11 there is nobody to ask.
void send(TBool aPortrait);

}

#endif
