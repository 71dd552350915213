#pragma once
// Records, as an operator goes through the wizard, the answer file that replays the run: at
// each press that leaves a screen, the screen's fields, lists and pushed choice button, and the
// button or key pressed. Passwords are written only when asked for; otherwise their keys are
// left empty for the deployer to fill in. The file is rewritten after every screen, so a run
// that ends early still leaves what it went through.
#include <string>
#include <utility>
#include <vector>

class CQVAppView;

namespace app {

class AnswerRecorder {
  public:
    AnswerRecorder(std::string path, bool secrets) : path_(std::move(path)), secrets_(secrets) {}

    // What the view shows as its state is left by button nID (key nChar, 0 for a click).
    void Record(const CQVAppView& view, const std::string& state, const std::string& screen,
                int nID, unsigned nChar);
    // Writes the file (owner-only). False when it cannot be written.
    bool Save() const;
    // The file's text.
    std::string Text() const;

  private:
    struct Field {
        int id = 0;
        std::wstring value;
        bool secret = false;
    };
    struct Screen {
        std::string state;
        std::string screen;
        std::vector<Field> fields;
        int push = 0;
        std::vector<std::string> leaves;
    };

    std::string path_;
    bool secrets_;
    std::vector<Screen> screens_;
};

}  // namespace app
