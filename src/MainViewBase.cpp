#include "MainViewBase.h"

#include "EventCall.h"

namespace {

const TInt KPortrait = 1;

}

MainViewBase::MainViewBase(QWidget* aParent)
    : QWidget(aParent)
{
}

void MainViewBase::requestRepaint(TInt aX, TInt aY, TInt aWidth, TInt aHeight)
{
    update(repaintArea(QRect(aX, aY, aWidth, aHeight), isRotated(), height()));
}

void MainViewBase::runExtensionCall(const std::function<TInt32()>& aCall)
{
    EventCall::run(aCall);
}

// The picture is drawn turned by -90 degrees after moving down by the
// widget's height, so the application's x runs up the widget from its
// bottom edge and its y runs right.
QRect MainViewBase::repaintArea(const QRect& aRequest, TBool aRotated, TInt aWidgetHeight)
{
    if (!aRotated)
        return aRequest;
    return QRect(aRequest.y(), aWidgetHeight - aRequest.x() - aRequest.width(), aRequest.height(),
                 aRequest.width());
}

TBool MainViewBase::isRotated()
{
    return getOrientation() == KPortrait && width() > height();
}
