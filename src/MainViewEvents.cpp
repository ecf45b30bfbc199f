// The window-system events that become calls of the application's event
// methods. Every call goes through EventCall, which ends the process when
// the application asked to end or failed fatally. Calls that arrive while
// a method runs wait in the machine's queue, in arrival order; events that
// arrive before the machine exists are dropped.

// The project's headers come before Qt's (see OString.h).
#include "EventCall.h"
#include "KeyCodes.h"
#include "MainView.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace {

const TInt KPointerPressed = 0;
const TInt KPointerReleased = 1;
const TInt KPointerMoved = 6;
// The host has no modifiers or third key value to give.
const TInt KNoModifiers = 0;
const TInt KNoExtra = 0;

TBool foregroundReportedFlag = EFalse;

}

TBool MainView::foregroundReported()
{
    return foregroundReportedFlag;
}

void MainView::mousePressEvent(QMouseEvent* aEvent)
{
    deliverPointer(KPointerPressed, *aEvent);
}

void MainView::mouseReleaseEvent(QMouseEvent* aEvent)
{
    deliverPointer(KPointerReleased, *aEvent);
}

// Without mouse tracking, moves arrive only while the pointer is pressed.
void MainView::mouseMoveEvent(QMouseEvent* aEvent)
{
    deliverPointer(KPointerMoved, *aEvent);
}

void MainView::keyPressEvent(QKeyEvent* aEvent)
{
    deliverKey(ETrue, *aEvent);
}

void MainView::keyReleaseEvent(QKeyEvent* aEvent)
{
    deliverKey(EFalse, *aEvent);
}

void MainView::showEvent(QShowEvent* aEvent)
{
    MainViewBase::showEvent(aEvent);
    iWindowVisible = ETrue;
    reportForegroundChange();
}

void MainView::hideEvent(QHideEvent* aEvent)
{
    MainViewBase::hideEvent(aEvent);
    iWindowVisible = EFalse;
    reportForegroundChange();
}

void MainView::setWindowActive(TBool aActive)
{
    iWindowVisible = aActive;
    reportForegroundChange();
}

void MainView::displaySignal(const QString& aState)
{
    iDisplayOn = aState != QLatin1String("off");
    reportForegroundChange();
}

// Positions are the widget's own, also while the picture is turned.
void MainView::deliverPointer(TInt aKind, const QMouseEvent& aEvent)
{
    if (!iMachine)
        return;
    const QPoint position = aEvent.position().toPoint();
    EventCall::run([&] { return iMachine->pointerEvent(aKind, position.x(), position.y(), KNoModifiers); });
}

// Auto-repeated presses are delivered like any other.
void MainView::deliverKey(TBool aPressed, const QKeyEvent& aEvent)
{
    if (!iMachine)
        return;
    const TInt32 keyCode = KeyCodes::fromQtKey(aEvent.key());
    const TInt32 scanCode = static_cast<TInt32>(aEvent.nativeScanCode());
    const OString text = OString::fromQString(aEvent.text());
    EventCall::run([&] {
        return aPressed ? iMachine->keyPressedEvent(keyCode, scanCode, KNoExtra, text)
                        : iMachine->keyReleasedEvent(keyCode, scanCode, KNoExtra, text);
    });
}

// Only a change is reported. Without a machine nothing is recorded, so the
// state is compared again once the machine runs.
void MainView::reportForegroundChange()
{
    const TBool foreground = isForeground();
    if (!iMachine || foreground == foregroundReportedFlag)
        return;
    foregroundReportedFlag = foreground;
    EventCall::run([&] { return foreground ? iMachine->foregroundEvent() : iMachine->backgroundEvent(); });
}
