// The screen settings file: navigation rules, widget settings and picture links, with the
// warnings a broken file gives, and files that try to hurt the reader.
#include <gtest/gtest.h>

#include <string>

#include "base/Log.h"
#include "screens/ScreenSettings.h"
#include "tests/support/TempTree.h"

using screens::ScreenSettings;

namespace {

std::string Rule(const std::string& key, int source, int target) {
    return "<key_rule><input><key>" + key + "</key><widget_id>" + std::to_string(source) +
           "</widget_id></input><output><widget_id>" + std::to_string(target) +
           "</widget_id></output></key_rule>";
}

std::string Widget(int id, const std::string& type, const std::string& mandatory = "false",
                   const std::string& link = "") {
    std::string s = "<widget_id><value>" + std::to_string(id) + "</value><widget_type>" + type +
                    "</widget_type>";
    if (!mandatory.empty())
        s += "<widget_mandatory>" + mandatory + "</widget_mandatory>";
    if (!link.empty())
        s += "<external_img_link>" + link + "</external_img_link>";
    return s + "</widget_id>";
}

std::string File(const std::string& rules, const std::string& widgets) {
    return "<settings><key_navigate>" + rules + "</key_navigate><widget_settings>" + widgets +
           "</widget_settings></settings>";
}

class ScreenSettingsTest : public ::testing::Test {
  protected:
    // Parses bytes written as gui/S.config.xml; returns the parse result.
    int Parse(const std::string& bytes) {
        tree.Write("gui/S.config.xml", bytes);
        doc = screens::newParser(path, &log);
        return screens::ParseScreenSettings(doc.get(), &settings, &log, path);
    }
    std::string Log() { return tree.Read("Log/1_T.log"); }

    XmlPlatform platform;
    TempTree tree;
    CLog log{"..\\Log\\", "T.log", 0, "QVApp", 3, LOG_DEBUG};
    std::string path = "..\\gui\\S.config.xml";
    std::unique_ptr<XmlDocument> doc;
    ScreenSettings settings;
};

TEST_F(ScreenSettingsTest, RulesAndWidgetsAreStoredInFileOrder) {
    EXPECT_EQ(Parse(File(Rule("Tab", 1100, 1101) + Rule("return", -1, -1),
                         Widget(1100, "EDIT", "TRUE") + Widget(1001, "BUTTON"))),
              0);
    ASSERT_EQ(settings.rules.size(), 2u);
    EXPECT_EQ(settings.rules[0].key, "Tab");
    EXPECT_EQ(settings.rules[0].source, 1100);
    EXPECT_EQ(settings.rules[0].target, 1101);
    EXPECT_EQ(settings.rules[1].source, -1);
    EXPECT_EQ(settings.rules[1].target, -1);
    ASSERT_EQ(settings.widgets.size(), 2u);
    EXPECT_TRUE(settings.widgets[0].mandatory);
    EXPECT_EQ(settings.widgets[1].type, "BUTTON");
}

TEST_F(ScreenSettingsTest, MandatoryIsTrueInAnyCaseOnly) {
    const struct {
        std::string text;
        bool mandatory;
    } cases[] = {{"true", true}, {"TRUE", true}, {"True", true}, {"yes", false}, {"1", false}};
    for (const auto& c : cases) {
        ASSERT_EQ(Parse(File("", Widget(1100, "EDIT", c.text))), 0) << c.text;
        EXPECT_EQ(settings.widgets.at(0).mandatory, c.mandatory) << c.text;
    }
}

TEST_F(ScreenSettingsTest, AnIncompleteEntryStopsTheParseWithItsWarning) {
    const std::string in = "<input><key>Tab</key><widget_id>1</widget_id></input>";
    const std::string out = "<output><widget_id>2</widget_id></output>";
    const struct {
        std::string bytes;
        const char* warning;
        size_t rules;
        size_t widgets;
    } cases[] = {
        {"<s/>", "None navigation rules in config file", 0, 0},
        {"<s><key_navigate/></s>", "None widget settings in config file", 0, 0},
        {File(Rule("Tab", 1, 2) + "<key_rule>" + out + "</key_rule>", ""), "Tag input Not found", 1,
         0},
        {File("<key_rule>" + in + "</key_rule>", ""), "Tag output Not found", 0, 0},
        {File("<key_rule><input><widget_id>1</widget_id></input>" + out + "</key_rule>", ""),
         "Tag key Not found", 0, 0},
        {File("<key_rule><input><key>Tab</key></input>" + out + "</key_rule>", ""),
         "Tag widget_id input Not found", 0, 0},
        {File("<key_rule>" + in + "<output/></key_rule>", ""), "Tag widget_id output Not found", 0,
         0},
        {File("", Widget(1, "EDIT") + "<widget_id><widget_type>EDIT</widget_type></widget_id>"),
         "None value of widget in config file", 0, 1},
        {File("", "<widget_id><value>3</value></widget_id>"), "None type of widget in config file",
         0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Parse(c.bytes), 1) << c.warning;
        EXPECT_NE(Log().find(std::string("(WARNING) ") + c.warning), std::string::npos)
            << c.warning;
        EXPECT_EQ(settings.rules.size(), c.rules) << c.warning;
        EXPECT_EQ(settings.widgets.size(), c.widgets) << c.warning;
    }
}

TEST_F(ScreenSettingsTest, AMissingMandatoryFlagIsOnlyAWarning) {
    EXPECT_EQ(Parse(File("", Widget(1100, "EDIT", ""))), 0);
    EXPECT_FALSE(settings.widgets.at(0).mandatory);
    EXPECT_NE(Log().find("None Mandatory widget in config file"), std::string::npos);
}

TEST_F(ScreenSettingsTest, NestedElementsAndLeadingDigitsCount) {
    EXPECT_EQ(Parse(File("",
                         "<widget_id><x><value>1100abc</value></x><widget_type>EDIT"
                         "</widget_type><widget_mandatory>true</widget_mandatory>"
                         "</widget_id>")),
              0);
    EXPECT_EQ(settings.widgets.at(0).id, 1100);
}

TEST_F(ScreenSettingsTest, AWidgetWithIdZeroEndsTheTableForItsReaders) {
    ASSERT_EQ(Parse(File("", Widget(1100, "EDIT") + Widget(0, "EDIT") + Widget(1101, "EDIT"))), 0);
    EXPECT_EQ(settings.widgets.size(), 3u);
    EXPECT_NE(settings.FindWidget(1100), nullptr);
    EXPECT_EQ(settings.FindWidget(1101), nullptr);
}

TEST_F(ScreenSettingsTest, TablesKeepTheirCapacityAndCutLongTexts) {
    std::string rules, widgets;
    for (int i = 1; i <= 10000; ++i)
        rules += Rule("Tab", i, i + 1);
    for (int i = 1; i <= 150; ++i)
        widgets += Widget(i, std::string(400, 'E'));
    EXPECT_EQ(Parse(File(rules, widgets)), 0);
    EXPECT_EQ(settings.rules.size(), ScreenSettings::kMaxRules);
    EXPECT_EQ(settings.rules.back().source, 200);
    EXPECT_EQ(settings.widgets.size(), ScreenSettings::kMaxWidgets);
    EXPECT_EQ(settings.widgets[0].type.size(), ScreenSettings::kMaxTextBytes);
    const std::string log = Log();
    EXPECT_NE(log.find("Too many navigation rules in ..\\gui\\S.config.xml : the first 200 are"),
              std::string::npos);
    EXPECT_NE(log.find("the first 100 are kept"), std::string::npos);
}

TEST_F(ScreenSettingsTest, HostileFilesGiveEmptyTablesAndAnErrorLine) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    const std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE s [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
        "<s><key_navigate><key_rule><input><key>&g;</key></input></key_rule></key_navigate></s>";
    for (const std::string& bytes :
         {std::string("<s><key_navigate>"), deep, bomb, std::string("\xff\xfe\x00<")}) {
        EXPECT_EQ(Parse(bytes), 1);
        EXPECT_TRUE(settings.rules.empty());
        EXPECT_TRUE(settings.widgets.empty());
    }
    EXPECT_NE(Log().find("(ERR) File ..\\gui\\S.config.xml not found"), std::string::npos);
}

TEST_F(ScreenSettingsTest, DeeplyNestedValuesAreReadWithoutRecursion) {
    std::string open, close;
    for (int i = 0; i < 100000; ++i) {
        open += "<n>";
        close += "</n>";
    }
    EXPECT_EQ(Parse(File("", "<widget_id><value>" + open + "1100" + close +
                                 "</value><widget_type>EDIT</widget_type></widget_id>")),
              0);
    EXPECT_EQ(settings.widgets.at(0).id, 1100);
}

TEST_F(ScreenSettingsTest, OnlyUpperCasePictureEntriesLinkPictures) {
    Parse(File("", Widget(1500, "PICTURE", "false", "..\\pictures\\a.gif") +
                       Widget(1501, "picture", "false", "..\\pictures\\b.gif") +
                       Widget(1502, "PICTURE")));
    std::vector<screens::PictureLink> links;
    EXPECT_EQ(screens::PictureLinks(doc.get(), &links, &log), 0);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].id, 1500);
    EXPECT_EQ(links[0].link, "..\\pictures\\a.gif");
    EXPECT_NE(Log().find("Found PICTURE widget at Item [0]:value=[1500]-ExternalImgLink=[..\\"
                         "pictures\\a.gif]"),
              std::string::npos);
}

TEST_F(ScreenSettingsTest, PictureLinksStopAtAnIncompleteEntry) {
    Parse(File("", Widget(1500, "PICTURE", "false", "a.gif") +
                       "<widget_id><value>1</value></widget_id>" +
                       Widget(1501, "PICTURE", "false", "b.gif")));
    std::vector<screens::PictureLink> links;
    EXPECT_EQ(screens::PictureLinks(doc.get(), &links, &log), 1);
    EXPECT_EQ(links.size(), 1u);
    EXPECT_NE(Log().find("[value] or [widget_type] tag not found at Item [1]"), std::string::npos);
    links.clear();
    EXPECT_EQ(screens::PictureLinks(nullptr, &links, &log), 1);
    EXPECT_NE(Log().find("(ERR) CQVAppView::SetAllPictures() [widget_settings] tag not Found"),
              std::string::npos);
}

}  // namespace
