// The emulated tilt of kelvo-run: its state, the keys and the drag that
// change it, and the gauge that shows it.

#include "TiltEmulation.h"
#include "ScreenFrame.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <QBrush>
#include <QGraphicsEllipseItem>
#include <QGraphicsItemGroup>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPen>

namespace {

const double KMilliG = 1000;
const double KQuarterTurn = 90;
// The gauge: a disc whose dot sits where gravity pulls, and the values.
const qreal KGaugeRadius = 24;
const qreal KGaugeMargin = 8;
const qreal KGaugeWidth = 128;
const qreal KGaugeHeight = 2 * KGaugeRadius + 2 * KGaugeMargin + 16;
const qreal KDotRadius = 4;
const qreal KGaugeDepth = 2;

double radians(double aDegrees)
{
    return aDegrees * std::numbers::pi / 180;
}

double degrees(double aRadians)
{
    return aRadians * 180 / std::numbers::pi;
}

}

void TiltEmulation::attach(ScreenFrame& aWindow)
{
    iWindow = &aWindow;
    aWindow.installEventFilter(this);
    aWindow.viewport()->installEventFilter(this);
}

TBool TiltEmulation::read(TInt32& aX, TInt32& aY, TInt32& aZ) const
{
    aX = static_cast<TInt32>(std::lround(iX));
    aY = static_cast<TInt32>(std::lround(iY));
    aZ = static_cast<TInt32>(std::lround(iZ));
    return iMoved;
}

// The keys and the drag go on from the angles of a script's values.
void TiltEmulation::set(TInt32 aX, TInt32 aY, TInt32 aZ)
{
    iX = aX;
    iY = aY;
    iZ = aZ;
    const double strength = std::sqrt(iX * iX + iY * iY + iZ * iZ);
    iTop = strength > 0 ? degrees(std::asin(std::clamp(iY / strength, -1.0, 1.0))) : 0;
    // 0.0 - iZ rather than -iZ: a Z of 0 must not become -0, which turns
    // the device over.
    iRight = strength > 0 ? degrees(std::atan2(iX, 0.0 - iZ)) : 0;
    iMoved = ETrue;
    showGauge();
}

void TiltEmulation::tiltBy(double aRightDegrees, double aTopDegrees)
{
    setAngles(iRight + aRightDegrees, iTop + aTopDegrees);
}

void TiltEmulation::level()
{
    setAngles(0, 0);
}

TBool TiltEmulation::isLevel() const
{
    return std::lround(iX) == 0 && std::lround(iY) == 0 && iZ < 0;
}

// Turning the level device about its Y axis by aRight and then about its X
// axis by aTop keeps the pull at 1 g: its components' squares add up to
// cos² top (sin² right + cos² right) + sin² top.
void TiltEmulation::setAngles(double aRight, double aTop)
{
    iRight = std::clamp(aRight, -KQuarterTurn, KQuarterTurn);
    iTop = std::clamp(aTop, -KQuarterTurn, KQuarterTurn);
    iX = KMilliG * std::sin(radians(iRight)) * std::cos(radians(iTop));
    iY = KMilliG * std::sin(radians(iTop));
    iZ = -KMilliG * std::cos(radians(iRight)) * std::cos(radians(iTop));
    iMoved = ETrue;
    showGauge();
}

// The arrows and the keypad's digits name the edge or corner that goes
// down (with Num Lock off the keypad's corners are Home, Page Up, End and
// Page Down); the keypad's 5 levels the device.
TBool TiltEmulation::takeKey(const QKeyEvent& aEvent)
{
    if (!(aEvent.modifiers() & Qt::ControlModifier))
        return EFalse;
    const TBool keypad = aEvent.modifiers() & Qt::KeypadModifier;
    const TBool pressed = aEvent.type() == QEvent::KeyPress;
    TInt keypadDigit = aEvent.key() - Qt::Key_0;
    switch (aEvent.key()) {
    case Qt::Key_Left: keypadDigit = 4; break;
    case Qt::Key_Right: keypadDigit = 6; break;
    case Qt::Key_Up: keypadDigit = 8; break;
    case Qt::Key_Down: keypadDigit = 2; break;
    case Qt::Key_Home: keypadDigit = keypad ? 7 : 0; break;
    case Qt::Key_PageUp: keypadDigit = keypad ? 9 : 0; break;
    case Qt::Key_End: keypadDigit = keypad ? 1 : 0; break;
    case Qt::Key_PageDown: keypadDigit = keypad ? 3 : 0; break;
    case Qt::Key_Clear: keypadDigit = keypad ? 5 : 0; break;
    default:
        if (!keypad)
            keypadDigit = 0;
    }
    if (keypadDigit < 1 || keypadDigit > 9)
        return EFalse;
    if (pressed && keypadDigit == 5)
        level();
    else if (pressed)
        tiltBy(((keypadDigit - 1) % 3 - 1) * KStepDegrees, ((keypadDigit - 1) / 3 - 1) * KStepDegrees);
    return ETrue;
}

// Dragging to the right lowers the right edge, dragging up the top edge,
// as if the pointer pressed on the screen's surface.
TBool TiltEmulation::takeDrag(const QMouseEvent& aEvent)
{
    const QPointF at = aEvent.position();
    if (aEvent.type() == QEvent::MouseButtonPress && aEvent.button() == Qt::RightButton) {
        iDragging = ETrue;
        iDragStart = at;
        iDragRight = iRight;
        iDragTop = iTop;
        return ETrue;
    }
    if (!iDragging)
        return EFalse;
    if (aEvent.type() == QEvent::MouseMove)
        setAngles(iDragRight + (at.x() - iDragStart.x()) / KPixelsPerDegree,
                  iDragTop - (at.y() - iDragStart.y()) / KPixelsPerDegree);
    else if (aEvent.button() == Qt::RightButton)
        iDragging = EFalse;
    return ETrue;
}

bool TiltEmulation::eventFilter(QObject* aWatched, QEvent* aEvent)
{
    switch (aEvent->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return takeKey(*static_cast<QKeyEvent*>(aEvent));
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
        return takeDrag(*static_cast<QMouseEvent*>(aEvent));
    default:
        return QObject::eventFilter(aWatched, aEvent);
    }
}

// The gauge is made afresh for every change; it lies over the screen, not
// in the application's picture, so screenshots never show it.
void TiltEmulation::showGauge()
{
    delete iGauge;
    iGauge = nullptr;
    if (!iWindow || isLevel())
        return;
    QGraphicsScene* scene = iWindow->scene();
    const qreal left = iWindow->screenSize().width() - KGaugeWidth - KGaugeMargin;
    const QPointF centre(left + KGaugeWidth / 2, KGaugeMargin + KGaugeMargin + KGaugeRadius);
    iGauge = new QGraphicsItemGroup;
    iGauge->addToGroup(scene->addRect(left, KGaugeMargin, KGaugeWidth, KGaugeHeight, Qt::NoPen,
                                      QBrush(QColor(0, 0, 0, 170))));
    iGauge->addToGroup(scene->addEllipse(centre.x() - KGaugeRadius, centre.y() - KGaugeRadius, 2 * KGaugeRadius,
                                         2 * KGaugeRadius, QPen(Qt::white)));
    const double across = std::clamp(iX / KMilliG, -1.0, 1.0) * KGaugeRadius;
    const double down = -std::clamp(iY / KMilliG, -1.0, 1.0) * KGaugeRadius;
    iGauge->addToGroup(scene->addEllipse(centre.x() + across - KDotRadius, centre.y() + down - KDotRadius,
                                         2 * KDotRadius, 2 * KDotRadius, Qt::NoPen, QBrush(Qt::yellow)));
    QGraphicsSimpleTextItem* values = scene->addSimpleText(
        QStringLiteral("%1 %2 %3").arg(std::lround(iX)).arg(std::lround(iY)).arg(std::lround(iZ)));
    values->setBrush(Qt::white);
    values->setPos(left + KGaugeMargin, centre.y() + KGaugeRadius + KGaugeMargin / 2);
    iGauge->addToGroup(values);
    scene->addItem(iGauge);
    iGauge->setZValue(KGaugeDepth);
}
