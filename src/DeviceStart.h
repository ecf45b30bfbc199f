#ifndef KELVO_DEVICESTART_H
#define KELVO_DEVICESTART_H

#include <functional>

class MainView;

// kelvo-vm's start-up, in the device's order: the application object, the
// window shown, then the image loaded and "main" run; then the event loop.
namespace DeviceStart {

// Runs the application that the command line chooses and answers the
// process's status. aPrepare, when given, sees the view before it loads
// (a benchmark's entry program switches the machine's ways of running code
// there).
int run(int aArgc, char** aArgv, const std::function<void(MainView&)>& aPrepare = {});

}

#endif
