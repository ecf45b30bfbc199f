// A stream header that reaches up into the host: the check must refuse it.
#include "Window.h"
