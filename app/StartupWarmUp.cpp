#include "app/StartupWarmUp.h"

#include <fontconfig/fontconfig.h>

#include "base/XmlDocument.h"

StartupWarmUp::StartupWarmUp()
    : thread_([this] {
          xml_ = std::make_unique<XmlPlatform>();
          xmlReady_.set_value();
          FcInit();
      }) {}

StartupWarmUp::~StartupWarmUp() {
    if (thread_.joinable())
        thread_.join();
}

void StartupWarmUp::WaitForXml() {
    if (xmlDone_.valid())
        xmlDone_.wait();
}
