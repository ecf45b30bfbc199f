#ifndef KELVO_SCREENFRAME_H
#define KELVO_SCREENFRAME_H

// The project's headers come before Qt's (see OString.h).
#include "MainView.h"

#include <QGraphicsView>

class QGraphicsProxyWidget;
class QGraphicsScene;

// The desktop window around the handset's screen. The view keeps the size
// of the screen, 800 by 480 or 480 by 800, and the frame shows it scaled
// to the window with bars where the shapes differ; pointer positions reach
// the view in screen coordinates and keys reach it as they come, except
// the frame's own: F11 for full screen and F12 to turn the screen.
class ScreenFrame : public QGraphicsView {
public:
    // The frame owns aView from here on.
    explicit ScreenFrame(MainView* aView);

    MainView& view() const { return *iView; }
    QSize screenSize() const;
    // Lays aText over the screen, for an error that ended the application.
    void showFailure(const QString& aText);

protected:
    void resizeEvent(QResizeEvent* aEvent) override;
    void keyPressEvent(QKeyEvent* aEvent) override;

private:
    void followScreen();
    void fitScreen();
    void turnScreen();

    QGraphicsScene* iScene;
    QGraphicsProxyWidget* iProxy;
    MainView* iView;
};

#endif
