// Every screen of both shipped flows, built from dist/ by the real view in every language of
// language.ini, with long values in the fields the context fills: each control lies inside the
// panel of its background (the title in the header band), focus ring included; no label needs
// more lines than its height holds or has a word wider than itself; no caption is wider than
// its button, no list item than its list, no picture than its control; no text is a bare
// translation ID or keeps an unfilled "%1". QV_SCREEN_PICTURES=DIR saves each screen there.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QListWidget>
#include <QRegularExpression>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "controls/AnimatedPicture.h"
#include "controls/ControlsLogic.h"
#include "controls/GradientLabel.h"
#include "controls/QtSupport.h"
#include "controls/VEKButton.h"
#include "platform/Paths.h"
#include "screens/ControlIds.h"
#include "services/LanguageConfig.h"
#include "tests/screens/ViewTestSupport.h"
#include "xmlgui/DialogForm.h"

namespace fs = std::filesystem;

namespace {

namespace ids = screens::ids;

struct Areas {
    QRect header;
    QRect panel;
};

// The areas of a background as scripts/make_theme draws them: a light line closes the
// header band, two light vertical lines frame the panel.
std::optional<Areas> FindAreas(const QImage& image) {
    const QRgb line = qRgb(250, 250, 250);
    auto is = [&](int x, int y) { return (image.pixel(x, y) | 0xFF000000u) == line; };
    int left = -1, right = -1;
    for (int x = 0, y = image.height() / 2; x < image.width(); ++x) {
        if (is(x, y)) {
            left = left < 0 ? x : left;
            right = x;
        }
    }
    if (left < 0 || right <= left)
        return std::nullopt;
    int header = -1;
    for (int y = 0; y < image.height() && header < 0; ++y)
        if (is(image.width() / 2, y))
            header = y;
    int top = -1, bottom = -1;
    for (int y = header + 1; header >= 0 && y < image.height(); ++y) {
        if (is(left, y)) {
            top = top < 0 ? y : top;
            bottom = y;
        }
    }
    if (top < 0)
        return std::nullopt;
    return Areas{QRect(0, 0, image.width(), header),
                 QRect(left, top, right - left + 1, bottom - top + 1)};
}

std::string Show(const QRect& r) {
    return StrFormat("(%d,%d %dx%d)", r.x(), r.y(), r.width(), r.height());
}

std::string Text(const std::wstring& text) {
    return Narrow(text);
}

// The longest text among the translations whose ID passes `wanted`.
std::string LongestId(const ZFQTranslator& translator, bool (*wanted)(const std::string&)) {
    std::string best;
    size_t length = 0;
    for (const auto& [id, text] : translator.Table()) {
        if (wanted(id) && text.size() > length) {
            best = id;
            length = text.size();
        }
    }
    return best;
}

struct Mode {
    const char* prefix;
    const char* infosContext;
    // Screen and the state the plug-in shows it in, where they differ.
    std::vector<std::pair<std::string, std::string>> states;
};

const Mode kModes[] = {
    {"QV",
     "infoscontext.ini",
     {{"StateLanguage", "Language"},
      {"StateGuiAskKeyBoard", "GuiAskKeyBoard"},
      {"StateGuiKeyBoard", "GuiKeyBoard"},
      {"StateCountryChoice", "CountryChoice"},
      {"StateInstallationTypeQV", "InstallationTypeQV"},
      {"StateChoiceTradeMark", "ChoiceTradeMark"}}},
    {"RW", "infosContext.ini", {{"StateLanguageR", "LanguageReconf"}}},
};

class ShippedScreens : public ::testing::Test {
  protected:
    void SetUp() override {
        host.quiet = true;
        for (const char* dir : {"config", "gui"})
            fs::copy(fs::path(DIST_DIR) / dir, host.tree.Path(dir),
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        // The keyboard and connection pictures are made by the build.
        fs::copy(fs::path(STAGE_DIR) / "pictures", host.tree.Path("pictures"),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        platform::SetProgramDirectory(host.tree.Bin());
        ClearProfileCache();
        pictures = qEnvironmentVariable("QV_SCREEN_PICTURES").toStdString();
    }
    void TearDown() override {
        window.reset();
        platform::SetProgramDirectory("");
        ClearProfileCache();
        SetCurrentTextFont({});
    }

    void UseMode(const Mode& mode) {
        const std::string dir =
            std::string("..\\config\\") + mode.prefix + "\\" + mode.prefix + "_";
        host.files = {dir + "pictures.ini", dir + "infos.ini", dir + "combobox.ini",
                      dir + mode.infosContext, dir + "saveContext.ini"};
        // The properties of the mode's context the host does not declare yet.
        std::istringstream table(host.tree.Read(std::string("config/") + mode.prefix + "/" +
                                                mode.prefix + "_automate.ini"));
        bool inContext = false;
        for (std::string line; std::getline(table, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && line[0] == '[')
                inContext = line == "[CONTEXT]";
            const size_t equals = line.find('=');
            if (!inContext || equals == std::string::npos)
                continue;
            const ContextDefinition d = SplitContextDefinition(line.substr(equals + 1));
            if (host.context.Find(d.name.c_str(), 1) < 0)
                host.context.addPropertiesContext(d.name, d.type, d.count);
        }
    }

    // Long values in what the context shows, as the plug-in writes them.
    void FillContext(int language) {
        CAutomateContext& c = host.context;
        c.SetString(ctx::kIdLang, 1, ("ID_LANG" + std::to_string(language)).c_str());
        c.SetString(ctx::kPcModelType, 1, "PC");
        c.SetInt(ctx::kKeyboardIndex, 1, 24);
        c.SetInt("NetworkAttempt", 1, 99);
        c.SetWide("KeyboardLabel", 1, Widen(LongestId(host.translator, [](const std::string& id) {
                      return id >= "id0360" && id <= "id0383";
                  })));
        c.SetWide("CountryLabel", 1, Widen(LongestId(host.translator, [](const std::string& id) {
                      return id.rfind("PAY", 0) == 0;
                  })));
        std::wstring longestLabel;
        for (int n = 0; n < LanguageCount(); ++n)
            if (LanguageLabel(n).size() > longestLabel.size())
                longestLabel = LanguageLabel(n);
        c.SetWide(ctx::kKsoLabel, 1, longestLabel);
        c.SetWide("ProxyLabel", 1, L"id0356");
        c.SetWide("RaisonSociale", 1, L"Boulangerie Pâtisserie Ödön");
    }

    void Build(const std::string& screen, const std::string& state) {
        window.reset();
        host.context.SetString(ctx::kNameState, 1, state.c_str());
        host.context.SetInt(ctx::kLastEvent, 1, 0);
        host.screen = screen;
        host.screenFile = Widen("..\\gui\\" + screen + ".gui");
        window = ShowScreen(host, &view);
    }

    // Every check on the screen built last; `where` names it in the failures.
    void Check(const std::string& where, const std::string& background) {
        const QImage image(QString::fromStdString(platform::NativePath(background)));
        ASSERT_FALSE(image.isNull()) << where << ": no background " << background;
        const std::optional<Areas> areas = FindAreas(image);
        ASSERT_TRUE(areas) << where << ": no panel found in " << background;
        const QRegularExpression bareId(QStringLiteral("^(id\\d{4}|PAY[A-Z]{2})$"));
        // What a hint quotes is a button of the screen, as labelled less its key.
        const QRegularExpression quoted(
            QStringLiteral("[\u201C\u201E]([^\u201C\u201D]+)[\u201C\u201D]|\u00AB\u00A0?"
                           "([^\u00BB]+?)\u00A0?\u00BB|\u2018([^\u2019]+)\u2019"));
        QStringList captions;
        for (auto* button : view->findChildren<CVEKButton*>())
            captions << QString::fromStdWString(button->Caption(controls::kStateNormal))
                            .remove(QRegularExpression(QStringLiteral(" \\(F\\d+\\)$")));
        for (QObject* child : view->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            const int id = w ? xmlgui::ControlId(w) : -1;
            if (id < 0 || w->isHidden())
                continue;
            const std::string at = where + " control " + std::to_string(id);
            // A face the machine lacks takes the dialog font's stand-in, not fontconfig's
            // default face (a light one, on a plain Debian).
            const QFont drawn =
                qobject_cast<CGradientLabel*>(w) ? qobject_cast<CGradientLabel*>(w)->LabelFont()
                : qobject_cast<CVEKButton*>(w)
                    ? qobject_cast<CVEKButton*>(w)->CaptionFont(controls::kStateNormal)
                    : w->font();
            EXPECT_EQ(QFontInfo(drawn).family().toStdString(),
                      QFontInfo(view->font()).family().toStdString())
                << at;
            QRect outer = w->geometry();
            if (w->focusPolicy() & Qt::TabFocus)
                outer = controls::FocusRingArea(outer);
            const QRect& area = id == ids::kTitleLabel ? areas->header : areas->panel;
            EXPECT_TRUE(area.contains(outer))
                << at << " " << Show(outer) << " leaves " << Show(area);
            if (auto* label = qobject_cast<CGradientLabel*>(w)) {
                CheckLabel(at, *label);
                const QString text = QString::fromStdWString(label->Text());
                EXPECT_FALSE(text.contains(bareId)) << at;
                for (auto m = quoted.globalMatch(text); m.hasNext();) {
                    const QRegularExpressionMatch q = m.next();
                    const QString name = q.captured(1) + q.captured(2) + q.captured(3);
                    EXPECT_TRUE(captions.contains(name.trimmed()))
                        << at << " names \"" << name.toStdString() << "\", no button of the screen";
                }
            } else if (auto* button = qobject_cast<CVEKButton*>(w)) {
                const QString caption =
                    QString::fromStdWString(button->Caption(controls::kStateNormal));
                const QRect room = button->CaptionRect(controls::kStateNormal);
                const QFontMetrics fm(button->CaptionFont(controls::kStateNormal));
                EXPECT_LE(fm.horizontalAdvance(caption), room.width())
                    << at << " caption \"" << caption.toStdString() << "\"";
                EXPECT_LE(fm.height(), room.height()) << at;
                EXPECT_FALSE(caption.contains(bareId)) << at;
                // A skin drawn at another size than its button's is stretched, and blurs.
                for (int state : {controls::kStateNormal, controls::kStatePushed,
                                  controls::kStateHot, controls::kStateDisabled}) {
                    const QSize skin = button->BitmapSize(state);
                    EXPECT_TRUE(skin.isEmpty() || skin == button->size())
                        << at << " state " << state << " skin " << skin.width() << "x"
                        << skin.height() << " on " << Show(button->geometry());
                }
            } else if (auto* list = qobject_cast<QListWidget*>(w)) {
                const QFontMetrics fm(list->font());
                for (int i = 0; i < list->count(); ++i)
                    EXPECT_LE(fm.horizontalAdvance(list->item(i)->text()),
                              list->viewport()->width() - 2 * list->spacing())
                        << at << " item \"" << list->item(i)->text().toStdString() << "\"";
            } else if (auto* picture = qobject_cast<AnimatedPicture*>(w);
                       picture && picture->IsLoaded()) {
                // Drawn from the control's corner at its own size: what is outside is cut.
                const QSize size = picture->PictureSize();
                EXPECT_TRUE(size.width() <= w->width() && size.height() <= w->height())
                    << at << " picture " << size.width() << "x" << size.height() << " in "
                    << Show(w->geometry());
                // The keyboard's key caps are read at arm's length.
                if (where.find("StateGuiKeyBoard") != std::string::npos &&
                    id == ids::kRightPicture) {
                    EXPECT_GE(size.width(), 600) << at;
                }
            }
        }
        if (!pictures.empty()) {
            fs::create_directories(pictures);
            view->grab().save(QString::fromStdString(pictures + "/" + where + ".png"));
        }
    }

    void CheckLabel(const std::string& at, const CGradientLabel& label) {
        const std::wstring& text = label.Text();
        if (text.empty())
            return;
        const QFontMetrics fm(label.LabelFont());
        const controls::MeasureFn measure = controls::FontMeasure(label.LabelFont());
        const std::vector<std::wstring> lines =
            controls::SplitLabelLines(text, label.width(), measure);
        EXPECT_LE(int(lines.size()) * fm.height(), label.height())
            << at << " \"" << Text(text) << "\" takes " << lines.size() << " lines in "
            << label.height() << " pixels";
        // A word wider than the label is cut inside.
        std::wistringstream words(text);
        for (std::wstring word; words >> word;)
            EXPECT_LE(measure(word), label.width()) << at << " word \"" << Text(word) << "\"";
        EXPECT_EQ(text.find(L"%1"), std::wstring::npos) << at << " \"" << Text(text) << "\"";
    }

    FakeHost host;
    std::unique_ptr<QWidget> window;
    CQVAppView* view = nullptr;
    std::string pictures;
};

}  // namespace

TEST_F(ShippedScreens, FitTheirPanelsInEveryLanguage) {
    int built = 0;
    for (const Mode& mode : kModes) {
        UseMode(mode);
        const std::string picturesFile =
            std::string("config/") + mode.prefix + "/" + mode.prefix + "_pictures.ini";
        std::vector<std::string> screens;
        std::istringstream in(host.tree.Read(picturesFile));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.size() > 2 && line[0] == '[' && line.back() == ']' &&
                line != "[Initialisation]")
                screens.push_back(line.substr(1, line.size() - 2));
        }
        ASSERT_FALSE(screens.empty()) << mode.prefix;
        for (int language = 0; language < LanguageCount(); ++language) {
            host.translator.LoadLanguage(ResolvedLanguageCode(language).c_str());
            ApplyLanguageFonts(language, StartupFontDefaults());
            FillContext(language);
            for (const std::string& screen : screens) {
                std::string state = screen;
                for (const auto& [s, st] : mode.states)
                    if (s == screen)
                        state = st;
                const std::string background = Narrow(
                    ReadProfileString(host.files.pictures, Widen(screen), L"Background", L"", 199));
                // The end screen once with the configuration applied, once without.
                for (int analysis :
                     screen == "StateEnd3" ? std::vector<int>{0, 3} : std::vector<int>{0}) {
                    host.context.SetInt(ctx::kAnalyseState, 1, analysis);
                    Build(screen, state);
                    Check(StrFormat("%s-%d-%s%s", mode.prefix, language, screen.c_str(),
                                    analysis ? "-failed" : ""),
                          background);
                    ++built;
                }
            }
        }
    }
    EXPECT_GE(built, 8 * 20);
}

TEST(ShippedPanels, AreFoundWhereTheBackgroundDrawsThem) {
    QImage image(200, 160, QImage::Format_RGB32);
    image.fill(qRgb(40, 60, 90));
    for (int x = 0; x < 200; ++x)
        image.setPixel(x, 20, qRgb(250, 250, 250));
    for (int y = 30; y < 150; ++y) {
        image.setPixel(10, y, qRgb(250, 250, 250));
        image.setPixel(189, y, qRgb(250, 250, 250));
    }
    const std::optional<Areas> areas = FindAreas(image);
    ASSERT_TRUE(areas);
    EXPECT_EQ(areas->header, QRect(0, 0, 200, 20));
    EXPECT_EQ(areas->panel, QRect(10, 30, 180, 120));
    image.fill(qRgb(40, 60, 90));
    EXPECT_FALSE(FindAreas(image));
}
