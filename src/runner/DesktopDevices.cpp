#include "DesktopDevices.h"
#include "LoggingView.h"
#include "ScreenFrame.h"

#include <algorithm>

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QGraphicsScene>
#include <QPen>

namespace {

const qreal KLampMargin = 8;
const qreal KLampSize = 20;
const qreal KLampDepth = 2;

}

DesktopDevices::DesktopDevices(ScreenFrame& aFrame, LoggingView& aView, const PositionFix& aLocation,
                               const QVector<ScriptEvent>& aEvents)
    : iFrame(aFrame), iView(aView)
{
    iTilt.attach(aFrame);
    const TBool scripted = std::any_of(aEvents.begin(), aEvents.end(),
                                       [](const ScriptEvent& aEvent) { return aEvent.kind == ScriptEvent::ELocation; });
    if (aLocation.hasFix || scripted)
        iLocation.feed(aLocation);
}

void DesktopDevices::play(const ScriptEvent& aEvent)
{
    if (aEvent.kind == ScriptEvent::ETilt)
        iTilt.set(aEvent.x, aEvent.y, aEvent.z);
    else if (aEvent.kind == ScriptEvent::ELocation)
        iLocation.set(aEvent.position);
}

TBool DesktopDevices::tilt(TInt32& aX, TInt32& aY, TInt32& aZ)
{
    return iTilt.read(aX, aY, aZ);
}

// A lit lamp over the screen's corner while the torch is on; like the tilt
// gauge it is not part of the application's picture.
void DesktopDevices::torchSwitched(TBool aOn)
{
    iView.note(aOn ? QStringLiteral("the torch is on") : QStringLiteral("the torch is off"));
    delete iTorchLamp;
    iTorchLamp = nullptr;
    if (!aOn)
        return;
    iTorchLamp = iFrame.scene()->addEllipse(KLampMargin, KLampMargin, KLampSize, KLampSize, QPen(Qt::white),
                                            QBrush(QColor(255, 230, 120)));
    iTorchLamp->setZValue(KLampDepth);
}

// The desktop's nearest thing to the handset's application overview.
void DesktopDevices::showOverview()
{
    iFrame.showMinimized();
}
