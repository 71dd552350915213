// What a mode's profile files say of its screens (buttons, labels, combo box items, the
// translation IDs they use), and the pictures every screen file names.
#include <cstdint>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/Profile.h"
#include "base/Text.h"
#include "controls/GifWalk.h"
#include "platform/Paths.h"
#include "screens/ControlIds.h"
#include "screens/ControlKind.h"
#include "screens/ScreenProfiles.h"
#include "screens/StateSetup.h"
#include "tools/qvtool/LintInternal.h"
#include "xmlgui/DlgTemplate.h"

#ifdef QV_LINT_DECODE
#include <QImageReader>
#include <QString>
#endif

namespace authoring::lint {

namespace {

std::string PictureProblem(const std::string& relative) {
    std::string native = platform::NativePath(relative);
    if (!IsRegularFile(relative))
        return "does not exist";
    std::ifstream in(native, std::ios::binary);
    std::vector<uint8_t> bytes;
    char buf[65536];
    while (in && bytes.size() < (64u << 20)) {
        in.read(buf, sizeof buf);
        bytes.insert(bytes.end(), buf, buf + in.gcount());
    }
    if (bytes.empty())
        return "is empty";
    if (controls::IsGif(bytes)) {
        // The animated picture walks the frames itself.
        controls::GifHeader header;
        if (!controls::ReadGifHeader(bytes, header) || controls::CountGifFrames(bytes, header) == 0)
            return "cannot be decoded: no GIF frame found";
    }
#ifdef QV_LINT_DECODE
    QImageReader reader(QString::fromStdString(native));
    if (reader.read().isNull())
        return "cannot be decoded: " + reader.errorString().toStdString();
#endif
    return {};
}

}  // namespace

void Linter::CheckPicture(const std::string& file, int line, const std::string& what,
                          const std::string& relative, bool required) {
    auto cached = pictures_.find(relative);
    std::string problem;
    if (cached != pictures_.end()) {
        problem = cached->second;
    } else {
        problem = PictureProblem(relative);
        pictures_[relative] = problem;
    }
    if (!problem.empty())
        report_.Add(file, line, required ? Severity::Error : Severity::Warning,
                    what + " " + Quote(relative) + " " + problem);
}

void Linter::CheckBackground(const IniFile& pictures, const std::string& screen) {
    auto background = ReadProfileString(pictures.Relative(), Widen(screen), L"Background",
                                        Widen(kMissingKey), 199);
    if (background != Widen(kMissingKey))
        CheckPicture(pictures.Display(), pictures.KeyLine(screen, "Background"), "background",
                     Narrow(background));
}

void Linter::LintScreenProfiles(const std::string& screen, const ModeScreens& p,
                                const Dialog& dialog) {
    auto checkId = [&](const IniFile& f, const std::string& key, int id,
                       screens::ControlKind kind) {
        int line = f.KeyLine(screen, key);
        if (screens::KindOfControl(id) != kind) {
            report_.Error(
                f.Display(), line,
                StrFormat("%s %d is outside %s", key.c_str(), id, KindRange(kind).c_str()));
        } else if (dialog.loaded && !dialog.Has(id)) {
            report_.Error(f.Display(), line,
                          StrFormat("%s %d: the dialog of %s has no such control", key.c_str(), id,
                                    screen.c_str()));
        }
    };

    ScreenTexts& texts = screenTexts_[screen];
    std::set<int> listed;  // buttons with a ButtonId entry: checked with it
    if (p.pictures->Readable() && p.pictures->HasSection(screen)) {
        const IniFile& f = *p.pictures;
        f.CheckNumbered(report_, screen, "ButtonId.", 1);
        bool hasBackground = f.KeyLine(screen, "Background") != 0;
        CheckBackground(f, screen);
        for (int n = 1; n <= 1000; ++n) {
            auto b = screens::ReadButtonEntry(f.Relative(), screen, n);
            if (!b)
                break;
            std::string idKey = StrFormat("ButtonId.%d", n);
            if (!hasBackground && n == 1)
                report_.Warning(f.Display(), f.KeyLine(screen, idKey),
                                StrFormat("screen %s has no Background: its buttons are not "
                                          "prepared",
                                          screen.c_str()));
            checkId(f, idKey, b->id, screens::ControlKind::Button);
            listed.insert(b->id);
            if (b->trad && screens::ids::kEventButtons.Contains(b->id))
                texts.buttonTrads[b->id] = Narrow(*b->trad);
            if (b->trad) {
                AddTrad(Narrow(*b->trad), f.Display(),
                        f.KeyLine(screen, StrFormat("ButtonTrad.%d", n)));
                continue;
            }
            if (!b->hasBitmaps) {
                // Without either, the button keeps the text its dialog gives it.
                const xmlgui::DlgControl* control =
                    dialog.loaded ? dialog.tmpl.Find(b->id) : nullptr;
                if (control && !control->text.empty())
                    continue;
                report_.Warning(f.Display(), f.KeyLine(screen, idKey),
                                StrFormat("button %d has no ButtonTrad.%d and not all of "
                                          "ButtonNormal, ButtonPush, ButtonOver: it shows "
                                          "nothing",
                                          b->id, n));
                continue;
            }
            const std::pair<const char*, const std::wstring*> looks[] = {
                {"ButtonNormal.%d", &b->normal},
                {"ButtonPush.%d", &b->pushed},
                {"ButtonOver.%d", &b->over},
                {"ButtonDisable.%d", &b->disabled}};
            for (const auto& [format, path] : looks) {
                std::string key = StrFormat(format, n);
                if (!path->empty())
                    CheckPicture(f.Display(), f.KeyLine(screen, key), key, Narrow(*path));
            }
        }
    }
    if (p.labels->Readable() && p.labels->HasSection(screen)) {
        const IniFile& f = *p.labels;
        f.CheckNumbered(report_, screen, "IdCompo.", 1);
        for (int n = 1; n <= 1000; ++n) {
            auto label = screens::ReadLabelEntry(f.Relative(), screen, n);
            if (!label)
                break;
            checkId(f, StrFormat("IdCompo.%d", n), label->id, screens::ControlKind::Label);
            if (!label->trad.empty()) {
                AddTrad(Narrow(label->trad), f.Display(),
                        f.KeyLine(screen, StrFormat("IdTrad.%d", n)));
                texts.hints.push_back(trads_.back());
            }
            if (!label->tradSuccess.empty())
                AddTrad(Narrow(label->tradSuccess), f.Display(),
                        f.KeyLine(screen, StrFormat("IdTradSuccess.%d", n)));
        }
    }
    if (p.combos->Readable() && p.combos->HasSection(screen)) {
        const IniFile& f = *p.combos;
        f.CheckNumbered(report_, screen, "IdCombo.", 1);
        for (int n = 1; n <= 1000; ++n) {
            auto item = screens::ReadComboEntry(f.Relative(), screen, n);
            if (!item)
                break;
            std::string idKey = StrFormat("IdCombo.%d", n);
            checkId(f, idKey, item->id, screens::ControlKind::ComboBox);
            if (item->trad == Widen(kMissingKey))
                report_.Warning(f.Display(), f.KeyLine(screen, idKey),
                                StrFormat("IdCombo.%d has no IdTrad.%d: the item is empty", n, n));
            else
                AddTrad(Narrow(item->trad), f.Display(),
                        f.KeyLine(screen, StrFormat("IdTrad.%d", n)));
        }
    }
    screens::ScreenSetup setup = screens::ScreenSetupFor(screen);
    if (dialog.loaded) {
        for (const xmlgui::DlgControl& control : dialog.tmpl.controls) {
            if (control.cls != xmlgui::ControlClass::Button)
                continue;
            if (screens::ids::kEventButtons.Contains(control.id)) {
                texts.buttons.insert(control.id);
                if (!control.text.empty())
                    texts.buttonTexts[control.id] = control.text;
            }
            // The language screens give their choice buttons the languages' labels.
            const bool labelled = setup.kind == screens::SetupKind::LanguageButtons &&
                                  screens::ids::kChoiceButtons.Contains(control.id);
            if (control.text.empty() && !listed.count(control.id) && !labelled)
                report_.Warning(dialog.display, dialog.Line(control.id),
                                StrFormat("button %d of %s has no text and no ButtonTrad or "
                                          "bitmaps in the pictures file: it shows nothing",
                                          control.id, screen.c_str()));
        }
    }
    if (setup.kind == screens::SetupKind::KeyboardPicture) {
        std::string first = screens::KeyboardPicturePath(screens::kKeyboardIndexMin);
        CheckPicture(p.pictures->Display(), p.pictures->SectionLine(screen), "keyboard picture",
                     first, false);
    }
    if (setup.kind == screens::SetupKind::CountryList)
        countryScreen_ = true;
}

void Linter::AddTrad(const std::string& id, const std::string& file, int line) {
    trads_.push_back(TradUse{id, file, line});
}

}  // namespace authoring::lint
