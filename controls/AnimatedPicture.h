#pragma once
// A picture control that sizes itself to its picture and paints from an off-screen buffer;
// animated GIFs play on a thread of their own, which draws into the buffer under a lock and asks
// for repaints through queued calls.
#include <QImage>
#include <QRect>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class AnimatedPicture : public QWidget {
    Q_OBJECT
  public:
    explicit AnimatedPicture(QWidget* parent = nullptr);
    // Stops a playing animation before anything is released.
    ~AnimatedPicture() override;

    bool LoadFile(const QString& path);
    // A resource compiled into the program (":/name"); the type is not needed to find it.
    bool LoadResource(const QString& name, const QString& type = {});
    bool LoadMemory(const void* data, size_t size);

    // Animated GIF: starts the animation thread and returns false. Still picture: draws it into
    // the buffer and returns true. Nothing when not loaded.
    bool Start();
    void Stop();
    void Unload();

    void SetBackgroundColor(uint32_t colour);
    uint32_t BackgroundColor() const { return background_.load(); }
    QSize PictureSize() const { return QSize(width_, height_); }
    void SetPaintRect(const QRect& r);
    int FrameCount() const;
    bool IsGif() const { return isGif_; }
    bool IsPlaying() const { return running_.load(); }
    bool IsLoaded() const { return loaded_; }
    int FrameDelay(int index) const;
    int FrameDisposal(int index) const;
    // A copy of the buffer, taken under the lock.
    QImage BufferCopy() const;

    // The largest picture file read; the shipped animations are far below it.
    static constexpr size_t kMaxFileBytes = size_t(64) * 1024 * 1024;
    // Largest picture accepted, in pixels per side and in total across the frames.
    static constexpr int kMaxSide = 8192;
    static constexpr int64_t kMaxPixels = int64_t(32) * 1024 * 1024;
    static constexpr size_t kMaxFrames = 4096;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Frame {
        QImage image;
        int left = 0;
        int top = 0;
        int width = 0;
        int height = 0;
        int delay = -1;
        int disposal = 0;
    };

    bool CreateBuffer();
    void Run();
    void RenderFrame(size_t index);
    void DisposeFrame(size_t index);
    void RequestRepaint();

    bool isGif_ = false;
    int width_ = 0;
    int height_ = 0;
    std::atomic<uint32_t> background_;
    std::vector<Frame> frames_;
    QImage single_;
    bool loaded_ = false;
    QRect paintRect_;
    size_t current_ = 0;

    mutable std::mutex bufferLock_;
    QImage buffer_;
    QImage saveArea_;
    QRect saveRect_;

    std::thread thread_;
    std::atomic<bool> running_{false};
    std::mutex stopLock_;
    std::condition_variable stopEvent_;
    bool stop_ = false;  // under stopLock_
    bool finished_ = true;
};
