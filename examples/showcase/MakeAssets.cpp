// Makes the showcase's resource files at build time, so that nothing binary
// is kept in the source tree:
//   font.png  a bitmap font of the characters from space to 'Z', in the
//             runtime's font image layout (coverage masks above a marker
//             row, the ascent counted in column 0);
//   tap.raw   a short click, signed 16-bit little-endian mono at 44100 Hz.
// Usage: kelvo-showcase-assets OUTPUT_DIRECTORY

#include <cmath>
#include <cstdint>
#include <cstdio>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

namespace {

const int KFirstCharacter = 32;
const int KLastCharacter = 'Z';
const int KCellWidth = 14;
const int KCellHeight = 20;
const int KAscent = 16;

// Glyph i occupies columns 1 + i * KCellWidth onwards; a marker in the last
// row ends each glyph and starts the next.
QImage fontImage()
{
    const int glyphs = KLastCharacter - KFirstCharacter + 1;
    QImage image(1 + glyphs * KCellWidth + 1, KCellHeight + 1, QImage::Format_ARGB32);
    image.fill(Qt::black);

    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(17);
    font.setBold(true);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(Qt::white);
    for (int i = 0; i < glyphs; ++i) {
        const QRect cell(1 + i * KCellWidth, 0, KCellWidth, KCellHeight);
        painter.drawText(cell, Qt::AlignHCenter | Qt::AlignTop, QString(QChar(KFirstCharacter + i)));
    }
    painter.end();

    for (int y = 0; y < KAscent; ++y)
        image.setPixel(0, y, qRgb(255, 255, 255));
    for (int i = 1; i <= glyphs; ++i)
        image.setPixel(1 + i * KCellWidth, KCellHeight, qRgb(255, 255, 255));
    return image;
}

// A falling tone of 80 ms that fades out, so that it does not click.
QByteArray tapSound()
{
    const int rate = 44100;
    const int samples = rate * 80 / 1000;
    QByteArray bytes;
    bytes.reserve(samples * 2);
    double phase = 0;
    for (int n = 0; n < samples; ++n) {
        const double t = double(n) / samples;
        phase += 2 * M_PI * (1200 - 700 * t) / rate;
        const auto value = static_cast<std::int16_t>(std::lround(12000 * (1 - t) * std::sin(phase)));
        bytes.append(char(value & 0xFF));
        bytes.append(char((value >> 8) & 0xFF));
    }
    return bytes;
}

bool writeFile(const QString& aPath, const QByteArray& aBytes)
{
    QFile file(aPath);
    return file.open(QIODevice::WriteOnly) && file.write(aBytes) == aBytes.size() && file.flush();
}

}

int main(int argc, char* argv[])
{
    // Fonts need a GUI application; the build has no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvo-showcase-assets OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    if (!fontImage().save(directory.filePath(QStringLiteral("font.png")), "PNG")
        || !writeFile(directory.filePath(QStringLiteral("tap.raw")), tapSound())) {
        std::fprintf(stderr, "kelvo-showcase-assets: cannot write to %s\n", argv[1]);
        return 1;
    }
    return 0;
}
