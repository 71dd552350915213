// "qvtool check-screens": builds each screen with the wizard's view and looks at what it shows.
#include "tools/qvtool/ScreenCheck.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QListWidget>
#include <QPixmap>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <tuple>
#include <utility>

#include <xercesc/dom/DOM.hpp>

#include "app/FileSet.h"
#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "base/XmlDocument.h"
#include "controls/AnimatedPicture.h"
#include "controls/ControlsLogic.h"
#include "controls/GradientLabel.h"
#include "controls/QtSupport.h"
#include "controls/VEKButton.h"
#include "platform/Paths.h"
#include "screens/ControlIds.h"
#include "screens/QVAppView.h"
#include "screens/ScreenCatalogue.h"
#include "screens/ScreenHost.h"
#include "screens/ScreenProfiles.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"
#include "tools/qvtool/Lint.h"
#include "tools/qvtool/LintInternal.h"
#include "xmlgui/DialogForm.h"

namespace authoring {

namespace {

double Linear(int channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

}  // namespace

double RelativeLuminance(QRgb colour) {
    return 0.2126 * Linear(qRed(colour)) + 0.7152 * Linear(qGreen(colour)) +
           0.0722 * Linear(qBlue(colour));
}

double ContrastRatio(QRgb a, QRgb b) {
    const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

double MinContrastFor(int pixelSize, bool bold) {
    // 14 pt is 18.67 px.
    const bool large = pixelSize >= 24 || (bold && 3 * pixelSize >= 56);
    return large ? kMinLargeContrast : kMinContrast;
}

std::optional<double> TextContrast(const QImage& inWhite, const QImage& inBlack, const QImage& bare,
                                   QRgb text) {
    if (inWhite.size() != inBlack.size() || inWhite.size() != bare.size())
        return std::nullopt;
    std::vector<double> ratios;
    for (int y = 0; y < bare.height(); ++y) {
        for (int x = 0; x < bare.width(); ++x) {
            const QRgb w = inWhite.pixel(x, y), b = inBlack.pixel(x, y);
            const int coverage =
                (qRed(w) - qRed(b)) + (qGreen(w) - qGreen(b)) + (qBlue(w) - qBlue(b));
            if (2 * coverage >= 3 * 255)
                ratios.push_back(ContrastRatio(text, bare.pixel(x, y)));
        }
    }
    if (ratios.empty())
        return std::nullopt;
    const size_t tenth = ratios.size() / 10;
    std::nth_element(ratios.begin(), ratios.begin() + long(tenth), ratios.end());
    return ratios[tenth];
}

bool Overlaps(const PlacedControl& a, const PlacedControl& b) {
    return a.rect.intersects(b.rect);
}

bool OverlapIntended(const PlacedControl& a, const PlacedControl& b) {
    return a.picture || b.picture || a.drawsNothing || b.drawsNothing;
}

void MergeFindings(const std::vector<ScreenFinding>& findings,
                   const std::vector<std::string>& languages, Report& report) {
    struct Merged {
        const ScreenFinding* worst = nullptr;
        std::set<std::string> languages;
    };
    std::map<std::tuple<std::string, int, std::string>, Merged> merged;
    std::vector<std::tuple<std::string, int, std::string>> order;
    for (const ScreenFinding& f : findings) {
        auto key = std::make_tuple(f.file, f.line, f.key);
        auto [it, fresh] = merged.try_emplace(key);
        if (fresh)
            order.push_back(key);
        if (!it->second.worst || f.rank > it->second.worst->rank)
            it->second.worst = &f;
        it->second.languages.insert(f.language);
    }
    for (const auto& key : order) {
        const Merged& m = merged[key];
        std::string shown;
        bool every = !languages.empty();
        for (const std::string& l : languages) {
            if (m.languages.count(l))
                shown += (shown.empty() ? "" : ", ") + l;
            else
                every = false;
        }
        report.Error(m.worst->file, m.worst->line,
                     m.worst->message + " [" + (every ? "every language" : shown) + "]");
    }
}

namespace {

namespace ids = screens::ids;

// What a view needs of the wizard, without an automaton: a context of the mode's definition
// filled with long values, the translator and the mode's files.
class CheckHost : public screens::ScreenHost {
  public:
    CheckHost() { context.Initialize(); }
    ~CheckHost() override { context.ReleaseValues(); }

    CLog& Log() override { return CLog::Quiet(); }
    ZFQTranslator& Translator() override { return translator; }
    const screens::ScreenFiles& Files() override { return files; }
    CAutomateContext* RefreshContext() override { return &context; }
    void PublishContext() override {}
    void WakeEngine() override {}
    bool MayRaiseEvents() const override { return !building && !switching; }
    bool ViewSwitching() const override { return switching; }
    void SetClickInProgress(bool) override {}
    void SetScreenBuilding(bool on) override { building = on; }
    bool TranslationsLoaded() const override { return true; }
    void SetTranslationsLoaded() override {}

    CAutomateContext context{"check-screens.log", LOG_ERR};
    ZFQTranslator translator;
    screens::ScreenFiles files;
    bool building = false, switching = true;
};

std::string Show(const QRect& r) {
    return StrFormat("(%d,%d %dx%d)", r.x(), r.y(), r.width(), r.height());
}

// Short, on one line.
std::string Quoted(const std::wstring& text) {
    std::string line;
    for (char c : Narrow(text))
        line += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    return lint::Quote(line);
}

// The longest text among the translations whose ID passes `wanted`.
template <class Wanted>
std::wstring LongestText(const ZFQTranslator& translator, Wanted wanted) {
    std::wstring best;
    for (const auto& [id, text] : translator.Table())
        if (wanted(id) && text.size() > best.size())
            best = text;
    return best;
}

// The values a plug-in writes for the screens to show, as long as they come.
void FillContext(CAutomateContext& c, const ZFQTranslator& translator, int language) {
    c.SetString(ctx::kIdLang, 1, ("ID_LANG" + std::to_string(language)).c_str());
    c.SetString(ctx::kPcModelType, 1, "PC");
    c.SetInt(ctx::kKeyboardIndex, 1, 24);
    c.SetInt("NetworkAttempt", 1, 99);
    c.SetWide("KeyboardLabel", 1, LongestText(translator, [](const std::string& id) {
                  return id >= "id0360" && id <= "id0383";
              }));
    c.SetWide("CountryLabel", 1, LongestText(translator, [](const std::string& id) {
                  return id.rfind("PAY", 0) == 0;
              }));
    std::wstring longestLabel;
    for (int n = 0; n < LanguageCount(); ++n)
        if (LanguageLabel(n).size() > longestLabel.size())
            longestLabel = LanguageLabel(n);
    c.SetWide(ctx::kKsoLabel, 1, longestLabel);
    c.SetWide("RaisonSociale", 1, L"Boulangerie Pâtisserie Ödön");
}

// The screens a mode's profile files name, in file order.
std::vector<std::string> ScreensOf(const FileSet& files) {
    std::vector<std::string> out;
    for (const std::string& file : {files.pictures, files.infos}) {
        std::optional<std::vector<ProfileLine>> lines = ListProfile(file);
        if (!lines)
            continue;
        for (const ProfileLine& l : *lines) {
            const std::string name = Narrow(l.name);
            if (l.kind == ProfileLine::Kind::Section && name != "Initialisation" &&
                std::find(out.begin(), out.end(), name) == out.end())
                out.push_back(name);
        }
    }
    return out;
}

// The state a plug-in shows the screen in: the one its save rule names, else its name less
// "State".
std::string StateOf(const std::string& screen) {
    if (const screens::ScreenRules* rules = screens::FindScreenRules(screen))
        if (rules->save)
            return rules->save->state;
    return screen.rfind("State", 0) == 0 ? screen.substr(5) : screen;
}

struct DialogLines {
    std::string display;
    std::map<int, int> lines;
    int Line(int id) const {
        auto it = lines.find(id);
        return it == lines.end() ? 0 : it->second;
    }
};

DialogLines ReadDialogLines(const std::string& relative) {
    DialogLines out;
    out.display = DisplayPath(relative);
    std::string error;
    if (auto doc = lint::ParseWithLines(relative, &error)) {
        const std::u16string idName = NarrowToXml("id");
        for (xercesc::DOMElement* c : lint::ElementsUnder(doc->Root(), "control")) {
            int id = 0;
            if (xmlgui::ParseInt(XmlToNarrow(c->getAttribute(idName.c_str())), -1, xmlgui::kMaxId,
                                 &id))
                out.lines.try_emplace(id, XmlLineOf(c));
        }
    }
    return out;
}

QImage Grab(CQVAppView& view, const QRect& area) {
    return view.grab(area).toImage().convertToFormat(QImage::Format_RGB32);
}

// Looks at one built view; each finding goes to `out` in `language`.
class ViewChecker {
  public:
    ViewChecker(CQVAppView& view, const DialogLines& dialog, const std::string& screen,
                const std::string& language, const screens::ScreenFiles& files,
                std::vector<ScreenFinding>& out)
        : view_(view),
          dialog_(dialog),
          screen_(screen),
          language_(language),
          files_(files),
          out_(out) {}

    void Run() {
        const QRect viewArea(QPoint(0, 0), view_.size());
        std::vector<PlacedControl> placed;
        for (QObject* child : view_.children()) {
            auto* w = qobject_cast<QWidget*>(child);
            const int id = w ? xmlgui::ControlId(w) : -1;
            if (id < 0 || w->isHidden())
                continue;
            QRect outer = w->geometry();
            if (w->focusPolicy() & Qt::TabFocus)
                outer = controls::FocusRingArea(outer);
            if (!viewArea.contains(outer))
                Add(id, StrFormat("outside %d", id),
                    StrFormat("control %d %s leaves the view %s", id, Show(outer).c_str(),
                              Show(viewArea).c_str()));
            PlacedControl p{id, w->geometry(), false, false};
            if (auto* label = qobject_cast<CGradientLabel*>(w)) {
                p.drawsNothing =
                    label->IsTransparent() && label->Text().empty() && !label->HasBitmap();
                CheckLabel(*label, id);
            } else if (auto* button = qobject_cast<CVEKButton*>(w)) {
                CheckButton(*button, id);
            } else if (auto* list = qobject_cast<QListWidget*>(w)) {
                CheckList(*list, id);
            } else if (qobject_cast<AnimatedPicture*>(w) || ids::kPictures.Contains(id)) {
                p.picture = true;
            }
            for (const PlacedControl& q : placed) {
                if (Overlaps(p, q) && !OverlapIntended(p, q))
                    Add(id, StrFormat("overlap %d %d", id, q.id),
                        StrFormat("control %d %s overlaps control %d %s (line %d)", id,
                                  Show(p.rect).c_str(), q.id, Show(q.rect).c_str(),
                                  dialog_.Line(q.id)));
            }
            placed.push_back(p);
            if (viewArea.contains(w->geometry()))
                CheckContrast(*w, id);
        }
    }

  private:
    void Add(int id, std::string key, std::string message, double rank = 0) {
        out_.push_back({dialog_.display, dialog_.Line(id), std::move(key), std::move(message), rank,
                        language_});
    }

    // What the label shows is its translation ID: the text is missing in this language.
    bool ShowsId(int id, const std::wstring& text, bool button) {
        for (int n = 1;; ++n) {
            if (button) {
                std::optional<screens::ButtonEntry> e =
                    screens::ReadButtonEntry(files_.pictures, screen_, n);
                if (!e)
                    return false;
                if (e->id == id && e->trad && !e->trad->empty() && text == *e->trad)
                    return true;
            } else {
                std::optional<screens::LabelEntry> e =
                    screens::ReadLabelEntry(files_.labels, screen_, n);
                if (!e)
                    return false;
                if (e->id == id && !e->trad.empty() && text == screens::LabelText(L"", *e))
                    return true;
            }
        }
    }

    void CheckLabel(const CGradientLabel& label, int id) {
        const std::wstring& text = label.Text();
        if (text.empty())
            return;
        if (ShowsId(id, text, false))
            Add(id, StrFormat("id %d", id),
                StrFormat("label %d shows its translation ID %s: no text", id,
                          Quoted(text).c_str()));
        const QFontMetrics fm(label.LabelFont());
        const controls::MeasureFn measure = controls::FontMeasure(label.LabelFont());
        const std::vector<std::wstring> lines =
            controls::SplitLabelLines(text, label.width(), measure);
        const int needed = int(lines.size()) * fm.height();
        if (needed > label.height())
            Add(id, StrFormat("fit %d", id),
                StrFormat("label %d text %s needs %d lines (%d px), the label is %d px high", id,
                          Quoted(text).c_str(), int(lines.size()), needed, label.height()),
                needed - label.height());
        std::wistringstream words(text);
        for (std::wstring word; words >> word;) {
            const int wide = measure(word);
            if (wide > label.width()) {
                Add(id, StrFormat("word %d", id),
                    StrFormat("label %d word %s is %d px wide, the label %d px", id,
                              Quoted(word).c_str(), wide, label.width()),
                    wide - label.width());
                break;
            }
        }
    }

    void CheckButton(const CVEKButton& button, int id) {
        const int state = controls::kStateNormal;
        const std::wstring caption = button.Caption(state);
        const bool blank = caption.find_first_not_of(L" \t") == std::wstring::npos;
        if (blank && !button.HasBitmap(state)) {
            Add(id, StrFormat("blank %d", id),
                StrFormat("button %d has neither caption nor bitmap", id));
            return;
        }
        if (blank)
            return;
        if (ShowsId(id, caption, true))
            Add(id, StrFormat("id %d", id),
                StrFormat("button %d shows its translation ID %s: no text", id,
                          Quoted(caption).c_str()));
        const QRect room = button.CaptionRect(state);
        const QFontMetrics fm(button.CaptionFont(state));
        const int wide = fm.horizontalAdvance(QString::fromStdWString(caption));
        if (wide > room.width())
            Add(id, StrFormat("fit %d", id),
                StrFormat("button %d caption %s is %d px wide, it has %d px", id,
                          Quoted(caption).c_str(), wide, room.width()),
                wide - room.width());
        if (fm.height() > room.height())
            Add(id, StrFormat("high %d", id),
                StrFormat("button %d caption is %d px high, it has %d px", id, fm.height(),
                          room.height()),
                fm.height() - room.height());
    }

    void CheckList(const QListWidget& list, int id) {
        const QFontMetrics fm(list.font());
        const int room = list.viewport()->width() - 2 * list.spacing();
        for (int i = 0; i < list.count(); ++i) {
            const QString item = list.item(i)->text();
            const int wide = fm.horizontalAdvance(item);
            if (wide > room) {
                Add(id, StrFormat("fit %d", id),
                    StrFormat("list %d item %s is %d px wide, it has %d px", id,
                              Quoted(item.toStdWString()).c_str(), wide, room),
                    wide - room);
                return;
            }
        }
    }

    // The view rendered under the control three times: its text in white, in black, and
    // without text; the text's own colour against what lies under it.
    void CheckContrast(QWidget& w, int id) {
        const QRect area = w.geometry();
        std::optional<double> ratio;
        QRgb colour = 0;
        QFont font;
        if (auto* label = qobject_cast<CGradientLabel*>(&w)) {
            const std::wstring text = label->Text();
            if (text.find_first_not_of(L" \t\r\n") == std::wstring::npos)
                return;
            const uint32_t own = label->TextColor();
            font = label->LabelFont();
            colour = controls::ToQColor(own).rgb();
            label->SetTextColor(controls::Rgb(255, 255, 255));
            const QImage white = Grab(view_, area);
            label->SetTextColor(0);
            const QImage black = Grab(view_, area);
            label->SetText(std::wstring());
            const QImage bare = Grab(view_, area);
            label->SetText(text);
            label->SetTextColor(own);
            ratio = TextContrast(white, black, bare, colour);
        } else if (auto* button = qobject_cast<CVEKButton*>(&w)) {
            const int state = button->CurrentState();
            const std::wstring caption = button->Caption(state);
            if (caption.find_first_not_of(L" \t") == std::wstring::npos)
                return;
            const uint32_t own = button->TextColor(state);
            font = button->CaptionFont(state);
            colour = controls::ToQColor(own).rgb();
            std::array<std::wstring, controls::kStateCount> saved;
            for (int s = 0; s < controls::kStateCount; ++s)
                saved[size_t(s)] = button->Caption(controls::kStateNormal + s);
            button->SetTextColorsAll(controls::Rgb(255, 255, 255));
            const QImage white = Grab(view_, area);
            button->SetTextColorsAll(0);
            const QImage black = Grab(view_, area);
            // An empty caption is the setter's "leave alone".
            button->SetCaptions(L" ", true, L" ", L" ", L" ");
            const QImage bare = Grab(view_, area);
            button->SetCaptions(saved[0], false, saved[1], saved[2], saved[3]);
            button->SetTextColorsAll(own);
            ratio = TextContrast(white, black, bare, colour);
        }
        const double least = MinContrastFor(QFontInfo(font).pixelSize(), font.bold());
        if (ratio && *ratio < least)
            Add(id, StrFormat("contrast %d", id),
                StrFormat("control %d text contrast %.2f:1 against its background, below "
                          "%.1f:1",
                          id, *ratio, least),
                least - *ratio);
    }

    CQVAppView& view_;
    const DialogLines& dialog_;
    const std::string& screen_;
    const std::string& language_;
    const screens::ScreenFiles& files_;
    std::vector<ScreenFinding>& out_;
};

// The screen's label entries say what the end screen shows once the configuration was
// applied: such a screen is built both ways.
bool HasOutcomeTexts(const std::string& labelsFile, const std::string& screen) {
    for (int n = 1;; ++n) {
        std::optional<screens::LabelEntry> e = screens::ReadLabelEntry(labelsFile, screen, n);
        if (!e)
            return false;
        if (!e->tradSuccess.empty())
            return true;
    }
}

constexpr int kAnalyseFailed = 3;

}  // namespace

ScreenCheckStats CheckScreens(const ScreenCheckOptions& options, Report& report) {
    XmlPlatform xml;
    ScreenCheckStats stats;
    std::vector<ScreenFinding> findings;
    std::vector<std::string> languages;
    const int count = LanguageCount();
    for (int n = 0; n < count; ++n) {
        const std::string tag = ResolvedLanguageCode(n);
        const std::string country = LanguageCountry(n);
        languages.push_back(tag + (country.empty() ? "" : "_" + country));
    }
    stats.languages = count;
    std::set<std::string> seen;
    const TextFont savedFont = CurrentTextFont();
    for (const std::string& modeName : options.modes) {
        const FileSet files =
            FileSet::For(modeName == "RW" ? Mode::Reconfiguration : Mode::Installation);
        CheckHost host;
        host.files = {files.pictures, files.infos, files.comboBox, files.infosContext,
                      files.saveContext};
        host.context.LoadContext(files.stateTable);
        host.context.SetString(ctx::kPathGui, 1, options.guiDir.c_str());
        std::vector<std::pair<std::string, DialogLines>> screens;
        for (const std::string& screen : ScreensOf(files)) {
            const std::string relative = options.guiDir + screen + ".gui";
            if (!lint::IsRegularFile(relative))
                continue;  // lint reports it
            xmlgui::CDlgTemplate tmpl;
            if (!tmpl.SerializeFrom(relative)) {
                // The view would fall back to an empty dialog: nothing of the screen to see.
                report.Error(
                    DisplayPath(relative), lint::LineOfError(tmpl.Error()),
                    "dialog file cannot be used, the screen is not checked: " + tmpl.Error());
                continue;
            }
            screens.emplace_back(screen, ReadDialogLines(relative));
            seen.insert(screen);
        }
        for (int language = 0; language < count; ++language) {
            // A fallback that loops or leads nowhere has no texts to show (lint reports it).
            const std::string code = ResolvedLanguageCode(language);
            if (code.empty() || host.translator.LoadLanguage(code.c_str()) < 0)
                continue;
            ApplyLanguageFonts(language, StartupFontDefaults());
            FillContext(host.context, host.translator, language);
            for (const auto& [screen, dialog] : screens) {
                std::vector<int> outcomes{0};
                if (HasOutcomeTexts(host.files.labels, screen))
                    outcomes.push_back(kAnalyseFailed);
                for (int outcome : outcomes) {
                    host.context.SetInt(ctx::kAnalyseState, 1, outcome);
                    host.context.SetString(ctx::kNameState, 1, StateOf(screen).c_str());
                    host.context.SetInt(ctx::kLastEvent, 1, 0);
                    QWidget window;
                    window.resize(1000, 800);
                    host.switching = true;
                    auto* view = new CQVAppView(host, &window,
                                                {screen, Widen(options.guiDir + screen + ".gui")});
                    view->Create();
                    host.switching = false;
                    window.show();
                    view->show();
                    view->SetViewInterface();
                    ViewChecker(*view, dialog, screen, languages[size_t(language)], host.files,
                                findings)
                        .Run();
                    host.switching = true;
                    delete view;
                    ++stats.builds;
                }
            }
        }
    }
    SetCurrentTextFont(savedFont);
    stats.screens = int(seen.size());
    MergeFindings(findings, languages, report);
    return stats;
}

}  // namespace authoring
