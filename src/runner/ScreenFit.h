#ifndef KELVO_SCREENFIT_H
#define KELVO_SCREENFIT_H

#include <QPointF>
#include <QSize>
#include <QTransform>

// How the handset's screen sits in a desktop window of any size: scaled as
// large as fits with its shape kept, centred, with bars on the two sides
// that are left over.
struct ScreenFit {
    double scale = 1;
    // Where the screen's top-left corner lands in the window.
    QPointF offset;

    static ScreenFit of(const QSize& aWindow, const QSize& aScreen);

    // From screen to window coordinates; its inverse maps a pointer in the
    // window back onto the screen.
    QTransform toWindow() const;
};

#endif
