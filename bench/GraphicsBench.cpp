// The cost of a frame as a game draws it: the back buffer cleared, 200
// translucent 32 by 32 sprites, 20 strings in the native font and 20 in a
// bitmap font, all through the graphics natives as instruction 78 calls
// them, with the canvas made and the heap collected as a paint does. And
// bitmap-font text drawn in one colour against text that alternates two,
// which the font's colour cache keeps close.
//
// Needs a window system for fonts; run with QT_QPA_PLATFORM=offscreen.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QPixmap>

#include "DrawTargets.h"
#include "NativeFont.h"
#include "NativeGroups.h"
#include "VestraFont.h"
#include "VirtualMachine.h"

namespace {

const TInt KDrawBitmap = 1;
const TInt KDrawString = 2;
const TInt KClear = 8;

// 96 glyphs of 8 by 16 with a filled block in each, markers between them.
QImage benchFontImage()
{
    const TInt glyphs = 96;
    QImage image(2 + glyphs * 8, 17, QImage::Format_ARGB32);
    image.fill(0xFF000000);
    for (TInt glyph = 0; glyph < glyphs; ++glyph) {
        const TInt left = 1 + glyph * 8;
        for (TInt y = 3; y < 13; ++y) {
            for (TInt x = left + 1; x < left + 7; ++x)
                image.setPixel(x, y, 0xFF0000FF);
        }
        image.setPixel(left + 8, 16, 0xFF0000FF);
    }
    for (TInt y = 0; y < 12; ++y)
        image.setPixel(0, y, 0xFF0000FF);
    return image;
}

// A round sprite whose edge fades out.
std::unique_ptr<BitmapContainer> sprite()
{
    auto bitmap = std::make_unique<BitmapContainer>(32, 32);
    for (TInt y = 0; y < 32; ++y) {
        for (TInt x = 0; x < 32; ++x) {
            const TInt distance = (x - 16) * (x - 16) + (y - 16) * (y - 16);
            const TUint32 alpha = distance > 256 ? 0 : 255 - distance / 2;
            bitmap->setPixel(x, y, alpha << 24 | 0x00FF8040);
        }
    }
    return bitmap;
}

class Frame {
public:
    Frame() : iBackBuffer(800, 480)
    {
        iMachine.setTop(-1);
        VMHeap& heap = iMachine.heap();
        iSprite = DrawTargets::newBitmapHandle(heap, sprite());
        iNativeFont = DrawTargets::newFontValue(heap, std::make_unique<NativeFont>());
        iBitmapFont = DrawTargets::newFontValue(heap, std::make_unique<VestraFont>(benchFontImage()));
        iText = iMachine.newStringValue(OString("Score 0012345"));
        for (TUint32 kept : {iSprite, iNativeFont, iBitmapFont, iText})
            heap.addRoot(kept);
    }

    void draw()
    {
        VMHeap& heap = iMachine.heap();
        const TUint32 canvas = DrawTargets::newCanvasHandle(heap, iBackBuffer, QRegion(0, 0, 800, 480));
        call(KClear, {canvas, 0xFF000000});
        for (TUint32 i = 0; i < 200; ++i)
            call(KDrawBitmap, {canvas, iSprite, (i * 37) % 770, (i * 53) % 450, 255});
        for (TUint32 i = 0; i < 20; ++i) {
            call(KDrawString, {canvas, iText, (i * 91) % 600, (i * 23) % 440, 0xFFFFFFFF, iNativeFont});
            call(KDrawString, {canvas, iText, (i * 67) % 650, (i * 29) % 460, 0xFFFFFF00, iBitmapFont});
        }
        DrawTargets::endCanvas(heap, canvas);
        iMachine.garbageCollect();
    }

    void drawText(TUint32 aTarget, TUint32 aColour)
    {
        call(KDrawString, {aTarget, iText, 10, 10, aColour, iBitmapFont});
    }

    VirtualMachine& machine() { return iMachine; }
    QPixmap& backBuffer() { return iBackBuffer; }

private:
    void call(TInt aOperation, std::initializer_list<TUint32> aOperands)
    {
        for (TUint32 operand : aOperands)
            iMachine.pushSlot(operand);
        iMachine.callNative(EGroupGraphics, aOperation);
    }

    VirtualMachine iMachine;
    QPixmap iBackBuffer;
    TUint32 iSprite = 0;
    TUint32 iNativeFont = 0;
    TUint32 iBitmapFont = 0;
    TUint32 iText = 0;
};

void BM_Frame(benchmark::State& aState)
{
    Frame frame;
    for (auto _ : aState)
        frame.draw();
}
BENCHMARK(BM_Frame)->Unit(benchmark::kMillisecond);

// 1000 strings per iteration, in one colour or alternating two.
void bitmapFontText(benchmark::State& aState, TBool aAlternate)
{
    Frame frame;
    VMHeap& heap = frame.machine().heap();
    const TUint32 canvas = DrawTargets::newCanvasHandle(heap, frame.backBuffer(), QRegion(0, 0, 800, 480));
    heap.addRoot(canvas);
    for (auto _ : aState) {
        for (TInt i = 0; i < 1000; ++i)
            frame.drawText(canvas, aAlternate && (i & 1) ? 0xFF00FF00 : 0xFFFF0000);
    }
    DrawTargets::endCanvas(heap, canvas);
}

void BM_BitmapFontOneColour(benchmark::State& aState)
{
    bitmapFontText(aState, EFalse);
}
BENCHMARK(BM_BitmapFontOneColour)->Unit(benchmark::kMillisecond);

void BM_BitmapFontAlternatingColours(benchmark::State& aState)
{
    bitmapFontText(aState, ETrue);
}
BENCHMARK(BM_BitmapFontAlternatingColours)->Unit(benchmark::kMillisecond);

}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
