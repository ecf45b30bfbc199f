#include "PulseLibrary.h"

#include <dlfcn.h>

#include "ErrorHandling.h"

namespace {

// The sonames the headers were made for; both have been .0 since the
// libraries began.
const char KClientLibrary[] = "libpulse.so.0";
const char KMainloopLibrary[] = "libpulse-mainloop-glib.so.0";

// A function of either library, or null.
void* find(void* aClient, void* aMainloop, const char* aName)
{
    void* function = dlsym(aClient, aName);
    return function ? function : dlsym(aMainloop, aName);
}

// Every function, or false when a library or a function is missing. The
// handles are never closed: streams and callbacks may live until exit.
bool open(PulseLibrary& aLibrary)
{
    void* client = dlopen(KClientLibrary, RTLD_NOW | RTLD_LOCAL);
    void* mainloop = client ? dlopen(KMainloopLibrary, RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!mainloop)
        return false;
    bool complete = true;
#define KELVO_PULSE_FIND(name) \
    aLibrary.name = reinterpret_cast<decltype(aLibrary.name)>(find(client, mainloop, #name)); \
    complete = complete && aLibrary.name;
    KELVO_PULSE_FUNCTIONS(KELVO_PULSE_FIND)
#undef KELVO_PULSE_FIND
    return complete;
}

}

const PulseLibrary* openPulse()
{
    static PulseLibrary library;
    static const bool opened = open(library);
    return opened ? &library : nullptr;
}

const PulseLibrary& pulse()
{
    const PulseLibrary* library = openPulse();
    if (!library)
        ErrorHandling::raise(EUnsupportedFeature, KPulseNotAvailable);
    return *library;
}
