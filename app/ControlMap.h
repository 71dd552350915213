#pragma once
// Where the controls of the shown screen lie on the display, for tests and tools that drive the
// wizard through the display server as a person does (QV_CONTROL_MAP=FILE). One line each:
//   screen NAME | view N | frame X Y W H | rect X Y W H | focus ID
//   control ID X Y W H CAPTION
// in global coordinates. The file is replaced whole, never seen half written.
#include <QRect>
#include <string>

class CQVAppView;
class QWidget;

namespace app {

struct ControlMapKey {
    long view = 0;
    int focus = -1;
    QRect frame;
    bool operator==(const ControlMapKey&) const = default;
};

// What decides whether the map must be written again.
ControlMapKey ControlMapKeyOf(const QWidget& frame, const CQVAppView& view, long viewNumber);
// False when the file could not be written.
bool WriteControlMap(const std::string& path, const QWidget& frame, const CQVAppView& view,
                     const std::string& screen, const ControlMapKey& key);

}  // namespace app
