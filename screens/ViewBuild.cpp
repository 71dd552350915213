// Building a screen: settings file and pictures, configured buttons, labels and combo boxes,
// then the steps of data capture and per-screen set-up; and the once-per-run loading of the
// operator's fonts and translations.
#include <QAbstractItemView>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "controls/AnimatedPicture.h"
#include "controls/GradientLabel.h"
#include "controls/SkinControls.h"
#include "controls/VEKButton.h"
#include "platform/Paths.h"
#include "screens/ControlIds.h"
#include "screens/QVAppView.h"
#include "screens/ScreenProfiles.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"
#include "xmlgui/DialogForm.h"

using controls::SkinComboBox;

namespace {

constexpr uint32_t kTitleColour = 0x333333;
constexpr int kButtonFontHeight = 24;
constexpr int kComboVisibleItems = 10;
constexpr size_t kMaxPictureLinkChars = 199;

QString NativeQPath(const std::wstring& path) {
    return QString::fromStdString(platform::NativePath(Narrow(path)));
}

}  // namespace

QString CQVAppView::Face(const std::wstring& face) {
    return xmlgui::ResolveFontFamily(QString::fromStdWString(face));
}

int CQVAppView::SetViewInterface() {
    CLog& log = host_.Log();
    const std::string& screen = screen_;
    log.Debug(StrFormat("Begin SetViewInterface for %s", screen.c_str()));
    if (!screen.empty()) {
        char pathGui[CAutomateContext::kStringBufferBytes] = "";
        if (CAutomateContext* context = host_.RefreshContext())
            context->GetString(ctx::kPathGui, 1, pathGui);
        const std::string file = screens::SettingsFilePath(pathGui, screen);
        {
            std::unique_ptr<XmlDocument> doc = screens::newParser(file, &log);
            screens::ParseScreenSettings(doc.get(), &settings_, &log, file);
            SetAllPictures(doc.get());
        }
        SetAllButtons();
        SetAllLabels(screen);
        SetEditInformations(screen);
        ManageColor(screen);
        SetupStateScreen(screen);
        // The layout adaptation moved the buttons after their skins were cut.
        for (CVEKButton* button : configuredButtons_)
            button->FitSkinToButton();
        FocusFirstTabStop();
        host_.SetScreenBuilding(false);
        built_ = true;
    }
    log.Debug(StrFormat("End SetViewInterface for %s", screen.c_str()));
    return 0;
}

void CQVAppView::FocusFirstTabStop() {
    // A screen of buttons alone gets no focus from its set-up; without one the keys would reach
    // no control, so the first control that takes the focus from the keyboard gets it, as the
    // dialog manager gives it on the original platform.
    if (focusWidget())
        return;
    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && xmlgui::ControlId(w) >= 0 && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            !w->isHidden()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

int CQVAppView::SetAllPictures(const XmlDocument* doc) {
    std::vector<screens::PictureLink> links;
    const int rc = screens::PictureLinks(doc, &links, &host_.Log());
    for (const screens::PictureLink& link : links) {
        auto* picture = ControlAs<AnimatedPicture>(link.id);
        if (!picture)
            continue;
        const std::wstring path = Widen(link.link).substr(0, kMaxPictureLinkChars);
        if (picture->LoadFile(NativeQPath(path)))
            picture->Start();
    }
    return rc;
}

int CQVAppView::SetAllButtons() {
    configuredButtons_.clear();
    // The buttons' skins are cut out of the background: without one there is nothing to build.
    const QImage* background = Background();
    if (!background)
        return 0;
    const std::string& pictures = host_.Files().pictures;
    const QString buttonFace = Face(CurrentTextFont().buttonFace);
    for (int n = 1;; ++n) {
        std::optional<screens::ButtonEntry> entry = screens::ReadButtonEntry(pictures, screen_, n);
        if (!entry)
            break;
        auto* button = ControlAs<CVEKButton>(entry->id);
        if (!button)
            continue;
        if (entry->trad) {
            std::wstring text = host_.Translator().GetTraduction(entry->trad->c_str());
            button->SetCaptions(text.empty() ? *entry->trad : text, true);
        }
        // A translated caption is drawn over the skin, so the theme's buttons keep both.
        if (entry->hasBitmaps) {
            button->SetBitmaps(NativeQPath(entry->normal), false, NativeQPath(entry->pushed),
                               NativeQPath(entry->over),
                               entry->disabled.empty() ? QString() : NativeQPath(entry->disabled));
            button->MatchCaptionsToBitmaps();
        }
        button->SetFontFaces(buttonFace, true);
        button->SetFontHeights(kButtonFontHeight, true);
        button->SetCheckMode(false);
        button->SetEdgeWidths(0, true, 0, 0, 0);
        button->SetEdgeStyles(controls::kEdgeFlat, false, controls::kEdgeSunken,
                              controls::kEdgeRaised, controls::kEdgeFlat);
        button->SetBitmapShift(false, true);
        button->SetButtonType(controls::kTypeRadio, false);
        button->BuildSkin(background, 0, controls::kLayerNoFocus);
        configuredButtons_.push_back(button);
    }
    return 0;
}

int CQVAppView::SetAllLabels(const std::string& screen) {
    CLog& log = host_.Log();
    log.Debug(StrFormat("Begin SetAllLabels for %s", screen.c_str()));
    if (!screen.empty()) {
        const screens::ScreenFiles& files = host_.Files();
        const TextFont& font = CurrentTextFont();
        for (int n = 1;; ++n) {
            log.Debug(StrFormat("Searching IdCompo.%d in [%s] of %s", n, screen.c_str(),
                                files.labels.c_str()));
            std::optional<screens::LabelEntry> entry =
                screens::ReadLabelEntry(files.labels, screen, n);
            if (!entry)
                break;
            auto* label = ControlAs<CGradientLabel>(entry->id);
            if (!label) {
                log.Debug(StrFormat("Widget %d not found", entry->id));
                continue;
            }
            if (entry->id == screens::ids::kTitleLabel) {
                label->SetFont(Face(font.face), font.height + entry->extraHeight + 3, 700);
                label->SetTextColor(kTitleColour);
            } else {
                label->SetFont(Face(font.face), font.height + entry->extraHeight, font.weight);
                label->SetTextColor(0);
            }
            label->SetTransparent(true);
            label->SetText(
                screens::LabelText(host_.Translator().GetTraduction(entry->trad.c_str()), *entry));
            log.Debug(StrFormat("Widget %d-%d updated", n, entry->id));
        }

        int data = 1;
        for (int n = 1;; ++n) {
            std::optional<screens::ComboEntry> entry =
                screens::ReadComboEntry(files.comboBox, screen, n);
            if (!entry)
                break;
            auto* combo = ControlAs<SkinComboBox>(entry->id);
            if (!combo)
                continue;
            if (combo->count() == 0) {
                // Items stay in the file's order; the list scrolls.
                combo->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
                combo->SetFont(Face(font.face), font.height, 400);
                data = 1;
            }
            combo->SetVisibleItems(kComboVisibleItems);
            combo->addItem(
                QString::fromStdWString(host_.Translator().GetTraduction(entry->trad.c_str())),
                data);
            ++data;
            log.Debug(StrFormat("Combobox %d-%d updated", n, entry->id));
        }
        host_.SetScreenBuilding(false);
    }
    log.Debug(StrFormat("End SetAllLabels for %s", screen.c_str()));
    return 0;
}

int CQVAppView::LoadTraductions(const char*) {
    if (host_.TranslationsLoaded())
        return 0;
    CLog& log = host_.Log();
    char idLang[CAutomateContext::kStringBufferBytes] = "";
    if (CAutomateContext* context = host_.RefreshContext())
        context->GetString(ctx::kIdLang, 1, idLang);
    if (idLang[0] != '\0') {
        std::string code = ResolvedLanguageCode(std::string_view(idLang));
        log.Info(StrFormat("Load traductions [%s=%s]", idLang, code.c_str()));
        if (host_.Translator().LoadLanguage(code.c_str()) < 0 &&
            !host_.Translator().LastError().empty())
            log.Err("Cannot load the translations: " + host_.Translator().LastError());
        int index = LanguageIndex(std::string_view(idLang));
        log.Info(StrFormat("ID LANG=[%d]", index));
        ApplyLanguageFonts(index, StartupFontDefaults());
    }
    host_.SetTranslationsLoaded();
    log.Info("Traductions loaded");
    return 0;
}
