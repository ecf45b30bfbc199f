// The runtime's entry point.

#include "DeviceStart.h"

int main(int argc, char* argv[])
{
    return DeviceStart::run(argc, argv);
}
