#include "platform/Taskbar.h"

namespace platform {

bool FindTaskbar() {
    return false;
}

bool HideTaskbar() {
    return false;
}

bool ShowTaskbar() {
    return false;
}

}  // namespace platform
