#ifndef KELVO_GRAPHICSCONTAINER_H
#define KELVO_GRAPHICSCONTAINER_H

// The project's headers come before Qt's (see OString.h).
#include "BitmapContainer.h"
#include "GCObject.h"

#include <memory>

#include <QPaintDevice>
#include <QPainter>

// A drawing surface: a painter open on the window's back buffer or on a
// bitmap's picture, set up the way every application expects (40-pixel
// default font, no antialiasing, no smooth scaling). A surface on a bitmap
// shares the bitmap's picture, so that it stays valid when the bitmap turns
// to a new picture. Once ended, a surface draws nothing.
class GraphicsContainer final : public GCObject {
public:
    explicit GraphicsContainer(QPaintDevice& aBackBuffer);
    explicit GraphicsContainer(BitmapContainer& aBitmap);
    ~GraphicsContainer() override;
    GraphicsContainer(const GraphicsContainer&) = delete;
    GraphicsContainer& operator=(const GraphicsContainer&) = delete;

    // The painter while the surface is open, else nullptr.
    QPainter* painter() { return iTarget ? &iPainter : nullptr; }
    TBool isOnBitmap() const { return iKeepAlive != nullptr; }
    // Ends the painting; ending twice does nothing.
    void end();

private:
    void begin(QPaintDevice& aTarget);

    QPaintDevice* iTarget = nullptr;
    QPainter iPainter;
    std::shared_ptr<ChargedImage> iKeepAlive;
};

#endif
