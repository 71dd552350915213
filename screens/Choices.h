#pragma once
// What the language, country and PC-model screens save when they are validated: the pushed
// language button or list entry turned into context values, the translation table and fonts
// switched to the chosen language, and language and country stored at the point of sale.
// manageSaveData runs these for SaveRule LanguageInstall, LanguageReconf, PcModel and Country.
#include <functional>
#include <string>
#include <string_view>

#include "screens/CountryTable.h"

class CAutomateContext;
class CLog;
class ZFQTranslator;

namespace screens {

// Installation language screen, pushed button k (= B - 1007): ID_LANG becomes "ID_LANG<k>"
// while translations and fonts follow the entry's fallback. Returns the entry whose texts were
// loaded; -1 for a negative k (nothing done).
int SaveInstallationLanguage(int k, CAutomateContext& context, ZFQTranslator& translator,
                             CLog& log);

// Reconfiguration language screen (it shows only entries without a fallback): the (k+1)-th
// such entry becomes the language. Returns that entry; -1 for a negative k (nothing done).
int SaveReconfigurationLanguage(int k, CAutomateContext& context, ZFQTranslator& translator,
                                CLog& log);

// Longest caption taken from the pushed PC model button, and longest model type stored.
inline constexpr size_t kPcCaptionMax = 259;
inline constexpr size_t kPcModelTypeMax = 31;
// Most occurrences of PCModelTypeMatching looked at.
inline constexpr int kPcMatchingMax = 400;

// The model type of the pushed button's caption (empty when none is pushed) from the
// "[FAMILY:TYPE]" entries of PCModelTypeMatching; the upper-cased caption itself when no
// entry names it. Stores it in PCModelType (cut to 31 bytes on a character boundary) and
// returns what was stored.
std::string IdentifyPcModelType(std::wstring_view caption, CAutomateContext& context, CLog& log);

// Stores "LanguePays" (language code then country code) at the point of sale; 0 on success.
using LanguePaysWriter = std::function<int(std::wstring_view language, std::wstring_view country)>;

// A writer that binds a PointServiceClient to the plug-in at pluginPath (the wizard passes
// pointservice::kLibraryPath) with log's settings under "PointServicePlugin". A plug-in that
// cannot be loaded counts as a failure. On a failure, failure (when given) receives what the
// plug-in or the loader said. log and failure must outlive the writer.
LanguePaysWriter PointServiceLanguePaysWriter(std::wstring pluginPath, CLog& log,
                                              std::string* failure = nullptr);

// Why a choice could not be saved, from what the point-of-sale plug-in said: the line that
// tells the operator (a translation ID) and the cause in words for the log.
struct SaveFailure {
    const char* reasonId;
    std::string cause;
};
SaveFailure SaveFailureOf(std::string_view message);

// The country list's state when the country screen is validated.
struct CountrySelection {
    bool hasItems = false;
    std::wstring selectedText;
};

// Country screen: CodePays from the selected country's row of the table and language and
// country written through writer. Returns 0; on any failure logs "Unable to save language and
// country" at ERR, sets LastEvent to -1 and returns -1.
int SaveCountryAndLanguage(const CountrySelection& selection, CAutomateContext& context,
                           ZFQTranslator& translator, CLog& log, const LanguePaysWriter& writer,
                           const std::string& table = kCountryTable);

}  // namespace screens
