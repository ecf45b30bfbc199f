#include "Clock.h"

#include <chrono>

namespace Clock {

TInt64 wallClockMicros()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}
