#pragma once
// Two set-ups of the start-up that need nothing of Qt or of the run, done on a thread while
// QApplication is made: Xerces' platform (transcoders, message tables), then the font
// configuration, which the first measured text would otherwise load on the GUI thread. Each
// takes milliseconds; beside the GUI thread's own work they cost nearly nothing.
#include <future>
#include <memory>
#include <thread>

class XmlPlatform;

class StartupWarmUp {
  public:
    StartupWarmUp();
    // Waits for the thread; Xerces stays set up until the object goes.
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

    // Returns once Xerces is set up: call it before the first XML read. The fonts need no wait:
    // a font configuration being made is found, or made again, by the GUI thread.
    void WaitForXml();

  private:
    std::unique_ptr<XmlPlatform> xml_;
    std::promise<void> xmlReady_;
    std::future<void> xmlDone_ = xmlReady_.get_future();
    std::thread thread_;
};
