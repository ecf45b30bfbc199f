#include "GraphicsTestSupport.h"

#include <fstream>
#include <sstream>

#include <QTemporaryDir>

#include "MainView.h"

namespace {

std::string programText(const char* aName)
{
    std::ifstream file(std::string(KELVO_GRAPHICS_PROGRAMS_DIR) + "/" + aName);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The frame of programs/frame.kasm, drawn here with plain painter calls.
QImage expectedFrame()
{
    QImage frame(800, 480, QImage::Format_RGB32);
    QImage sprite(16, 8, QImage::Format_ARGB32_Premultiplied);
    sprite.fill(QColor(255, 255, 0));
    sprite.setPixel(0, 0, 0xFF0000FF);
    for (TInt y = 0; y < 8; ++y) {
        for (TInt x = 8; x < 16; ++x)
            sprite.setPixel(x, y, 0xFF00FFFF);
    }
    QPainter painter(&frame);
    QFont font = painter.font();
    font.setPixelSize(40);
    painter.setFont(font);
    painter.fillRect(frame.rect(), QColor(0x20, 0x20, 0x20));
    painter.fillRect(QRect(10, 10, 100, 50), Qt::red);
    painter.fillRect(QRect(60, 30, 100, 50), QColor(0, 0, 255, 128));
    painter.setPen(QPen(Qt::green, 0));
    painter.drawLine(0, 200, 799, 200);
    painter.drawImage(300, 20, sprite);
    painter.setOpacity(128 / 255.0);
    painter.drawImage(330, 20, sprite);
    painter.setOpacity(1);
    painter.setBrushOrigin(296, 58);
    painter.fillRect(QRect(300, 60, 40, 20), QBrush(sprite));
    painter.drawImage(QPoint(360, 20), sprite, QRect(4, 0, 8, 8));
    painter.save();
    painter.translate(400, 100);
    painter.rotate(-((0x1920C49BAll / 4294967296.0) * 180.0 / 3.141));
    painter.scale(2, 1);
    painter.translate(-8, -4);
    painter.drawImage(0, 0, sprite);
    painter.restore();
    painter.setPen(Qt::white);
    painter.drawText(QRect(20, 300, 32768, 32768), Qt::AlignLeft | Qt::AlignTop, "Kelvo");
    painter.end();
    // The bitmap font's '!' covers columns 1 to 3 of its cell, rows 2 to 5.
    for (const auto& [left, colour] : {std::pair{20, 0xFFFF00FFu}, {31, 0xFFFF00FFu}, {60, 0xFF00FFFFu}}) {
        for (TInt y = 402; y < 406; ++y) {
            for (TInt x = left + 1; x < left + 4; ++x)
                frame.setPixel(x, y, colour);
        }
    }
    return frame;
}

TEST(Frame, TheApplicationDrawsEveryOperationThroughThePaintPath)
{
    ensureGuiApplication();
    QTemporaryDir directory;
    fontImage().save(directory.filePath("font.png"));
    QFile image(directory.filePath("index.mcb"));
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    const ImageFormat::Bytes bytes = ProgramTestSupport::assembled(programText("frame.kasm"));
    image.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    image.close();

    MainView view(CAppsString(directory.path()));
    view.load();
    view.resize(800, 480);
    const QImage frame = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(frame.size(), QSize(800, 480));
    const QImage expected = expectedFrame();
    TInt wrong = 0;
    for (TInt y = 0; y < 480; ++y) {
        for (TInt x = 0; x < 800; ++x) {
            if (frame.pixel(x, y) != expected.pixel(x, y) && wrong++ < 5)
                ADD_FAILURE() << x << "," << y << ": " << std::hex << frame.pixel(x, y) << " expected "
                              << expected.pixel(x, y);
        }
    }
    EXPECT_EQ(wrong, 0);
    // A screenshot is the picture the window shows.
    EXPECT_EQ(view.picture().toImage().convertToFormat(QImage::Format_RGB32), frame);

    // In portrait a window of landscape shape keeps the back buffer and
    // shows it turned a quarter: the application's x runs up from the
    // bottom edge.
    view.setOrientation(1);
    view.resize(800, 480);
    const QImage turned = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(turned.pixel(30, 479 - 20), expected.pixel(20, 30));
    EXPECT_EQ(turned.pixel(200, 479 - 5), expected.pixel(5, 200));
    EXPECT_EQ(turned.pixel(479, 0), expected.pixel(479, 479));
    EXPECT_EQ(view.picture().toImage().convertToFormat(QImage::Format_RGB32), turned);

    // What a frame made (its bitmap, the bitmap's surface and two fonts)
    // goes with the collection that ends the call; the canvas, kept to the
    // end of the paint, with the next one.
    view.machine()->garbageCollect();
    const TInt objects = view.machine()->heap().liveHostObjects();
    view.grab();
    EXPECT_EQ(view.machine()->heap().liveHostObjects(), objects + 1);
    view.machine()->garbageCollect();
    EXPECT_EQ(view.machine()->heap().liveHostObjects(), objects);
}

}
