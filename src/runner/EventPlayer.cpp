#include "EventPlayer.h"

#include "Screenshot.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

EventPlayer::EventPlayer(MainView& aView, const QVector<ScriptEvent>& aEvents)
    : iView(aView)
    , iEvents(aEvents)
{
    for (const ScriptEvent& event : aEvents)
        iScreenshotsOwed += event.kind == ScriptEvent::EScreenshot;
}

// Timers of equal time fire in the order they were started, so events of
// the same millisecond keep the script's order.
void EventPlayer::start()
{
    for (const ScriptEvent& event : std::as_const(iEvents))
        QTimer::singleShot(event.at, this, [this, event] { play(event); });
}

// Mouse and key events go to the view as the window system would send
// them; the desktop's and the device's state changes through the view's
// own entry points for them.
void EventPlayer::play(const ScriptEvent& aEvent)
{
    const QPointF position(aEvent.x, aEvent.y);
    switch (aEvent.kind) {
    case ScriptEvent::EPointerPress:
    case ScriptEvent::EPointerMove:
    case ScriptEvent::EPointerRelease: {
        const QEvent::Type type = aEvent.kind == ScriptEvent::EPointerPress ? QEvent::MouseButtonPress
            : aEvent.kind == ScriptEvent::EPointerMove                      ? QEvent::MouseMove
                                                                            : QEvent::MouseButtonRelease;
        const Qt::MouseButtons held = aEvent.kind == ScriptEvent::EPointerRelease ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButton button = aEvent.kind == ScriptEvent::EPointerMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, position, iView.mapToGlobal(position), button, held, Qt::NoModifier);
        QApplication::sendEvent(&iView, &event);
        break;
    }
    case ScriptEvent::EKeyPress:
    case ScriptEvent::EKeyRelease: {
        QKeyEvent event(aEvent.kind == ScriptEvent::EKeyPress ? QEvent::KeyPress : QEvent::KeyRelease, aEvent.key,
                        Qt::NoModifier, aEvent.text);
        QApplication::sendEvent(&iView, &event);
        break;
    }
    case ScriptEvent::EForeground:
    case ScriptEvent::EBackground:
        iView.setWindowActive(aEvent.kind == ScriptEvent::EForeground);
        break;
    case ScriptEvent::EDisplayOn:
    case ScriptEvent::EDisplayOff:
        iView.displaySignal(aEvent.kind == ScriptEvent::EDisplayOn ? QStringLiteral("on") : QStringLiteral("off"));
        break;
    case ScriptEvent::EScreenshot:
        --iScreenshotsOwed;
        if (!Screenshot::saveTelling(iView, {aEvent.file}))
            iScreenshotFailed = ETrue;
        break;
    case ScriptEvent::ETilt:
    case ScriptEvent::ELocation:
        if (iDevices)
            iDevices(aEvent);
        break;
    }
}
