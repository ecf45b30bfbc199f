#ifndef KELVO_DESKTOPDEVICES_H
#define KELVO_DESKTOPDEVICES_H

// The project's headers come before Qt's (see OString.h).
#include "EventScript.h"
#include "FixedLocation.h"
#include "MDeviceSource.h"
#include "TiltEmulation.h"

class LoggingView;
class QGraphicsItem;
class ScreenFrame;

// The handset's devices on a workstation, for kelvo-run: the tilt of
// TiltEmulation, the position of FixedLocation, a torch shown as a lamp
// at the top left of the screen and told on the standard error stream and
// in the runner's log, and the desktop's overview as the window minimised.
// The event script's device lines come here.
class DesktopDevices : public MDeviceSource {
public:
    // The position is fed in gpsd's place when aLocation holds one or
    // aEvents has location lines.
    DesktopDevices(ScreenFrame& aFrame, LoggingView& aView, const PositionFix& aLocation,
                   const QVector<ScriptEvent>& aEvents);

    // A script's tilt or location line.
    void play(const ScriptEvent& aEvent);

    TBool tilt(TInt32& aX, TInt32& aY, TInt32& aZ) override;
    void torchSwitched(TBool aOn) override;
    void showOverview() override;
    MLocationFeed* locationFeed() override { return &iLocation; }

private:
    ScreenFrame& iFrame;
    LoggingView& iView;
    TiltEmulation iTilt;
    FixedLocation iLocation;
    // Owned by the frame's scene.
    QGraphicsItem* iTorchLamp = nullptr;
};

#endif
