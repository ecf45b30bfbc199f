// kelvo-vm for bench/compare: the same start-up and run, and two options
// that the device's command line does not have, which switch off the
// machine's fused handlers (--no-fusion) or its register form
// (--no-register-form) to measure what each is worth.

#include "DeviceStart.h"
#include "MainView.h"

#include <cstring>

int main(int argc, char* argv[])
{
    TBool fusion = ETrue;
    TBool registerForm = ETrue;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-fusion") == 0)
            fusion = EFalse;
        else if (std::strcmp(argv[i], "--no-register-form") == 0)
            registerForm = EFalse;
        else
            argv[kept++] = argv[i];
    }
    argv[kept] = nullptr;
    return DeviceStart::run(kept, argv, [&](MainView& aView) { aView.setExecutionModes(fusion, registerForm); });
}
