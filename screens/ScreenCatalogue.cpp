#include "screens/ScreenCatalogue.h"

#include "automate/ContextNames.h"
#include "screens/ControlIds.h"

namespace screens {

namespace {

ScreenSetup Kind(SetupKind kind, std::vector<int> editIds = {}) {
    ScreenSetup setup;
    setup.kind = kind;
    setup.editIds = std::move(editIds);
    return setup;
}

// A choice screen: the first choice, or the one its property keeps, shown chosen.
ScreenSetup Preselect(const char* choiceProperty, const char* captionProperty = nullptr) {
    ScreenSetup setup = Kind(SetupKind::PreselectFirstChoice);
    setup.choiceProperty = choiceProperty;
    setup.captionProperty = captionProperty;
    return setup;
}

ScreenSetup Languages(bool reconfiguration) {
    ScreenSetup setup = Kind(SetupKind::LanguageButtons);
    setup.reconfiguration = reconfiguration;
    return setup;
}

ScreenSetup Connection(const char* pictureFormat, const char* logLine, const char* missingLine) {
    ScreenSetup setup = Kind(SetupKind::ConnectionPicture);
    setup.pictureFormat = pictureFormat;
    setup.pictureLogLine = logLine;
    setup.missingPictureLine = missingLine;
    return setup;
}

std::vector<ScreenRules> BuildCatalogue() {
    using ids::kFirstChoice;
    std::vector<int> pdvLabels;
    for (int id = 1042; id <= 1056; ++id)
        pdvLabels.push_back(id);
    return {
        {{"StateLanguage"},
         SaveRow{"Language", kFirstChoice, SaveRule::LanguageInstall},
         Languages(false),
         std::nullopt},
        {{"StateLanguageR"},
         SaveRow{"LanguageReconf", kFirstChoice, SaveRule::LanguageReconf},
         Languages(true),
         std::nullopt},
        {{"StateGuiAskKeyBoard"},
         SaveRow{"GuiAskKeyBoard", kFirstChoice, SaveRule::KeyboardChoice},
         Preselect(ctx::kAskKeyboardButton),
         std::nullopt},
        {{"StateGuiKeyBoard"}, std::nullopt, Kind(SetupKind::KeyboardPicture), std::nullopt},
        {{"StateCountryChoice"},
         SaveRow{"CountryChoice", 0, SaveRule::Country},
         Kind(SetupKind::CountryList),
         std::nullopt},
        {{"StateInstallationType"},
         SaveRow{"InstallationType", kFirstChoice, SaveRule::InstallationType},
         Preselect(ctx::kInstallationTypeButton, ctx::kInstallationTypeLabel),
         std::nullopt},
        {{"StateInstallationTypeQV"},
         SaveRow{"InstallationTypeQV", kFirstChoice, SaveRule::InstallationTypeQV},
         Preselect(ctx::kInstallationTypeButton, ctx::kInstallationTypeLabel),
         std::nullopt},
        {{"StateChoiceTradeMark"},
         SaveRow{"ChoiceTradeMark", kFirstChoice, SaveRule::TradeMark},
         Preselect(ctx::kTradeMarkButton, ctx::kTradeMarkLabel),
         std::nullopt},
        {{"StateChoicePC"},
         SaveRow{"StateChoicePC", 0, SaveRule::PcModel},
         Preselect(ctx::kPcModelButton, ctx::kPcModelLabel),
         std::nullopt},
        {{"StateChoiceBorne"},
         SaveRow{"StateChoiceBorne", 1008, SaveRule::ChoiceBorne},
         Preselect(ctx::kBorneButton, ctx::kBorneLabel),
         std::nullopt},
        {{"StateConnectRouterPC", "StateConnectRouterPCVerif"},
         std::nullopt,
         Connection("..\\pictures\\%SconnectRouter.gif",
                    "Picture 1501 updated with xxxConnectRouter.gif",
                    "StateConnectRouterPC, widget 1501 not found"),
         std::nullopt},
        {{"StateConnectRouterModemAction"},
         std::nullopt,
         Connection("..\\pictures\\%SConnectBorneRouter.gif",
                    "Picture 1501 updated with xxxConnectBorneRouter.gif",
                    "StateConnectRouterModem, widget 1501 not found"),
         std::nullopt},
        {{"StateConnectBornePC"},
         std::nullopt,
         Connection("..\\pictures\\%SConnectBorne.gif",
                    "Picture 1501 updated with xxxConnectBorne.gif",
                    "StateConnectBornePC, widget 1501 not found"),
         std::nullopt},
        {{"StatePPD1"},
         std::nullopt,
         Connection("..\\pictures\\%SConnexionICV.gif", "Picture 1501 updated with %S",
                    "PPD1, widget 1501 not found"),
         std::nullopt},
        {{"StateConfProxy"},
         std::nullopt,
         Kind(SetupKind::PasswordEdits, {1101}),
         ColourRow{ctx::kProxyInvalidData, {1042, 1043, 1045, 1046, 1047, 1048}}},
        {{"StateInfo2", "StateInfo2b", "StateErrInfo2"},
         std::nullopt,
         Kind(SetupKind::PasswordEdits, {1102}),
         ColourRow{ctx::kPpsInvalidData, {1042, 1043, 1045, 1046}}},
        // Postcodes and phone numbers take letters, '+' and spaces in some countries: the setup
        // plug-in checks them by the country's rule.
        {{"StateQvInfoPdv"},
         std::nullopt,
         Kind(SetupKind::None),
         ColourRow{ctx::kPdvInvalidData, pdvLabels}},
        {{"StateSummary"}, std::nullopt, Kind(SetupKind::Summary), std::nullopt},
        {{"StateApplying"}, std::nullopt, Kind(SetupKind::ApplyProgress), std::nullopt},
        {{"StateEnd3"}, std::nullopt, Kind(SetupKind::EndResult), std::nullopt},
    };
}

}  // namespace

const std::vector<ScreenRules>& ScreenCatalogue() {
    static const std::vector<ScreenRules> catalogue = BuildCatalogue();
    return catalogue;
}

const ScreenRules* FindScreenRules(std::string_view screen) {
    for (const ScreenRules& rules : ScreenCatalogue()) {
        for (std::string_view name : rules.screens) {
            if (name == screen)
                return &rules;
        }
    }
    return nullptr;
}

const SaveRow* FindSaveRow(std::string_view state) {
    for (const ScreenRules& rules : ScreenCatalogue()) {
        if (rules.save && state == rules.save->state)
            return &*rules.save;
    }
    return nullptr;
}

}  // namespace screens
