// The set-up particular to a screen, after its fields are filled: the layout adapted to the
// dialog font, then what the screen's name calls for.
#include <unistd.h>

#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "controls/AnimatedPicture.h"
#include "controls/GradientLabel.h"
#include "controls/SkinControls.h"
#include "controls/VEKButton.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "screens/ControlIds.h"
#include "screens/ControlKind.h"
#include "screens/QVAppView.h"
#include "screens/StateSetup.h"
#include "services/LanguageConfig.h"
#include "xmlgui/DialogForm.h"

using controls::SkinEdit;
using controls::SkinListBox;

namespace {

namespace ids = screens::ids;
// Windows' ANSI character set: the metrics line keeps its meaning for the log's readers.
constexpr int kAnsiCharSet = 0;
const wchar_t kListFace[] = L"Arial Unicode MS";
constexpr int kListHeight = 24;
constexpr int kListWeight = 24;

}  // namespace

bool CQVAppView::ShowAgain(const std::string& screen) {
    if (!built_ || screen != screen_ ||
        screens::ScreenSetupFor(screen).kind != screens::SetupKind::ApplyProgress)
        return false;
    for (const auto& [id, control] : controls_) {
        const screens::ControlKind kind = screens::KindOfControl(id);
        if (kind != screens::ControlKind::Label && kind != screens::ControlKind::Picture)
            return false;
    }
    CAutomateContext* context = host_.RefreshContext();
    if (!context)
        return false;
    ShowApplyProgress(*context);
    host_.Log().Debug(StrFormat("Screen %s shown again in its view", screen.c_str()));
    shown_ = false;
    update();
    return true;
}

void CQVAppView::ShowApplyProgress(CAutomateContext& context) {
    if (auto* label = ControlAs<CGradientLabel>(ids::kResultLabel)) {
        // Over the panel, not in a box of its own.
        label->SetTransparent(true);
        label->SetText(screens::ApplyProgressText(context, host_.Translator()));
    }
}

int CQVAppView::SetupStateScreen(const std::string& screen) {
    AdaptLayoutToFont();
    CAutomateContext* context = host_.RefreshContext();
    CLog& log = host_.Log();
    if (!context)
        return 0;
    const screens::ScreenSetup setup = screens::ScreenSetupFor(screen);
    switch (setup.kind) {
        case screens::SetupKind::None:
            break;
        case screens::SetupKind::ConnectionPicture: {
            const bool has = ControlAs<AnimatedPicture>(ids::kRightPicture) != nullptr;
            if (auto path = screens::ConnectionPicture(setup, has, *context, log))
                ShowPicture(ids::kRightPicture, *path);
            break;
        }
        case screens::SetupKind::PreselectFirstChoice:
            if (auto* button = ControlAs<CVEKButton>(screens::PreselectedChoice(
                    setup, *context, [this](int id) { return ControlAs<CVEKButton>(id); }))) {
                button->Latch();
                button->setFocus(Qt::OtherFocusReason);
                button->SetCheckMode(true, ControlAs<AnimatedPicture>(ids::kLeftPicture),
                                     ControlAs<AnimatedPicture>(ids::kRightPicture));
            }
            break;
        case screens::SetupKind::PasswordEdits:
            for (int id : setup.editIds) {
                if (auto* edit = ControlAs<QLineEdit>(id))
                    edit->setEchoMode(QLineEdit::Password);
            }
            break;
        case screens::SetupKind::DigitsOnlyEdits:
            for (int id : setup.editIds) {
                if (auto* edit = ControlAs<SkinEdit>(id))
                    edit->SetDigitsOnly(true);
            }
            break;
        case screens::SetupKind::EndResult:
            for (const auto& [id, text] : screens::EndResultTexts(*context, host_.Translator(),
                                                                  host_.Files().labels, screen)) {
                if (auto* label = ControlAs<CGradientLabel>(id))
                    label->SetText(text);
            }
            break;
        case screens::SetupKind::ApplyProgress:
            ShowApplyProgress(*context);
            break;
        case screens::SetupKind::CountryList:
            if (auto* list = ControlAs<SkinListBox>(ids::kCountryList)) {
                list->SetFont(Face(kListFace), kListHeight, kListWeight);
                list->clear();
                const screens::CountryListing listing =
                    screens::CountryListFor(*context, host_.Translator(), log);
                for (const std::wstring& name : listing.names)
                    list->addItem(QString::fromStdWString(name));
                if (listing.initialRow >= 0 && listing.initialRow < list->count()) {
                    list->setCurrentRow(listing.initialRow);
                    list->scrollToItem(list->currentItem(), QAbstractItemView::PositionAtCenter);
                }
            }
            break;
        case screens::SetupKind::KeyboardPicture: {
            const int32_t before = [&] {
                int32_t v = 0;
                context->GetInt(ctx::kKeyboardIndex, 1, &v);
                return v;
            }();
            const int index = screens::CorrectKeyboardIndex(*context);
            // The corrected index is what the keyboard service reads next.
            if (index != before)
                host_.PublishContext();
            if (ControlAs<AnimatedPicture>(ids::kRightPicture))
                ShowPicture(ids::kRightPicture, screens::KeyboardPicturePath(index));
            break;
        }
        case screens::SetupKind::Summary:
            ShowSummary(*context);
            break;
        case screens::SetupKind::LanguageButtons:
            if (Control(ids::kFirstChoice))
                SetupLanguageButtons(setup.reconfiguration);
            break;
    }
    return 0;
}

void CQVAppView::ShowSummary(CAutomateContext& context) {
    const std::vector<screens::SummaryLine> lines =
        screens::SummaryLines(context, host_.Translator());
    const TextFont& font = CurrentTextFont();
    const QString face = Face(font.face);
    const int rows = ids::kSummaryCaptions.last - ids::kSummaryCaptions.first + 1;
    for (int i = 0; i < rows; ++i) {
        auto* caption = ControlAs<CGradientLabel>(ids::kSummaryCaptions.first + i);
        auto* value = ControlAs<CGradientLabel>(ids::kSummaryValues.first + i);
        const bool shown = i < static_cast<int>(lines.size());
        for (CGradientLabel* label : {caption, value}) {
            if (!label)
                continue;
            label->setVisible(shown);
            label->SetTransparent(true);
            label->SetTextColor(controls::kBlack);
            label->SetFont(face, font.height, label == value ? 700 : font.weight);
        }
        if (shown && caption)
            caption->SetText(lines[static_cast<size_t>(i)].caption);
        if (shown && value)
            value->SetText(lines[static_cast<size_t>(i)].value);
    }
}

void CQVAppView::ShowPicture(int id, const std::string& path) {
    if (auto* picture = ControlAs<AnimatedPicture>(id)) {
        if (picture->LoadFile(QString::fromStdString(platform::NativePath(path))))
            picture->Start();
    }
}

void CQVAppView::AdaptLayoutToFont() {
    CLog& log = host_.Log();
    const xmlgui::DialogBaseUnits units = xmlgui::BaseUnits(font());
    const std::optional<double> multY =
        screens::PlanLayoutAdaptation(kAnsiCharSet, QFontMetrics(font()).maxWidth(), units.y, log);
    if (!multY)
        return;
    for (int id = ids::kLayout.first; id <= ids::kLayout.last; ++id) {
        QWidget* w = Control(id);
        if (!w)
            continue;
        const QRect r = w->geometry();
        const screens::VerticalSpan span =
            screens::ScaleVerticalSpan(id, {r.top(), r.top() + r.height()}, *multY);
        w->setGeometry(r.left(), span.top, r.width(), std::max(0, span.bottom - span.top));
        w->update();
    }
}

void CQVAppView::SetupLanguageButtons(bool reconfiguration) {
    CAutomateContext* context = host_.RefreshContext();
    char idLang[CAutomateContext::kStringBufferBytes] = "";
    if (context)
        context->GetString(ctx::kIdLang, 1, idLang);
    const std::vector<screens::LanguageButton> plan = screens::PlanLanguageButtons(
        reconfiguration, idLang, [this](int id) { return ControlAs<CVEKButton>(id) != nullptr; });
    if (LanguageCount() == 0) {
        // An operator with no language to choose is stuck: the log says which file and why.
        const std::string path = platform::NativePath(LanguageFilePath());
        std::string why;
        const int fd = platform::OpenRegularFile(path, &why);
        if (fd >= 0)
            ::close(fd);
        why = path + ": " + (fd >= 0 ? std::string("it names no language") : why);
        host_.Log().Err("No language to choose: " + why);
    }
    CVEKButton* current = nullptr;
    for (const screens::LanguageButton& entry : plan) {
        auto* button = ControlAs<CVEKButton>(entry.buttonId);
        // The plain look: no pictures, no edges, caption only; all buttons alike but the
        // current language's.
        button->SetBitmaps(QString(), true);
        button->SetCaptions(entry.label, true);
        button->SetFontFaces(Face(entry.face), true);
        button->SetFontHeights(entry.height, true);
        // Pure red reaches 4:1 at most: enough for large bold text only.
        button->SetFontStyles(entry.current ? controls::kFontBold : 0u, true);
        button->SetEdgeWidths(0, true, 0, 0, 0);
        button->SetBitmapShift(false, true);
        button->SetButtonType(controls::kTypeRadio, false);
        button->BuildSkin(Background(), 0, controls::kLayerNoFocus, entry.current);
        button->SetTextColorsAll(entry.current ? controls::kPureRed : controls::kBlack);
        button->SetCheckMode(false);
        if (entry.current)
            current = button;
        languageButtons_.push_back(button);
    }
    if (current)
        current->setFocus(Qt::OtherFocusReason);
}
