#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <xercesc/dom/DOM.hpp>

#include "base/XmlDocument.h"
#include "tests/support/TempTree.h"

TEST(XmlDocument, ParsesAndFindsElementsInDocumentOrder) {
    XmlPlatform platform;
    ASSERT_TRUE(platform.Ok());
    std::string error;
    auto doc = XmlDocument::ParseMemory(
        "<any><x><service><name>S1</name></service></x><name>late</name></any>", &error);
    ASSERT_NE(doc, nullptr) << error;
    auto* name = FirstElementByTag(doc->Root(), "name");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(XmlToNarrow(name->getTextContent()), "S1");
    EXPECT_EQ(FirstElementByTag(doc->Root(), "none"), nullptr);
}

TEST(XmlDocument, RejectsBadInputWithAReason) {
    XmlPlatform platform;
    const std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
        "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
        "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g "
        "\"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "]><l>&g;</l>";
    const std::string inputs[] = {
        "",
        "<a>",
        "<a></b>",
        "\x01\x02\xFF garbage",
        bomb,
        "<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/x.dtd\"><a/>x",
        std::string("<a>\0</a>", 8),
    };
    for (const std::string& in : inputs) {
        std::string error;
        XmlParseOptions options;
        options.createEntityReferenceNodes = false;
        EXPECT_EQ(XmlDocument::ParseMemory(in, &error, options), nullptr) << in.substr(0, 40);
        EXPECT_FALSE(error.empty());
    }
}

TEST(XmlDocument, MissingFileFails) {
    XmlPlatform platform;
    TempTree tree;
    std::string error;
    EXPECT_EQ(XmlDocument::ParseFile("..\\config\\missing.xml", &error), nullptr);
    tree.Write("config/ok.xml", "<r><v>\xC3\xA9</v></r>");
    auto doc = XmlDocument::ParseFile("..\\config\\ok.xml", &error);
    ASSERT_NE(doc, nullptr) << error;
    EXPECT_EQ(XmlToWide(FirstElementByTag(doc->Root(), "v")->getTextContent()), L"\u00e9");
}

TEST(XmlDocument, RefusesLongEntitiesBeforeExpandingThem) {
    XmlPlatform platform;
    // Few references, each to a large entity: within the expansion count, yet gigabytes once
    // expanded. It must fail at the declaration.
    std::string refs;
    for (int i = 0; i < 5000; ++i)
        refs += "&x;";
    for (bool nodes : {false, true}) {
        XmlParseOptions options;
        options.createEntityReferenceNodes = nodes;
        std::string error;
        const std::string big = "<!DOCTYPE r [<!ENTITY x \"" + std::string(200000, 'a') + "\">]>";
        EXPECT_EQ(XmlDocument::ParseMemory(big + "<r>" + refs + "</r>", &error, options), nullptr);
        EXPECT_EQ(error, "entity value too long");
        EXPECT_EQ(XmlDocument::ParseMemory(big + "<r a=\"" + refs + "\"/>", &error, options),
                  nullptr);
        EXPECT_EQ(error, "entity value too long");
    }
}

extern "C" int curl_global_init(long flags);

// Xerces' set-up calls libcurl's global set-up, which brings up TLS, SSH and LDAP; the program's
// own do-nothing definition must be the one found.
TEST(XmlDocument, XercesSetUpLeavesLibcurlAlone) {
    XmlPlatform platform;
    ASSERT_TRUE(platform.Ok());
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "curl_global_init"), reinterpret_cast<void*>(&curl_global_init));
}

// Lines of start tags, empty elements among them, as the linter quotes them.
TEST(XmlDocument, RecordsTheLineOfEveryElement) {
    XmlPlatform platform;
    ASSERT_TRUE(platform.Ok());
    XmlParseOptions options;
    options.recordLines = true;
    std::string error;
    auto doc = XmlDocument::ParseMemory(
        "<d>\n  <c id=\"1\"/>\n  <c id=\"2\">\n    <e/>\n  </c>\n  <c id=\"3\"/><c "
        "id=\"4\"/>\n</d>",
        &error, options);
    ASSERT_NE(doc, nullptr) << error;
    EXPECT_EQ(XmlLineOf(doc->Root()), 1);
    std::vector<int> lines;
    xercesc::DOMNodeList* list = doc->Root()->getElementsByTagName(NarrowToXml("c").c_str());
    for (XMLSize_t i = 0; i < list->getLength(); ++i)
        lines.push_back(XmlLineOf(list->item(i)));
    EXPECT_EQ(lines, (std::vector<int>{2, 3, 6, 6}));
    EXPECT_EQ(XmlLineOf(FirstElementByTag(doc->Root(), "e")), 4);
}
