// The native-call fuzzer's host: files in memory, the host's scheduler
// behind ids that start afresh for every run, and the device extensions.

// The project's headers come before Qt's (see OString.h).
#include "FuzzServices.h"
#include "MainViewBase.h"
#include "MemoryStreams.h"

#include <algorithm>
#include <cstring>

#include <QBuffer>
#include <QColor>
#include <QImage>

namespace {

// The host's first timer id; the Timer natives tell ids from other values
// by it.
const TInt KFirstTimerId = 10;
// Orientation 1 turns the view.
const TInt KPortrait = 1;
const std::size_t KKeptLogLines = 4096;

// What the files made for every run hold.
std::vector<TUint8> encoded(const QImage& aImage)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    aImage.save(&buffer, "PNG");
    return std::vector<TUint8>(bytes.begin(), bytes.end());
}

// A small picture in a few colours.
std::vector<TUint8> picture()
{
    QImage image(5, 3, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(40 * x, 80 * y, 200, 255 - 50 * x));
    }
    return encoded(image);
}

// A bitmap font of a few glyphs: the ascent counted down column 0, glyph
// starts marked on the last row, coverage in between.
std::vector<TUint8> font()
{
    QImage image(24, 8, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 5; ++y)
        image.setPixel(0, y, qRgba(0, 0, 0, 255));
    for (int x = 3; x < image.width(); x += 4)
        image.setPixel(x, image.height() - 1, qRgba(0, 0, 0, 255));
    for (int x = 1; x < image.width(); x += 2)
        image.setPixel(x, 3, qRgba(255, 255, 255, 255));
    return encoded(image);
}

// Signed 16-bit samples, as the audio player takes them.
std::vector<TUint8> sound()
{
    std::vector<TUint8> bytes;
    for (int i = 0; i < 64; ++i) {
        const TUint16 sample = static_cast<TUint16>(i * 997);
        bytes.push_back(static_cast<TUint8>(sample));
        bytes.push_back(static_cast<TUint8>(sample >> 8));
    }
    return bytes;
}

std::vector<TUint8> text(const char* aText)
{
    return std::vector<TUint8>(aText, aText + std::strlen(aText));
}

const std::map<std::string, std::vector<TUint8>>& startingFiles()
{
    static const std::map<std::string, std::vector<TUint8>> files = {
        {"picture.png", picture()},
        {"font.png", font()},
        {"sound.raw", sound()},
        {"text.txt", text("line one\nline two\n\xc3\xa9t\xc3\xa9\n")},
        {"empty", {}},
        {"dir/inner.txt", text("inner")},
    };
    return files;
}

// A path and everything below it.
TBool isWithin(const std::string& aPath, const std::string& aDirectory)
{
    return aPath == aDirectory || aPath.rfind(aDirectory + "/", 0) == 0;
}

}

// Bytes written reach the file when the stream is closed or dropped, as a
// buffered host file's do. A mode-0 stream starts with the file's bytes,
// so that writes go after them.
class FuzzedFile : public VESTRA::MemoryOutputStream {
public:
    FuzzedFile(FuzzServices& aServices, std::string aKey) : iServices(aServices), iKey(std::move(aKey)) {}
    ~FuzzedFile() override { store(); }

    TBool close() override
    {
        store();
        iOpen = EFalse;
        return ETrue;
    }

private:
    void store()
    {
        if (iOpen)
            iServices.iFiles[iKey].assign(buffer().data(), buffer().data() + buffer().count());
    }

    FuzzServices& iServices;
    std::string iKey;
};

const std::vector<std::string>& FuzzServices::fileNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const auto& file : startingFiles())
            list.push_back(file.first);
        list.push_back("dir");
        list.push_back("missing.txt");
        return list;
    }();
    return names;
}

FuzzServices::FuzzServices() : iFiles(startingFiles()), iDirectories({"dir"})
{
}

FuzzServices::~FuzzServices() = default;

std::string FuzzServices::key(const OString& aPath)
{
    return aPath.toQString().toStdString();
}

VESTRA::OutputStream* FuzzServices::openOutputStream(const OString& aPath, TInt aMode)
{
    const std::string name = key(aPath);
    if (name.empty() || iDirectories.count(name))
        return nullptr;
    auto* stream = new FuzzedFile(*this, name);
    const auto found = iFiles.find(name);
    if (aMode == 0 && found != iFiles.end() && !found->second.empty())
        stream->write(found->second.data(), static_cast<TInt>(found->second.size()));
    else
        iFiles[name].clear();
    return stream;
}

VESTRA::InputStream* FuzzServices::openInputStream(const OString& aPath)
{
    const auto found = iFiles.find(key(aPath));
    if (found == iFiles.end())
        return nullptr;
    auto* stream = new VESTRA::MemoryInputStream;
    stream->setBuffer(found->second.data(), static_cast<TInt>(found->second.size()));
    return stream;
}

TBool FuzzServices::deleteFile(const OString& aPath)
{
    return iFiles.erase(key(aPath)) > 0;
}

TBool FuzzServices::fileExists(const OString& aPath)
{
    return iFiles.count(key(aPath)) > 0;
}

TBool FuzzServices::unsupportedFileQuery(const OString& aPath)
{
    return fileExists(aPath);
}

TBool FuzzServices::moveFile(const OString& aSource, const OString& aTarget)
{
    const auto found = iFiles.find(key(aSource));
    const std::string target = key(aTarget);
    if (found == iFiles.end() || target.empty() || iDirectories.count(target))
        return EFalse;
    std::vector<TUint8> bytes = std::move(found->second);
    iFiles.erase(found);
    iFiles[target] = std::move(bytes);
    return ETrue;
}

// Names directly below the directory, files and directories apart.
TBool FuzzServices::listDirectory(const OString& aPath, Vec<OString>& aFiles, Vec<OString>& aDirectories)
{
    const std::string directory = key(aPath);
    if (!directory.empty() && !iDirectories.count(directory))
        return EFalse;
    const std::string prefix = directory.empty() ? std::string() : directory + "/";
    auto direct = [&](const std::string& aName) {
        return aName.size() > prefix.size() && aName.rfind(prefix, 0) == 0
            && aName.find('/', prefix.size()) == std::string::npos;
    };
    for (const auto& file : iFiles) {
        if (direct(file.first))
            aFiles.append(OString(file.first.substr(prefix.size()).c_str()));
    }
    for (const std::string& name : iDirectories) {
        if (direct(name))
            aDirectories.append(OString(name.substr(prefix.size()).c_str()));
    }
    return ETrue;
}

TBool FuzzServices::createDirectory(const OString& aPath)
{
    const std::string name = key(aPath);
    if (name.empty() || iFiles.count(name))
        return EFalse;
    return iDirectories.insert(name).second;
}

TBool FuzzServices::removeDirectory(const OString& aPath)
{
    const std::string name = key(aPath);
    if (!iDirectories.count(name))
        return EFalse;
    std::erase_if(iFiles, [&](const auto& aFile) { return isWithin(aFile.first, name); });
    std::erase_if(iDirectories, [&](const std::string& aName) { return isWithin(aName, name); });
    return ETrue;
}

TBool FuzzServices::renameDirectory(const OString& aOldPath, const OString& aNewPath)
{
    const std::string from = key(aOldPath);
    const std::string to = key(aNewPath);
    if (!iDirectories.count(from) || to.empty() || iDirectories.count(to) || iFiles.count(to) || isWithin(to, from))
        return EFalse;
    auto renamed = [&](const std::string& aName) { return to + aName.substr(from.size()); };
    std::map<std::string, std::vector<TUint8>> files;
    for (auto& file : iFiles)
        files[isWithin(file.first, from) ? renamed(file.first) : file.first] = std::move(file.second);
    iFiles = std::move(files);
    std::set<std::string> directories;
    for (const std::string& name : iDirectories)
        directories.insert(isWithin(name, from) ? renamed(name) : name);
    iDirectories = std::move(directories);
    return ETrue;
}

TBool FuzzServices::directoryExists(const OString& aPath)
{
    return iDirectories.count(key(aPath)) > 0;
}

// The fuzzer clears the lines before a call whose log it reads; a few
// thousand are kept at most, as a long repeat of a log call logs as many.
void FuzzServices::log(const OString& aMessage)
{
    if (logLines.size() < KKeptLogLines)
        logLines.push_back(key(aMessage));
}

void FuzzServices::requestRepaint(TInt aX, TInt aY, TInt aWidth, TInt aHeight)
{
    const QRect request(aX, aY, aWidth, aHeight);
    const QRect area = MainViewBase::repaintArea(request, iOrientation == KPortrait, KScreenHeight);
    iRepaintedArea = iRepaintedArea.united(area);
}

TInt FuzzServices::addTimer(TUint32 aListener, TInt aDelay)
{
    iTimerIds.push_back(iScheduler.addTimer(aListener, aDelay));
    return KFirstTimerId + static_cast<TInt>(iTimerIds.size()) - 1;
}

TUint32 FuzzServices::removeTimer(TInt aTimerId)
{
    const TInt id = schedulerId(aTimerId);
    return id != 0 ? iScheduler.removeTimer(id) : 0;
}

TBool FuzzServices::updateTimerDelay(TInt aTimerId, TInt aNewDelay)
{
    const TInt id = schedulerId(aTimerId);
    if (id == 0)
        return EFalse;
    iScheduler.updateTimerDelay(id, aNewDelay);
    return ETrue;
}

// 0 for an id this run never answered.
TInt FuzzServices::schedulerId(TInt aTimerId) const
{
    const TInt64 index = TInt64(aTimerId) - KFirstTimerId;
    return index >= 0 && index < TInt64(iTimerIds.size()) ? iTimerIds[static_cast<std::size_t>(index)] : 0;
}
