#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/Text.h"
#include "services/Translator.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempTree.h"
#include "tools/qvtool/Graph.h"
#include "tools/qvtool/Po.h"

namespace fs = std::filesystem;
using authoring::ParsePo;
using authoring::PoFile;
using authoring::PoMessage;

namespace {

ProgramResult Tool(const std::vector<std::string>& args) {
    return RunProgram(QVTOOL_PATH, args);
}

struct DemoTree {
    DemoTree() {
        fs::copy(DIST_DIR "/config", tree.Path("config"),
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    std::string Trad() const { return tree.Read("config/trad/VEK_Trad.xml"); }
    TempTree tree;
};

std::map<std::string, std::wstring> Table(const std::string& file, const char* code) {
    ZFQTranslator translator(file);
    translator.SetWarningStream(stderr);
    translator.LoadLanguage(code);
    return translator.Table();
}

}  // namespace

TEST(QvtoolTrad, RoundTripLeavesTheTableByteIdentical) {
    DemoTree d;
    std::string before = d.Trad();
    for (const char* code : {"fr", "de", "en", "xx"}) {
        std::string po = d.tree.Path(std::string(code) + ".po");
        ProgramResult e = Tool({"trad", "export", "--root", d.tree.Bin(), "--lang", code, po});
        ASSERT_EQ(e.status, 0) << e.err;
        ProgramResult i = Tool({"trad", "import", "--root", d.tree.Bin(), po});
        EXPECT_EQ(i.status, 0) << code << i.err;
        EXPECT_EQ(d.Trad(), before) << code;
    }
}

TEST(QvtoolTrad, EditedTextIsReadByTheTranslatorAndNothingElseMoves) {
    DemoTree d;
    std::string file = d.tree.Path("config/trad/VEK_Trad.xml");
    std::string original = d.Trad();
    std::map<std::string, std::map<std::string, std::wstring>> before;
    for (const char* code : {"fr", "en", "de", "nl", "es", "it"})
        before[code] = Table(file, code);
    std::string po = d.tree.Path("nl.po");
    ASSERT_EQ(Tool({"trad", "export", "--root", d.tree.Bin(), "--lang", "nl", po}).status, 0);
    std::string text = d.tree.Read("nl.po");
    const std::string from = "msgstr \"Kies uw taal\"";
    ASSERT_NE(text.find(from), std::string::npos) << text;
    text.replace(text.find(from), from.size(), "msgstr \"Kies \\\"uw\\\" taal\\nnu\"");
    WriteFile(po, text);
    ProgramResult r = Tool({"trad", "import", "--root", d.tree.Bin(), po});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 text of nl imported"), std::string::npos) << r.out;
    for (auto& [code, table] : before) {
        auto after = Table(file, code.c_str());
        if (code == "nl")
            table["id0001"] = L"Kies \"uw\" taal\nnu";
        EXPECT_EQ(after, table) << code;
    }
    // Only the edited text moves: the prolog, the layout and the ending stay.
    std::string edited = d.Trad();
    EXPECT_EQ(edited.substr(0, edited.find("Kies")), original.substr(0, original.find("Kies")));
    EXPECT_EQ(edited.substr(edited.find("</Lang>", edited.find("Kies"))),
              original.substr(original.find("</Lang>", original.find("Kies"))));
    // Exporting again gives back the edited text.
    std::string again = d.tree.Path("again.po");
    ASSERT_EQ(Tool({"trad", "export", "--root", d.tree.Bin(), "--lang", "nl", again}).status, 0);
    EXPECT_NE(d.tree.Read("again.po").find("msgstr \"\"\n\"Kies \\\"uw\\\" taal\\n\"\n\"nu\"\n"),
              std::string::npos);
}

TEST(QvtoolTrad, RefusesUnknownIdsAndKeepsTextsAnEmptyEntryLacks) {
    DemoTree d;
    std::string before = d.Trad();
    std::string po = d.tree.Path("fr.po");
    WriteFile(po,
              "msgid \"\"\nmsgstr \"Language: fr\\n\"\n\nmsgctxt \"id0001\"\nmsgid \"x\"\n"
              "msgstr \"Nouveau\"\n\nmsgctxt \"id9999\"\nmsgid \"x\"\nmsgstr \"y\"\n");
    ProgramResult unknown = Tool({"trad", "import", "--root", d.tree.Bin(), po});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("fr.po:8: error: identifier id9999"), std::string::npos)
        << unknown.err;
    EXPECT_EQ(d.Trad(), before);

    WriteFile(po,
              "msgid \"\"\nmsgstr \"Language: fr\\n\"\n\nmsgctxt \"id0001\"\nmsgid \"x\"\n"
              "msgstr \"\"\n\n#, fuzzy\nmsgctxt \"id0002\"\nmsgid \"x\"\nmsgstr \"guess\"\n");
    ProgramResult kept = Tool({"trad", "import", "--root", d.tree.Bin(), po});
    EXPECT_EQ(kept.status, 0);
    EXPECT_NE(kept.err.find("fr.po:4: warning: id0001 kept"), std::string::npos) << kept.err;
    EXPECT_NE(kept.err.find("fr.po:9: warning: id0002 kept"), std::string::npos) << kept.err;
    EXPECT_EQ(d.Trad(), before);

    WriteFile(po, "msgctxt \"id0001\"\nmsgid \"x\"\nmsgstr[0] \"y\"\n");
    EXPECT_EQ(Tool({"trad", "import", "--root", d.tree.Bin(), po}).status, 1);
    EXPECT_EQ(Tool({"trad", "export", "--root", d.tree.Bin(), po}).status, 2);
    EXPECT_EQ(d.Trad(), before);
}

TEST(Po, ParsesWhatTranslatorsToolsWriteAndNamesTheLineOfWhatItCannot) {
    struct Row {
        const char* name;
        std::string text;
        size_t entries;
        std::string firstStr;
        int errorLine;  // 0: none
    };
    const std::vector<Row> rows = {
        {"plain", "msgctxt \"a\"\nmsgid \"A\"\nmsgstr \"b\"\n", 1, "b", 0},
        {"continued lines and escapes",
         "msgctxt \"a\"\nmsgid \"A\"\nmsgstr \"\"\n\"one\\n\"\n\"t\\two \\\"q\\\" \\\\ \\101\"\n",
         1, "one\nt\two \"q\" \\ A", 0},
        {"header and comments", "# c\nmsgid \"\"\nmsgstr \"Language: de\\n\"\n\n#. x\n#: y\n", 0,
         "", 0},
        {"unknown escape", "msgctxt \"a\"\nmsgid \"A\"\nmsgstr \"\\q\"\n", 0, "", 3},
        {"unterminated", "msgctxt \"a\"\nmsgid \"A\n", 0, "", 2},
        {"plural", "msgctxt \"a\"\nmsgid \"A\"\nmsgid_plural \"B\"\n", 0, "", 3},
        {"junk keyword", "msgctxt \"a\"\nhello\n", 0, "", 2},
        {"not UTF-8", "msgctxt \"a\"\nmsgid \"\xff\"\nmsgstr \"b\"\n", 0, "", 2},
        {"msgstr first", "msgstr \"b\"\n", 0, "", 1},
        {"other charset",
         "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n", 0, "", 1},
        {"binary", std::string("\0\x01\x02\"\"\n\"", 7), 0, "", 1},
    };
    for (const Row& row : rows) {
        PoFile po;
        std::vector<PoMessage> errors;
        bool ok = ParsePo(row.text, &po, &errors);
        EXPECT_EQ(ok, row.errorLine == 0) << row.name;
        if (row.errorLine) {
            ASSERT_FALSE(errors.empty()) << row.name;
            EXPECT_EQ(errors[0].line, row.errorLine) << row.name << ": " << errors[0].text;
            continue;
        }
        EXPECT_EQ(po.entries.size(), row.entries) << row.name;
        if (row.entries) {
            EXPECT_EQ(po.entries[0].str, row.firstStr) << row.name;
        }
    }
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    all = Narrow(Widen(all));
    PoFile po;
    std::vector<PoMessage> errors;
    std::string text = authoring::PoString("msgctxt", "k") + authoring::PoString("msgid", "m") +
                       authoring::PoString("msgstr", all);
    ASSERT_TRUE(ParsePo(text, &po, &errors)) << (errors.empty() ? "" : errors[0].text);
    EXPECT_EQ(po.entries.at(0).str, all);
}

TEST(QvtoolGraph, DemoFlowsAreDotThatGraphvizReads) {
    for (const char* mode : {"QV", "RW"}) {
        ProgramResult r = Tool({"graph", "--root", STAGE_BIN, "--mode", mode});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("s0 [label=\"0\\nentry\""), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("s1 -> s2 [label=\"1\"]"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("end [label=\"end (-1)\""), std::string::npos) << r.out;
        std::string dot = authoring::FindDot();
        if (dot.empty()) {
            GTEST_SKIP() << "Graphviz's dot is not installed";
        }
        TempTree tree;
        tree.Write("flow.dot", r.out);
        ProgramResult parsed = RunProgram(dot, {"-Tcanon", tree.Path("flow.dot")});
        EXPECT_EQ(parsed.status, 0) << parsed.err;
        ProgramResult svg =
            Tool({"graph", "--root", STAGE_BIN, "--mode", mode, "--svg", tree.Path("flow.svg")});
        EXPECT_EQ(svg.status, 0) << svg.err;
        EXPECT_NE(tree.Read("flow.svg").find("<svg"), std::string::npos);
    }
}

TEST(QvtoolGraph, MarksUnreachableStatesTrapsAndMissingSections) {
    TempTree tree;
    tree.Write("config/QV/QV_automate.ini",
               "[CONTEXT]\n1=LastEvent:INT:1\n[0]\nActionToRun=\nEvent_1=1\n[1]\nActionToRun=A\n"
               "Event_1=9\nEvent_2=${LastState}\nEvent_Default=1\n[4]\nActionToRun=B\n");
    ProgramResult r = Tool({"graph", "--root", tree.Bin()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("s4 [label=\"4\\nB\\nunreachable\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("s9 [label=\"9\\nno section\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("s1 -> \"var LastState\" [label=\"2\"]"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("s1 -> s1 [label=\"default\""), std::string::npos) << r.out;
    EXPECT_EQ(Tool({"graph", "--root", "/no/such/dir"}).status, 2);
}
