// Data capture on a screen: fields filled from the context, invalid entries in red, button
// presses that save what the operator entered and raise the screen's events.
#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <algorithm>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "clients/PointServiceClient.h"
#include "controls/AnimatedPicture.h"
#include "controls/GradientLabel.h"
#include "controls/SkinControls.h"
#include "controls/VEKButton.h"
#include "screens/Choices.h"
#include "screens/ControlIds.h"
#include "screens/DataCapture.h"
#include "screens/QVAppView.h"
#include "screens/StateSetup.h"
#include "services/LanguageConfig.h"
#include "services/Translator.h"

using controls::SkinEdit;

namespace {

namespace ids = screens::ids;
using controls::kBlack;
using controls::kPureRed;
constexpr size_t kMaxSavedChars = 799;
constexpr int kGeneralInfoHeight = 24;
// The language labels of "GeneralInfo" keep the light weight they were designed with.
constexpr int kGeneralInfoWeight = 24;

bool IsLanguageState(std::string_view state) {
    return state == "Language" || state == "LanguageReconf";
}

// The first line of what a widget shows, at most maxChars characters.
std::wstring FirstLine(const QWidget* widget, size_t maxChars) {
    QString text;
    if (auto* edit = qobject_cast<const QLineEdit*>(widget))
        text = edit->text();
    else if (auto* combo = qobject_cast<const QComboBox*>(widget))
        text = combo->currentText();
    else if (auto* list = qobject_cast<const QListWidget*>(widget))
        text = list->currentItem() ? list->currentItem()->text() : QString();
    else if (auto* label = qobject_cast<const CGradientLabel*>(widget))
        text = QString::fromStdWString(label->Text());
    else if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        text = button->text();
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\\r\\n]")));
    std::wstring line = (end < 0 ? text : text.left(end)).toStdWString();
    if (line.size() > maxChars)
        line.resize(maxChars);
    return line;
}

}  // namespace

void CQVAppView::OnRangeClickButton(int nID, unsigned nChar) {
    CLog& log = host_.Log();
    CAutomateContext* context = host_.RefreshContext();
    char gui[CAutomateContext::kStringBufferBytes] = "";
    char nameState[CAutomateContext::kStringBufferBytes] = "";
    if (context) {
        context->GetString(ctx::kGui, 1, gui);
        context->GetString(ctx::kNameState, 1, nameState);
    }
    log.Debug(StrFormat("OnRangeClickButton : Begin - nID=%d nchar=%u", nID, nChar));
    if (context && host_.MayRaiseEvents() && gui[0] == '\0') {
        host_.SetClickInProgress(true);
        const std::string state = nameState;
        bool saved = true;
        if (ids::kEventButtons.Contains(nID))
            host_.ScreenLeaving(*this, nID, nChar);
        if (nID == ids::kValidate)
            saved = manageSaveData(state);
        else if (IsLanguageState(state))
            HighlightLanguageButton(nID);
        else if (!state.empty() && nID > ids::kEventButtons.last)
            SelectChoiceButton(nID);
        int32_t last = 0;
        context->GetInt(ctx::kLastEvent, 1, &last);
        if (saved && last == 0 && ids::kEventButtons.Contains(nID))
            context->SetInt(ctx::kLastEvent, 1, nID - ids::kEventBase);
        host_.SetClickInProgress(false);
    }
    log.Debug(StrFormat("OnRangeClickButton : End - nID=%d nchar=%u", nID, nChar));
    if (context) {
        host_.PublishContext();
        host_.WakeEngine();
    }
}

void CQVAppView::HighlightLanguageButton(int pressed) {
    // The same buttons as the screen's set-up walked.
    for (int id : screens::LanguageButtonIds(
             [this](int b) { return ControlAs<CVEKButton>(b) != nullptr; })) {
        auto* button = ControlAs<CVEKButton>(id);
        if (id == pressed) {
            // Latched, as a click on a radio button: a language button not skinned as one
            // still counts as the pushed choice when the screen is validated.
            button->Latch();
            button->setFocus(Qt::OtherFocusReason);
            button->SetTextColorsAll(kPureRed);
            button->SetFontStyles(controls::kFontBold, true);
        } else {
            button->SetTextColorsAll(kBlack);
            button->SetFontStyles(0u, true);
        }
        button->update();
    }
}

void CQVAppView::SelectChoiceButton(int pressed) {
    auto* left = ControlAs<AnimatedPicture>(ids::kLeftPicture);
    auto* right = ControlAs<AnimatedPicture>(ids::kRightPicture);
    for (int id = ids::kChoiceGroup.first; id <= ids::kChoiceGroup.last; ++id) {
        auto* button = ControlAs<CVEKButton>(id);
        if (!button)
            continue;
        if (id == pressed) {
            button->Latch();
            button->setFocus(Qt::OtherFocusReason);
            button->SetCheckMode(true, left, right);
        } else {
            button->SetCheckMode(false);
        }
    }
}

int CQVAppView::SpecificButton() const {
    for (int id = ids::kChoiceButtons.first; id <= ids::kChoiceButtons.last; ++id) {
        auto* button = ControlAs<CVEKButton>(id);
        if (button && (button->GetCheck() || button->isDown()))
            return id;
    }
    return 0;
}

bool CQVAppView::manageSaveData(const std::string& state) {
    CLog& log = host_.Log();
    log.Debug(StrFormat("manageSaveData for %s", state.c_str()));
    const int specific = SpecificButton();
    if (specific)
        log.Debug(StrFormat("manageSaveData : specific button pushed id=[%d]", specific));
    CAutomateContext* context = host_.RefreshContext();
    const screens::SaveRule rule = screens::ChooseSaveRule(state, specific);
    bool saved = true;
    if (!context) {
        // Nothing to save into.
    } else if (rule == screens::SaveRule::Generic) {
        SaveGeneric(state);
    } else if (screens::ApplySimpleSaveRule(rule, specific, *context)) {
        // A choice button said it all.
    } else {
        saved = SaveChoice(rule, specific, *context, log);
    }
    // Kept so that the screen, shown again, shows this choice.
    if (context && saved && specific) {
        const screens::ScreenSetup setup = screens::ScreenSetupFor(screen_);
        if (setup.choiceProperty)
            context->SetInt(setup.choiceProperty, 1, specific);
        auto* button = ControlAs<CVEKButton>(specific);
        if (setup.captionProperty && button)
            context->SetWide(setup.captionProperty, 1, button->Caption(controls::kStateNormal));
    }
    log.Debug("End manageSaveData");
    return saved;
}

bool CQVAppView::SaveChoice(screens::SaveRule rule, int specific, CAutomateContext& context,
                            CLog& log) {
    ZFQTranslator& translator = host_.Translator();
    switch (rule) {
        case screens::SaveRule::LanguageInstall:
            screens::SaveInstallationLanguage(specific - ids::kFirstChoice, context, translator,
                                              log);
            break;
        case screens::SaveRule::LanguageReconf:
            screens::SaveReconfigurationLanguage(specific - ids::kFirstChoice, context, translator,
                                                 log);
            break;
        case screens::SaveRule::PcModel: {
            auto* button = ControlAs<CVEKButton>(specific);
            screens::IdentifyPcModelType(
                button ? button->Caption(controls::kStateNormal) : std::wstring(), context, log);
            break;
        }
        case screens::SaveRule::Country: {
            screens::CountrySelection selection;
            if (auto* list = ControlAs<QListWidget>(ids::kCountryList)) {
                selection.hasItems = list->count() > 0;
                if (QListWidgetItem* item = list->currentItem())
                    selection.selectedText = item->text().toStdWString();
            }
            std::string failure;
            saveFailure_.clear();
            if (screens::SaveCountryAndLanguage(selection, context, translator, log,
                                                screens::PointServiceLanguePaysWriter(
                                                    pointservice::kLibraryPath, log, &failure)) !=
                0) {
                // The failed save asked for -1, which would end the whole installation as if it
                // had succeeded; the operator stays on the screen, is told why, and can choose
                // again.
                context.SetInt(ctx::kLastEvent, 1, 0);
                if (failure.empty()) {
                    log.Err("Country not saved : the country screen stays");
                    return false;
                }
                // The record refused it: say why, in the operator's language.
                const screens::SaveFailure why = screens::SaveFailureOf(failure);
                saveFailure_ = why.cause;
                ShowSaveFailure(why.reasonId);
                log.Err("Country not saved : the country screen stays (" + why.cause + ")");
                return false;
            }
            break;
        }
        default:
            break;
    }
    return true;
}

void CQVAppView::SaveGeneric(const std::string& state) {
    CAutomateContext* context = host_.RefreshContext();
    if (!context)
        return;
    for (const screens::SaveContextEntry& entry : screens::ReadSaveContext(
             host_.Files().saveContext, state, [this](int id) { return Control(id) != nullptr; }))
        context->SetWide(entry.property.c_str(), 1, FirstLine(Control(entry.id), kMaxSavedChars));
}

int CQVAppView::SetEditInformations(const std::string& screen) {
    CLog& log = host_.Log();
    CAutomateContext* context = host_.RefreshContext();
    char nameState[CAutomateContext::kStringBufferBytes] = "";
    if (context)
        context->GetString(ctx::kNameState, 1, nameState);
    if (nameState[0] != '\0') {
        log.Debug(StrFormat("Begin SetEditInformations for %s", screen.c_str()));
        const TextFont& font = CurrentTextFont();
        const QString face = Face(font.face);
        for (const screens::InfosContextEntry& entry :
             screens::ReadInfosContext(host_.Files().infosContext, nameState)) {
            std::wstring value;
            if (entry.id < ids::kFirstEdit)
                value = screens::ContextLabelText(entry, *context, host_.Translator());
            else
                context->GetWide(entry.property.c_str(), 1, &value);
            // A password is never written to the log.
            const std::string shown =
                IsPasswordField(entry.id, screen) ? std::string(value.size(), '*') : Narrow(value);
            log.Debug(StrFormat("Update widget [%d] with [%s]", entry.id, shown.c_str()));
            FillWidget(entry, value, face, font);
        }
        if (std::string_view(nameState) == screens::kGeneralInfoState)
            ShowGeneralInfoLanguage(*context);
        SetInitialFocus();
    }
    log.Debug(StrFormat("End SetEditInformations - returns %d", 0));
    return 0;
}

void CQVAppView::FillWidget(const screens::InfosContextEntry& entry, const std::wstring& value,
                            const QString& face, const TextFont& font) {
    QWidget* widget = Control(entry.id);
    if (!widget)
        return;
    if (entry.id < ids::kFirstEdit) {
        if (auto* label = qobject_cast<CGradientLabel*>(widget)) {
            label->SetFont(face, font.height, font.weight);
            label->SetTransparent(true);
            // The colour of the other labels: the panels are light.
            label->SetTextColor(kBlack);
            label->SetText(value);
        }
    } else if (entry.id < ids::kComboBoxes.first) {
        if (auto* edit = qobject_cast<SkinEdit*>(widget)) {
            edit->SetFont(face, font.height, 400);
            edit->SetText(value);
            // The size bounds what the operator types: a stored value longer than it is shown
            // and saved back whole. A size of 0 or less sets no limit, as a missing one does.
            if (entry.size && *entry.size > 0)
                edit->SetTypingLimit(*entry.size);
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        const int32_t wanted = ParseDecimal(value);
        for (int i = 0; i < combo->count(); ++i) {
            bool ok = false;
            const int data = combo->itemData(i).toInt(&ok);
            if (ok && data == wanted)
                combo->setCurrentIndex(i);
        }
    }
}

void CQVAppView::ShowGeneralInfoLanguage(CAutomateContext& context) {
    const QString face = Face(L"Arial Unicode MS");
    if (auto* label = ControlAs<CGradientLabel>(ids::kGeneralInfoLanguageLabel)) {
        label->SetText(screens::GeneralInfoLanguageLabel(context));
        label->SetFont(face, kGeneralInfoHeight, kGeneralInfoWeight);
        label->SetTransparent(true);
    }
    if (auto* label = ControlAs<CGradientLabel>(ids::kGeneralInfoSecondLabel)) {
        // The label of the current language as configured, fallback resolved.
        char idLang[CAutomateContext::kStringBufferBytes] = "";
        context.GetString(ctx::kIdLang, 1, idLang);
        label->SetFont(face, kGeneralInfoHeight, kGeneralInfoWeight);
        label->SetTransparent(true);
        label->SetText(ResolvedLanguageLabel(std::string_view(idLang)));
    }
}

bool CQVAppView::IsPasswordField(int id, const std::string& screen) const {
    if (auto* edit = ControlAs<QLineEdit>(id); edit && edit->echoMode() != QLineEdit::Normal)
        return true;
    const screens::ScreenSetup setup = screens::ScreenSetupFor(screen);
    return setup.kind == screens::SetupKind::PasswordEdits &&
           std::find(setup.editIds.begin(), setup.editIds.end(), id) != setup.editIds.end();
}

int CQVAppView::ManageColor(const std::string& screen) {
    CLog& log = host_.Log();
    log.Debug(StrFormat("Begin ManageColor for %s", screen.c_str()));
    if (CAutomateContext* context = host_.RefreshContext()) {
        for (int id : screens::LabelsToPaintRed(screen, *context)) {
            if (auto* label = ControlAs<CGradientLabel>(id))
                label->SetTextColor(kPureRed);
        }
        ShowInvalidEntry(screen, *context);
    }
    log.Debug(StrFormat("End ManageColor - returns %d", 0));
    return 0;
}

void CQVAppView::ShowSaveFailure(const char* reasonId) {
    auto* label = ControlAs<CGradientLabel>(ids::kReasonLabel);
    if (!label)
        return;
    const std::wstring text = host_.Translator().GetTraduction(reasonId);
    const TextFont& font = CurrentTextFont();
    label->SetFont(Face(font.face), font.height, font.weight);
    label->SetTransparent(true);
    label->SetText(text.empty() ? Widen(reasonId) : text);
    label->SetTextColor(kPureRed);
}

void CQVAppView::ShowInvalidEntry(const std::string& screen, CAutomateContext& context) {
    const std::optional<screens::InvalidEntry> invalid = screens::InvalidEntryFor(screen, context);
    auto* label = ControlAs<CGradientLabel>(ids::kReasonLabel);
    if (label)
        label->SetTransparent(true);  // an empty line shows nothing
    if (!invalid)
        return;
    if (label) {
        std::wstring text = host_.Translator().GetTraduction(invalid->reason.c_str());
        const TextFont& font = CurrentTextFont();
        label->SetFont(Face(font.face), font.height, font.weight);
        label->SetTransparent(true);
        label->SetText(text.empty() ? Widen(invalid->reason) : text);
        label->SetTextColor(kPureRed);
    }
    // The operator starts on what is wrong, not on the first field.
    if (QWidget* field = invalid->field ? Control(invalid->field) : nullptr;
        field && field->isEnabled())
        field->setFocus(Qt::OtherFocusReason);
}
