#include "Screenshot.h"

namespace Screenshot {

bool save(MainView& aView, const QString& aPath)
{
    return aView.grab().save(aPath, "PNG");
}

}
