// The heap reaching the machine above it: the check must refuse it.
#include "Machine.h"
#include <vector>
