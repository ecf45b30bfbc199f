#include <gtest/gtest.h>

#include "ScreenFit.h"

namespace {

const QSize KLandscape(800, 480);
const QSize KPortrait(480, 800);

struct FitCase {
    QSize window;
    QSize screen;
    double scale;
    QPointF offset;
};

// Bars left and right when the window is wider than the screen's shape,
// top and bottom when it is taller, none when the shapes agree.
TEST(ScreenFitTest, ScalesToFitAndCentres)
{
    const FitCase cases[] = {
        {{800, 480}, KLandscape, 1.0, {0, 0}},
        {{1600, 960}, KLandscape, 2.0, {0, 0}},
        {{1000, 480}, KLandscape, 1.0, {100, 0}},
        {{400, 480}, KLandscape, 0.5, {0, 120}},
        {{800, 480}, KPortrait, 0.6, {256, 0}},
        {{480, 1000}, KPortrait, 1.0, {0, 100}},
    };
    for (const FitCase& c : cases) {
        const ScreenFit fit = ScreenFit::of(c.window, c.screen);
        EXPECT_DOUBLE_EQ(fit.scale, c.scale) << c.window.width() << "x" << c.window.height();
        EXPECT_DOUBLE_EQ(fit.offset.x(), c.offset.x());
        EXPECT_DOUBLE_EQ(fit.offset.y(), c.offset.y());
    }
}

// A pointer in the window lands on the screen point drawn under it; the
// screen's corners stay inside the window.
TEST(ScreenFitTest, PointerMapsBackOntoTheScreen)
{
    const QSize windows[] = {{1000, 480}, {400, 480}, {1280, 1024}, {333, 777}};
    for (const QSize& screen : {KLandscape, KPortrait}) {
        for (const QSize& window : windows) {
            const QTransform toWindow = ScreenFit::of(window, screen).toWindow();
            const QTransform toScreen = toWindow.inverted();
            const QPointF corner = toWindow.map(QPointF(screen.width(), screen.height()));
            EXPECT_LE(corner.x(), window.width() + 1e-9);
            EXPECT_LE(corner.y(), window.height() + 1e-9);
            const QPointF point(123, 45);
            const QPointF back = toScreen.map(toWindow.map(point));
            EXPECT_NEAR(back.x(), point.x(), 1e-9);
            EXPECT_NEAR(back.y(), point.y(), 1e-9);
        }
    }
    const QPointF mapped = ScreenFit::of({1000, 480}, KLandscape).toWindow().inverted().map(QPointF(150, 30));
    EXPECT_DOUBLE_EQ(mapped.x(), 50);
    EXPECT_DOUBLE_EQ(mapped.y(), 30);
}

// A minimised window has no size; the fit must not divide by it.
TEST(ScreenFitTest, EmptyWindowKeepsScaleOne)
{
    EXPECT_DOUBLE_EQ(ScreenFit::of(QSize(0, 0), KLandscape).scale, 1.0);
}

}
