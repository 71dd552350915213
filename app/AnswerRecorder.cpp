#include "app/AnswerRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <cstdio>

#include "app/AnswerFile.h"
#include "base/Text.h"
#include "screens/ControlIds.h"
#include "screens/Navigation.h"
#include "screens/QVAppView.h"

namespace app {

namespace {

namespace ids = screens::ids;

}  // namespace

void AnswerRecorder::Record(const CQVAppView& view, const std::string& state,
                            const std::string& screen, int nID, unsigned nChar) {
    Screen* entry = nullptr;
    for (Screen& s : screens_)
        if (s.state == state)
            entry = &s;
    if (!entry) {
        screens_.push_back(Screen{state, screen, {}, 0, {}});
        entry = &screens_.back();
    }
    // The last visit's entries are the ones that went through.
    entry->fields.clear();
    entry->push = 0;
    for (int id = ids::kFields.first; id <= ids::kFields.last; ++id) {
        QWidget* widget = view.Control(id);
        if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            entry->fields.push_back(
                Field{id, edit->text().toStdWString(), edit->echoMode() != QLineEdit::Normal});
        } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
            if (QListWidgetItem* item = list->currentItem())
                entry->fields.push_back(Field{id, item->text().toStdWString(), false});
        } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            if (combo->currentIndex() >= 0)
                entry->fields.push_back(Field{id, combo->currentText().toStdWString(), false});
        }
    }
    entry->push = view.SpecificButton();
    const char* key = nChar ? screens::NavigationKeyName(nChar) : nullptr;
    std::string leave = key ? key : std::to_string(nID);
    if (leave == "return")
        leave = "Return";
    else if (leave.size() >= 2 && leave[0] == 'f')
        leave[0] = 'F';
    entry->leaves.push_back(leave);
    Save();
}

std::string AnswerRecorder::Text() const {
    std::string text =
        "; Recorded by QuilvaneWizApp --record: replay with --answers.\n"
        "; <control ID>=text or list item, Push=choice button, Leave=one per visit.\n";
    for (const Screen& s : screens_) {
        text += "\n";
        if (s.state != s.screen)
            text += "; screen " + s.screen + "\n";
        text += "[" + s.state + "]\n";
        for (const Field& f : s.fields) {
            if (f.secret && !secrets_) {
                text += "; a password, left for you to fill in (--record-secrets writes it)\n";
                text += std::to_string(f.id) + "=\n";
            } else {
                text += std::to_string(f.id) + "=" + answers::AnswerValue(f.value) + "\n";
            }
        }
        if (s.push)
            text += "Push=" + std::to_string(s.push) + "\n";
        bool same = true;
        for (const std::string& l : s.leaves)
            same = same && l == s.leaves.front();
        std::string leave = same ? s.leaves.front() : std::string();
        if (!same)
            for (size_t i = 0; i < s.leaves.size(); ++i)
                leave += (i ? "," : "") + s.leaves[i];
        if (leave != "Return")
            text += "Leave=" + leave + "\n";
    }
    return text;
}

bool AnswerRecorder::Save() const {
    // Written beside, then renamed: a reader never sees half a file.
    const std::string temp = path_ + ".part";
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const std::string text = Text();
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    const bool ok = close(fd) == 0 && done == text.size();
    if (!ok || std::rename(temp.c_str(), path_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace app
