#ifndef KELVO_MAINVIEWBASE_H
#define KELVO_MAINVIEWBASE_H

// The project's headers come before Qt's (see OString.h).
#include "FrameworkServices.h"

#include <QRect>
#include <QWidget>

// The window as the machine sees it. The application always draws in its
// own coordinates; when the device is in portrait but the window is in
// landscape shape, the picture is turned a quarter and so is every area
// that the application asks to repaint.
class MainViewBase : public QWidget, public FrameworkServices {
public:
    explicit MainViewBase(QWidget* aParent = nullptr);

    void requestRepaint(TInt aX, TInt aY, TInt aWidth, TInt aHeight) override;
    void runExtensionCall(const std::function<TInt32()>& aCall) override;

    // The widget area that shows the application's area aRequest.
    static QRect repaintArea(const QRect& aRequest, TBool aRotated, TInt aWidgetHeight);

protected:
    TBool isRotated();
};

#endif
