#pragma once
// A runtime tree with a screen-side context that declares the properties the screens use, a
// logger on the tree's log set, and writers for language.ini, the translation file and the
// country table.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "automate/AutomateContext.h"
#include "base/Log.h"
#include "base/Profile.h"
#include "platform/Paths.h"
#include "services/LanguageConfig.h"
#include "tests/support/TempTree.h"

class ScreensTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(context.Initialize(), 0);
        const std::pair<const char*, const char*> ints[] = {
            {"LastEvent", "INT"},        {"InstallationType", "INT"}, {"TradeMark", "INT"},
            {"KeyboardIndex", "INT"},    {"AnalyseState", "INT"},     {"TypeBorne", "STRING"},
            {"ID_LANG", "STRING"},       {"PCModelType", "STRING"},   {"CodePays", "STRING"},
            {"InvalidReason", "STRING"}, {"InvalidField", "INT"},     {"ApplyStep", "STRING"},
            {"ApplyStepNumber", "INT"},  {"ApplyStepCount", "INT"},   {"ApplyFailedStep", "STRING"},
        };
        for (const auto& [name, type] : ints)
            ASSERT_EQ(context.addPropertiesContext(name, type, 1), 0) << name;
        ASSERT_EQ(context.addPropertiesContext("PCModelTypeMatching", "STRING", 2), 0);
        for (const char* name : {"KeyboardLabel", "InstallationTypeLabel", "TradeMarkLabel",
                                 "PCModelLabel", "BorneLabel", "ProxyHost", "ProxyPort",
                                 "RaisonSociale", "Adresse", "CodePostal", "Ville"})
            ASSERT_EQ(context.addPropertiesContext(name, "VOID", 1), 0) << name;
        ASSERT_EQ(context.addPropertiesContext("ProxyInvalidData", "INT", 6), 0);
        ASSERT_EQ(context.addPropertiesContext("PPSInvalidData", "INT", 4), 0);
        ASSERT_EQ(context.addPropertiesContext("PdvInvalidData", "INT", 15), 0);
        platform::SetProgramDirectory(tree.Bin());
    }
    void TearDown() override {
        context.ReleaseValues();
        platform::SetProgramDirectory("");
        ClearProfileCache();
        SetCurrentTextFont({});
    }

    void WriteLanguages(const std::string& entries) {
        tree.Write("config/language.ini", "[LANGUAGE]\n" + entries);
        tree.Write("config/VEKplugins.ini", "[VEKFoundationServices]\nIndexDefaultLangue=0\n");
        ClearProfileCache();
    }
    // entries: <TraductionElement> elements.
    void WriteTranslations(const std::string& entries) {
        tree.Write("config/trad/VEK_Trad.xml",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<T>\n" + entries + "</T>\n");
    }
    static std::string Entry(const char* id, const char* code, const char* text) {
        return std::string("<TraductionElement id=\"") + id + "\"><Lang codeKSO=\"" + code + "\">" +
               text + "</Lang></TraductionElement>\n";
    }

    std::string LogText() const { return tree.Read("Log/1_QV.log"); }
    // Lines of the log that end with "(LEVEL) text".
    int LogCount(const char* level, std::string_view text) const {
        const std::string needle = std::string("(") + level + ") " + std::string(text) + "\r\n";
        const std::string all = LogText();
        int n = 0;
        for (size_t at = all.find(needle); at != std::string::npos; at = all.find(needle, at + 1))
            ++n;
        return n;
    }

    int Int(const char* name, int occurrence = 1) {
        int32_t v = -12345;
        context.GetInt(name, occurrence, &v);
        return v;
    }
    std::string String(const char* name, int occurrence = 1) {
        char buffer[CAutomateContext::kStringBufferBytes] = "";
        context.GetString(name, occurrence, buffer);
        return buffer;
    }

    TempTree tree;
    CAutomateContext context{"QV.log", LOG_DEBUG};
    CLog log{std::string("..\\Log\\"), std::string("QV.log"), kLogSizeKb,
             std::string("QVScreens"), kLogFileCount,         LOG_DEBUG};
};
