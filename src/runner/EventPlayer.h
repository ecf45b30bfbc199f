#ifndef KELVO_EVENTPLAYER_H
#define KELVO_EVENTPLAYER_H

// The project's headers come before Qt's (see OString.h).
#include "MainView.h"
#include "EventScript.h"

#include <QObject>

// Plays a script's events into the view at their times, counted from
// start(). Pointer positions are screen coordinates, whatever the window.
class EventPlayer : public QObject {
public:
    EventPlayer(MainView& aView, const QVector<ScriptEvent>& aEvents);

    void start();

private:
    void play(const ScriptEvent& aEvent);

    MainView& iView;
    QVector<ScriptEvent> iEvents;
};

#endif
