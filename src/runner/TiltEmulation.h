#ifndef KELVO_TILTEMULATION_H
#define KELVO_TILTEMULATION_H

// The project's headers come before Qt's (see OString.h).
#include "Types.h"

#include <QObject>
#include <QPointF>

class QGraphicsItemGroup;
class QKeyEvent;
class QMouseEvent;
class ScreenFrame;

// The tilt of a handset that the workstation does not have, in milli-g on
// the handset's axes: X to the right of the screen, Y to its top, Z out of
// it, gravity's pull as the handset's sensor gives it, so a device lying
// level reads 0, 0, -1000. The user tilts it on the window given to
// attach(): Ctrl with an arrow or with the keypad's 1 to 9 lowers that edge
// or corner by KStepDegrees (Ctrl with keypad 5 sets it level again), and a
// drag with the right mouse button tilts it by the drag's length. Either
// keeps gravity at 1 g. An event script sets the values themselves. While
// the device is not level, a small gauge at the top right of the screen
// shows where gravity pulls and the three values.
class TiltEmulation : public QObject {
public:
    static constexpr double KStepDegrees = 5;
    // Pixels of a right-button drag per degree of tilt.
    static constexpr double KPixelsPerDegree = 2;

    // The keys and the drag are taken from aWindow before the application
    // sees them, and the gauge is laid over its screen.
    void attach(ScreenFrame& aWindow);

    // ETrue once the user or a script moved the device.
    TBool read(TInt32& aX, TInt32& aY, TInt32& aZ) const;
    // A script's tilt, taken as it is.
    void set(TInt32 aX, TInt32 aY, TInt32 aZ);

protected:
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

private:
    // Lowers the right edge by aRightDegrees and the top edge by
    // aTopDegrees from where the device is, 1 g in all; each angle stays
    // within a quarter turn.
    void tiltBy(double aRightDegrees, double aTopDegrees);
    void level();
    TBool isLevel() const;
    TBool takeKey(const QKeyEvent& aEvent);
    TBool takeDrag(const QMouseEvent& aEvent);
    void setAngles(double aRight, double aTop);
    void showGauge();

    double iX = 0;
    double iY = 0;
    double iZ = -1000;
    // The angles that the keys and the drag work on, in degrees.
    double iRight = 0;
    double iTop = 0;
    TBool iMoved = EFalse;
    ScreenFrame* iWindow = nullptr;
    QGraphicsItemGroup* iGauge = nullptr;
    // Where a right-button drag began, and the angles then.
    TBool iDragging = EFalse;
    QPointF iDragStart;
    double iDragRight = 0;
    double iDragTop = 0;
};

#endif
