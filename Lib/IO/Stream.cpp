#include "Stream.h"

namespace VESTRA {

Stream::~Stream() = default;

TBool Stream::isOpen() const
{
    return iOpen;
}

void Stream::onError()
{
}

}
