#include "ScreenFrame.h"
#include "ScreenFit.h"

#include <QBrush>
#include <QGraphicsProxyWidget>
#include <QGraphicsRectItem>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QKeyEvent>

namespace {

const TInt KPortrait = 1;
const TInt KLandscape = 2;
const qreal KFailureMargin = 16;

}

// The view is made for the device's full-screen window; here it is one
// item of the frame's scene, which takes it over with its proxy.
ScreenFrame::ScreenFrame(MainView* aView)
    : iScene(new QGraphicsScene(this))
    , iView(aView)
{
    iView->setWindowState(Qt::WindowNoState);
    iView->resize(screenSize());
    iProxy = iScene->addWidget(iView);
    setScene(iScene);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundBrush(Qt::black);
    setWindowTitle(QStringLiteral("Kelvo"));
    resize(screenSize());
    iScene->setFocusItem(iProxy);
    connect(iView, &MainView::orientationChanged, this, &ScreenFrame::followScreen);
}

QSize ScreenFrame::screenSize() const
{
    TInt width = 0;
    TInt height = 0;
    iView->getScreenSize(width, height);
    return QSize(width, height);
}

void ScreenFrame::resizeEvent(QResizeEvent* aEvent)
{
    QGraphicsView::resizeEvent(aEvent);
    fitScreen();
}

// The frame's own keys never reach the application.
void ScreenFrame::keyPressEvent(QKeyEvent* aEvent)
{
    if (aEvent->key() == Qt::Key_F11 && !aEvent->isAutoRepeat()) {
        setWindowState(windowState() ^ Qt::WindowFullScreen);
        return;
    }
    if (aEvent->key() == Qt::Key_F12 && !aEvent->isAutoRepeat()) {
        turnScreen();
        return;
    }
    QGraphicsView::keyPressEvent(aEvent);
}

// The application turned the screen, or the user did: the view takes the
// screen's new shape, so that it draws upright and unturned.
void ScreenFrame::followScreen()
{
    iProxy->resize(screenSize());
    fitScreen();
}

// The scene is the screen; its visible part is chosen so that the screen
// lands where ScreenFit puts it, and Qt maps pointer events back by the
// same scale and offset.
void ScreenFrame::fitScreen()
{
    const ScreenFit fit = ScreenFit::of(viewport()->size(), screenSize());
    setTransform(QTransform::fromScale(fit.scale, fit.scale));
    setSceneRect(fit.toWindow().inverted().mapRect(QRectF(viewport()->rect())));
}

void ScreenFrame::turnScreen()
{
    iView->setOrientation(iView->getOrientation() == KLandscape ? KPortrait : KLandscape);
}

// A band across the bottom of the screen, above the application's last
// picture, which stays visible behind it.
void ScreenFrame::showFailure(const QString& aText)
{
    const QSize screen = screenSize();
    auto* text = new QGraphicsTextItem(aText);
    text->setDefaultTextColor(Qt::white);
    text->setTextWidth(screen.width() - 2 * KFailureMargin);
    const qreal height = text->boundingRect().height() + 2 * KFailureMargin;
    auto* band = iScene->addRect(QRectF(0, screen.height() - height, screen.width(), height), Qt::NoPen,
                                 QBrush(QColor(160, 24, 24, 230)));
    band->setZValue(1);
    text->setParentItem(band);
    text->setPos(KFailureMargin, screen.height() - height + KFailureMargin);
}
