// Data capture on a screen: fields filled from the context, invalid entries in red, button
// presses that save what the operator entered and raise the screen's events.
#include <QAbstractButton>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Text.h"
#include "controls/AnimatedPicture.h"
#include "controls/VEKButton.h"
#include "screens/QVAppView.h"

namespace {

constexpr int kValidate = 1001;
constexpr int kLastEventButton = 1006;
constexpr int kFirstChoice = 1007;
constexpr int kLastSpecific = 1039;
constexpr int kLastLanguageButton = 1037;
constexpr int kLastChoiceGroup = 1030;
constexpr int kLeftMarker = 1500;
constexpr int kRightMarker = 1501;
constexpr uint32_t kRed = 255;

bool IsLanguageState(std::string_view state) {
    return state == "Language" || state == "LanguageReconf";
}

}  // namespace

void CQVAppView::OnRangeClickButton(int nID, unsigned nChar) {
    CLog* log = host_.Log();
    CAutomateContext* context = host_.LoadContext();
    char gui[CAutomateContext::kStringBufferBytes] = "";
    char nameState[CAutomateContext::kStringBufferBytes] = "";
    if (context) {
        context->GetString(ctx::kGui, 1, gui);
        context->GetString(ctx::kNameState, 1, nameState);
    }
    if (log)
        log->Debug(StrFormat("OnRangeClickButton : Begin - nID=%d nchar=%u", nID, nChar));
    if (context && host_.MayRaiseEvents() && gui[0] == '\0') {
        host_.SetClickInProgress(true);
        const std::string state = nameState;
        if (nID == kValidate)
            manageSaveData(state);
        else if (IsLanguageState(state))
            HighlightLanguageButton(nID);
        else if (!state.empty() && nID > kLastEventButton)
            SelectChoiceButton(nID);
        int32_t last = 0;
        context->GetInt(ctx::kLastEvent, 1, &last);
        if (last == 0 && nID >= kValidate && nID <= kLastEventButton)
            context->SetInt(ctx::kLastEvent, 1, nID - 1000);
        host_.SetClickInProgress(false);
    }
    if (log)
        log->Debug(StrFormat("OnRangeClickButton : End - nID=%d nchar=%u", nID, nChar));
    if (context) {
        host_.PublishContext();
        host_.WakeEngine();
    }
}

void CQVAppView::HighlightLanguageButton(int pressed) {
    for (int id = kFirstChoice; id <= kLastLanguageButton; ++id) {
        auto* button = ControlAs<CVEKButton>(id);
        if (!button)
            continue;
        if (id == pressed) {
            button->SetCheck(true);
            button->setFocus(Qt::OtherFocusReason);
            button->SetTextColors(kRed, true);
        } else {
            button->SetTextColors(0, true);
        }
        button->update();
    }
}

void CQVAppView::SelectChoiceButton(int pressed) {
    auto* left = ControlAs<AnimatedPicture>(kLeftMarker);
    auto* right = ControlAs<AnimatedPicture>(kRightMarker);
    for (int id = kFirstChoice; id <= kLastChoiceGroup; ++id) {
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
    for (int id = kFirstChoice; id <= kLastSpecific; ++id) {
        auto* button = ControlAs<CVEKButton>(id);
        if (button && (button->GetCheck() || button->isDown()))
            return id;
    }
    return 0;
}

void CQVAppView::manageSaveData(const std::string& state) {
    CLog* log = host_.Log();
    if (log)
        log->Debug(StrFormat("manageSaveData for %s", state.c_str()));
    const int specific = SpecificButton();
    if (specific && log)
        log->Debug(StrFormat("manageSaveData : specific button pushed id=[%d]", specific));
    SaveGeneric(state);
    if (log)
        log->Debug("End manageSaveData");
}

void CQVAppView::SaveGeneric(const std::string&) {}

int CQVAppView::SetEditInformations(const std::string& screen) {
    CLog* log = host_.Log();
    char nameState[CAutomateContext::kStringBufferBytes] = "";
    if (CAutomateContext* context = host_.LoadContext())
        context->GetString(ctx::kNameState, 1, nameState);
    if (nameState[0] != '\0') {
        if (log)
            log->Debug(StrFormat("Begin SetEditInformations for %s", screen.c_str()));
        SetInitialFocus();
    }
    if (log)
        log->Debug(StrFormat("End SetEditInformations - returns %d", 0));
    return 0;
}

int CQVAppView::ManageColor(const std::string& screen) {
    CLog* log = host_.Log();
    if (log)
        log->Debug(StrFormat("Begin ManageColor for %s", screen.c_str()));
    if (log)
        log->Debug(StrFormat("End ManageColor - returns %d", 0));
    return 0;
}
