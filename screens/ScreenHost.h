#pragma once
// What a screen view needs of the application, declared here so that screens/ never reaches
// into app/: the application implements it, tests hand the view a fake.
#include <string>

class CAutomateContext;
class CQVAppView;
class CLog;
class ZFQTranslator;

namespace screens {

// What a view shows: the screen's name ("Initialisation" for the first, empty view) and its
// dialog file (empty: none).
struct ScreenRequest {
    std::string name;
    std::wstring file;
    // The view on the display that the new one replaces, if any: a background of the same bytes
    // is taken from it instead of decoded again.
    CQVAppView* replacing = nullptr;
};

// The mode's profile files a screen reads (paths relative to the program directory).
struct ScreenFiles {
    std::string pictures;      // backgrounds, configured buttons
    std::string labels;        // labels of each screen
    std::string comboBox;      // combo box items
    std::string infosContext;  // fields filled from the context, per state
    std::string saveContext;   // fields saved into the context, per state
};

class ScreenHost {
  public:
    virtual ~ScreenHost() = default;

    // The application's logger; before start-up and after release one that writes nothing
    // (CLog::Quiet()), so a screen does the same work with or without a log file.
    virtual CLog& Log() = 0;
    virtual ZFQTranslator& Translator() = 0;
    virtual const ScreenFiles& Files() = 0;

    // The screen's context object, loaded with the automaton's current image; null when there
    // is no automaton.
    virtual CAutomateContext* RefreshContext() = 0;
    // Makes what the screen wrote into its context visible to the automaton.
    virtual void PublishContext() = 0;
    // Lets the engine look at once at an event a screen raised.
    virtual void WakeEngine() = 0;

    // No click is being handled, no screen is being built and no view is being switched.
    virtual bool MayRaiseEvents() const = 0;
    virtual bool ViewSwitching() const = 0;
    virtual void SetClickInProgress(bool on) = 0;
    virtual void SetScreenBuilding(bool on) = 0;
    // Fonts and translations of the operator's language are loaded once per run.
    virtual bool TranslationsLoaded() const = 0;
    virtual void SetTranslationsLoaded() = 0;
    // A button that leaves the screen (1001-1006) is pressed, by a click (nChar 0) or the
    // navigation key nChar, before anything is saved: what the operator entered is still there.
    virtual void ScreenLeaving(const CQVAppView& /*view*/, int /*nID*/, unsigned /*nChar*/) {}
    // A built screen painted for the first time.
    virtual void ScreenPainted() {}
};

}  // namespace screens
