#include "controls/AnimatedPicture.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <chrono>

#include "controls/GifWalk.h"
#include "controls/QtSupport.h"
#include "platform/Files.h"

using namespace controls;

namespace {

bool SizeAcceptable(int w, int h) {
    return w > 0 && h > 0 && w <= AnimatedPicture::kMaxSide && h <= AnimatedPicture::kMaxSide &&
           int64_t(w) * h <= AnimatedPicture::kMaxPixels;
}

}  // namespace

AnimatedPicture::AnimatedPicture(QWidget* parent)
    : QWidget(parent), background_(Rgb(255, 255, 255)) {
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

AnimatedPicture::~AnimatedPicture() {
    Stop();
}

bool AnimatedPicture::LoadFile(const QString& path) {
    if (path.startsWith(QLatin1Char(':'))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > qint64(kMaxFileBytes)) {
            Unload();
            ControlsLogError("AnimatedPicture: cannot read " + path.toStdString());
            return false;
        }
        QByteArray bytes = file.read(qint64(kMaxFileBytes));
        return LoadMemory(bytes.constData(), size_t(bytes.size()));
    }
    // A device or a FIFO at the path reports no size and never ends: read regular files only.
    std::string bytes, error;
    if (!platform::ReadRegularFile(path.toStdString(), kMaxFileBytes, &bytes, &error)) {
        Unload();
        ControlsLogError("AnimatedPicture: cannot read " + path.toStdString() + ": " + error);
        return false;
    }
    return LoadMemory(bytes.data(), bytes.size());
}

bool AnimatedPicture::LoadResource(const QString& name, const QString&) {
    return LoadFile(name.startsWith(QLatin1Char(':')) ? name : QStringLiteral(":/") + name);
}

bool AnimatedPicture::LoadMemory(const void* data, size_t size) {
    Unload();
    if (!data || size == 0) {
        return false;
    }
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), size);
    if (!controls::IsGif(bytes)) {
        single_ = QImage::fromData(bytes.data(), int(std::min<size_t>(size, INT32_MAX)));
        if (single_.isNull() || !SizeAcceptable(single_.width(), single_.height())) {
            single_ = QImage();
            ControlsLogError("AnimatedPicture: picture does not load");
            return false;
        }
        width_ = single_.width();
        height_ = single_.height();
        return CreateBuffer();
    }
    isGif_ = true;
    GifHeader header;
    if (!ReadGifHeader(bytes, header) || !SizeAcceptable(header.width, header.height)) {
        ControlsLogError("AnimatedPicture: GIF header refused");
        Unload();
        return false;
    }
    width_ = header.width;
    height_ = header.height;
    if (header.hasBackground) {
        background_ = header.background;
    }
    const size_t count = CountGifFrames(bytes, header);
    if (count == 0) {
        Unload();
        return false;
    }
    if (count == 1) {
        single_ = QImage::fromData(bytes.data(), int(std::min<size_t>(size, INT32_MAX)), "GIF");
        if (single_.isNull()) {
            Unload();
            return false;
        }
        return CreateBuffer();
    }
    int64_t pixels = 0;
    for (GifFrame& f : ExtractGifFrames(bytes, header, kMaxFrames)) {
        QImage decoded = QImage::fromData(f.gif.data(), int(f.gif.size()), "GIF");
        if (decoded.isNull() || f.width <= 0 || f.height <= 0) {
            continue;  // a frame that does not load is skipped
        }
        // The decoder places the frame on the whole logical screen; keep the frame's part.
        QRect part(f.left, f.top, f.width, f.height);
        if (decoded.size() == QSize(width_, height_) && decoded.size() != part.size()) {
            decoded = decoded.copy(part);
        }
        pixels += int64_t(decoded.width()) * decoded.height();
        if (pixels > kMaxPixels) {
            ControlsLogError("AnimatedPicture: animation too large, frames dropped");
            break;
        }
        Frame frame;
        frame.image = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        frame.left = f.left;
        frame.top = f.top;
        frame.width = f.width;
        frame.height = f.height;
        frame.delay = f.delay;
        frame.disposal = f.disposal;
        frames_.push_back(std::move(frame));
    }
    if (frames_.empty()) {
        Unload();
        return false;
    }
    return CreateBuffer();
}

bool AnimatedPicture::CreateBuffer() {
    resize(width_, height_);
    bool made;
    {
        std::lock_guard lock(bufferLock_);
        buffer_ = QImage(width_, height_, QImage::Format_RGB32);
        made = !buffer_.isNull();
        if (made) {
            buffer_.fill(ToQColor(SystemColour(QPalette::Base)));
        }
    }
    if (!made) {
        Unload();
        return false;
    }
    background_ = SystemColour(QPalette::Button);
    loaded_ = true;
    return true;
}

int AnimatedPicture::FrameCount() const {
    return frames_.size() > 1 ? int(frames_.size()) : 0;
}

int AnimatedPicture::FrameDelay(int index) const {
    return index >= 0 && size_t(index) < frames_.size() ? frames_[size_t(index)].delay : -1;
}

int AnimatedPicture::FrameDisposal(int index) const {
    return index >= 0 && size_t(index) < frames_.size() ? frames_[size_t(index)].disposal : 0;
}

bool AnimatedPicture::Start() {
    if (!loaded_) {
        return false;
    }
    if (frames_.size() > 1) {
        if (thread_.joinable()) {
            return false;  // already playing
        }
        {
            std::lock_guard lock(stopLock_);
            stop_ = false;
            finished_ = false;
        }
        running_ = true;
        thread_ = std::thread([this] { Run(); });
        return false;
    }
    {
        std::lock_guard lock(bufferLock_);
        QPainter p(&buffer_);
        p.drawImage(QRect(0, 0, width_, height_), single_);
    }
    update();
    return true;
}

void AnimatedPicture::Stop() {
    if (!thread_.joinable()) {
        return;
    }
    std::unique_lock lock(stopLock_);
    stop_ = true;
    stopEvent_.notify_all();
    if (!stopEvent_.wait_for(lock, std::chrono::milliseconds(5000), [this] { return finished_; })) {
        // The thread uses this object, so it is waited for all the same: leaving it running
        // would let it draw into a released buffer.
        ControlsLogError("AnimatedPicture: animation thread slow to stop");
    }
    lock.unlock();
    thread_.join();
    lock.lock();
    stop_ = false;
}

void AnimatedPicture::Unload() {
    Stop();
    frames_.clear();
    single_ = QImage();
    {
        std::lock_guard lock(bufferLock_);
        buffer_ = QImage();
        saveArea_ = QImage();
        saveRect_ = QRect();
    }
    isGif_ = false;
    width_ = 0;
    height_ = 0;
    background_ = Rgb(255, 255, 255);
    loaded_ = false;
    paintRect_ = QRect();
    current_ = 0;
}

void AnimatedPicture::SetBackgroundColor(uint32_t colour) {
    background_ = colour;
    if (loaded_) {
        std::lock_guard lock(bufferLock_);
        buffer_.fill(ToQColor(colour));
    }
    update();
}

void AnimatedPicture::SetPaintRect(const QRect& r) {
    paintRect_ = r;
    update();
}

QImage AnimatedPicture::BufferCopy() const {
    std::lock_guard lock(bufferLock_);
    return buffer_.copy();
}

void AnimatedPicture::RequestRepaint() {
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void AnimatedPicture::RenderFrame(size_t index) {
    const Frame& f = frames_[index];
    const QRect target(f.left, f.top, f.width, f.height);
    {
        std::lock_guard lock(bufferLock_);
        if (f.disposal == 3) {
            saveRect_ = target;
            saveArea_ = buffer_.copy(target);
        }
        QPainter p(&buffer_);
        p.drawImage(target, f.image);
    }
    RequestRepaint();
}

void AnimatedPicture::DisposeFrame(size_t index) {
    const Frame& f = frames_[index];
    std::lock_guard lock(bufferLock_);
    if (f.disposal == 2) {
        QPainter p(&buffer_);
        p.fillRect(QRect(f.left, f.top, f.width, f.height), ToQColor(background_));
    } else if (f.disposal == 3 && !saveArea_.isNull()) {
        QPainter p(&buffer_);
        p.drawImage(saveRect_.topLeft(), saveArea_);
        saveArea_ = QImage();
    }
}

void AnimatedPicture::Run() {
    auto stopping = [this] {
        std::lock_guard lock(stopLock_);
        return stop_;
    };
    DisposeFrame(current_);
    while (!stopping()) {
        for (current_ = 0; current_ < frames_.size(); ++current_) {
            if (stopping()) {
                break;
            }
            RenderFrame(current_);
            {
                std::unique_lock lock(stopLock_);
                stopEvent_.wait_for(lock,
                                    std::chrono::milliseconds(FrameWaitMs(frames_[current_].delay)),
                                    [this] { return stop_; });
            }
            DisposeFrame(current_);
        }
        if (current_ >= frames_.size()) {
            current_ = 0;
            std::lock_guard lock(bufferLock_);
            buffer_.fill(ToQColor(background_));
        }
    }
    running_ = false;
    std::lock_guard lock(stopLock_);
    finished_ = true;
    stopEvent_.notify_all();
}

void AnimatedPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    std::lock_guard lock(bufferLock_);
    if (buffer_.isNull()) {
        p.fillRect(rect(), palette().color(QPalette::Window));
        return;
    }
    const QRect source = paintRect_.isEmpty() ? buffer_.rect() : paintRect_ & buffer_.rect();
    if (!QRect(QPoint(0, 0), source.size()).contains(rect())) {
        // A control taller or wider than its picture shows the window colour around it.
        p.fillRect(rect(), palette().color(QPalette::Window));
    }
    p.drawImage(QPoint(0, 0), buffer_, source);
}
