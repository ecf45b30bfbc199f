#ifndef KELVO_EVENTPLAYER_H
#define KELVO_EVENTPLAYER_H

// The project's headers come before Qt's (see OString.h).
#include "MainView.h"
#include "EventScript.h"

#include <QObject>

#include <functional>

// Plays a script's events into the view at their times, counted from
// start(). Pointer positions are screen coordinates, whatever the window.
// A screenshot line saves the screen; one that cannot be written is told
// at once, and the run fails at its end.
class EventPlayer : public QObject {
public:
    EventPlayer(MainView& aView, const QVector<ScriptEvent>& aEvents);

    void start();
    // Plays one event now; a run in virtual time plays them itself
    // (VirtualClock.h).
    void play(const ScriptEvent& aEvent);

    // Screenshot lines not yet played.
    TBool owesScreenshots() const { return iScreenshotsOwed > 0; }
    TBool screenshotFailed() const { return iScreenshotFailed; }
    // Where tilt and location lines go; without it they are dropped.
    void setDeviceEvents(std::function<void(const ScriptEvent&)> aDevices) { iDevices = std::move(aDevices); }

private:

    MainView& iView;
    QVector<ScriptEvent> iEvents;
    TInt iScreenshotsOwed = 0;
    TBool iScreenshotFailed = EFalse;
    std::function<void(const ScriptEvent&)> iDevices;
};

#endif
