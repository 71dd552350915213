#include "automate/PluginRequest.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Log.h"
#include "base/Text.h"
#include "tests/support/TempTree.h"

namespace {

using Params = std::vector<std::pair<std::wstring, std::wstring>>;

// Every parameter of a request, in slot order.
Params AllOf(const CPluginRequest& r) {
    Params out;
    std::wstring text = r.GetParameterText();
    // GetParameterText lists the slots in order.
    size_t pos = 0;
    while (!text.empty() && pos <= text.size()) {
        size_t next = text.find(L"@@@", pos);
        std::wstring seg = text.substr(pos, next == std::wstring::npos ? next : next - pos);
        size_t eq = seg.find(L'=');
        out.emplace_back(seg.substr(0, eq), seg.substr(eq + 1));
        if (next == std::wstring::npos)
            break;
        pos = next + 3;
    }
    return out;
}

std::wstring Build(const CPluginRequest& r) {
    int flag = -1;
    return r.BuildRequest(flag);
}

}  // namespace

TEST(PluginText, BuildsInOrderOfFirstSetting) {
    CPluginRequest r;
    r.SetServiceName(L"svc");
    EXPECT_EQ(Build(r), L"svc");
    r.SetParameter(L"a", L"x");
    r.SetParameter(L"b", L"y");
    EXPECT_EQ(Build(r), L"svc@@@a=x@@@b=y");
    r.SetParameter(L"a", L"z");
    EXPECT_EQ(Build(r), L"svc@@@a=z@@@b=y");
    EXPECT_EQ(r.GetParameterCount(), 2);

    CPluginRequest empty;
    int flag = 0;
    EXPECT_EQ(empty.BuildRequest(flag), L"");
    EXPECT_EQ(flag, 1);
    empty.SetServiceName(L"s");
    EXPECT_EQ(empty.BuildRequest(flag), L"s");
    EXPECT_EQ(flag, 0);
}

TEST(PluginText, ParsesAnyText) {
    struct Case {
        std::wstring text;
        std::wstring service;
        Params params;
    };
    const Case cases[] = {
        {L"svc@@@a=b=c", L"svc", {{L"a", L"b=c"}}},
        {L"plain service name", L"plain service name", {}},
        {L"", L"", {}},
        {L"@@@", L"", {}},
        {L"@@@@@@@@@", L"", {}},
        {L"@@@@", L"", {{L"@", L""}}},
        {L"svc@@@novalue@@@k=", L"svc", {{L"novalue", L""}, {L"k", L""}}},
        {L"svc@@@=orphan@@@a=1", L"svc", {{L"a", L"1"}}},
        {L"svc@@@a=1@@@b=2@@@a=3", L"svc", {{L"a", L"3"}, {L"b", L"2"}}},
        {L"svc@@@a=@@x", L"svc", {{L"a", L"@@x"}}},
        {L"svc@@@a=x@@@@b=1", L"svc", {{L"a", L"x"}, {L"@b", L"1"}}},
        {L"svc@@@a=x@", L"svc", {}},
        {L"s\U0001F600@@@k\U00010348=v\U0001F600",
         L"s\U0001F600",
         {{L"k\U00010348", L"v\U0001F600"}}},
        {L"svc@@@a=x@@@", L"svc", {{L"a", L"x"}}},
    };
    for (const Case& c : cases) {
        CPluginRequest r{std::wstring_view(c.text)};
        EXPECT_EQ(r.GetServiceName(), c.service) << "text: " << testing::PrintToString(c.text);
        EXPECT_EQ(AllOf(r), c.params) << "text: " << testing::PrintToString(c.text);
    }
}

TEST(PluginText, NarrowTextIsUtf8AndParsedTheSameWay) {
    CPluginRequest r{std::string_view("caf\xc3\xa9@@@cl\xc3\xa9=\xf0\x9f\x98\x80")};
    EXPECT_EQ(r.GetServiceName(), L"caf\u00e9");
    std::wstring v;
    EXPECT_EQ(r.GetParameter(L"cl\u00e9", v), 0);
    EXPECT_EQ(v, L"\U0001F600");
    // Broken UTF-8 still parses.
    CPluginRequest broken{std::string_view("\xff\xfe@@@\xc3=\x80")};
    EXPECT_EQ(broken.GetParameterCount(), 1);
}

TEST(PluginText, ParseIntoAnExistingObjectKeepsSlots) {
    CPluginRequest r;
    r.SetParameter(L"a", L"1");
    r.SetParameter(L"b", L"2");
    r.Parse(std::wstring_view(L"new@@@b=3@@@c=4"));
    EXPECT_EQ(r.GetServiceName(), L"new");
    EXPECT_EQ(r.GetParameterText(), L"a=1@@@b=3@@@c=4");
}

TEST(PluginText, HugeAndCrowdedTexts) {
    std::wstring big = L"svc@@@k=" + std::wstring(1 << 20, L'x');
    CPluginRequest r{std::wstring_view(big)};
    std::wstring v;
    ASSERT_EQ(r.GetParameter(L"k", v), 0);
    EXPECT_EQ(v.size(), size_t{1} << 20);

    // 1 MB of separators and of bare "=" signs.
    std::wstring seps;
    for (int i = 0; i < (1 << 20) / 3; ++i)
        seps += L"@@@";
    EXPECT_EQ(CPluginRequest{std::wstring_view(seps)}.GetParameterCount(), 0);
    EXPECT_EQ(CPluginRequest{std::wstring_view(std::wstring(1 << 20, L'='))}.GetParameterCount(),
              0);

    // Parameters beyond the capacity are dropped; earlier keys still take new values.
    std::wstring many = L"svc";
    for (int i = 0; i < 150; ++i)
        many += L"@@@k" + std::to_wstring(i) + L"=" + std::to_wstring(i);
    many += L"@@@k0=again";
    CPluginRequest crowded{std::wstring_view(many)};
    EXPECT_EQ(crowded.GetParameterCount(), CPluginParameters::kCapacity);
    EXPECT_EQ(crowded.GetParameter(L"k100", v), 1);
    EXPECT_EQ(crowded.GetParameter(L"k99", v), 0);
    EXPECT_EQ(crowded.GetParameter(L"k0", v), 0);
    EXPECT_EQ(v, L"again");
}

TEST(PluginText, RandomTextsRebuildToWhatTheyParsedTo) {
    // Texts made of the protocol's own characters; whatever they hold, parsing the built text
    // again gives the same request.
    const wchar_t alphabet[] = {L'@', L'=', L'a', L'b', L'\U0001F600', L'\0'};
    unsigned seed = 12345;
    for (int round = 0; round < 2000; ++round) {
        std::wstring text;
        size_t n = (seed = seed * 1103515245 + 12345) % 40;
        for (size_t i = 0; i < n; ++i)
            text += alphabet[(seed = seed * 1103515245 + 12345) >> 16 & 7 % 6];
        CPluginRequest first{std::wstring_view(text)};
        if (first.GetServiceName().empty())
            continue;
        CPluginRequest second{std::wstring_view(Build(first))};
        EXPECT_EQ(second.GetServiceName(), first.GetServiceName());
        EXPECT_EQ(second.GetParameterText(), first.GetParameterText());
    }
}

TEST(PluginParameters, RefusesWhatTheTextFormCannotCarry) {
    CPluginParameters p;
    EXPECT_EQ(p.SetParameter(L"", L"v"), 2);
    EXPECT_EQ(p.SetParameter(L"a=b", L"v"), 2);
    EXPECT_EQ(p.SetParameter(L"a@@@b", L"v"), 2);
    EXPECT_EQ(p.SetParameter(L"a", L"x@@@LMQ_PLUGIN_RESPONSE_RETURN_CODE=0"), 2);
    EXPECT_EQ(p.SetParameter(L"a", L"ends@"), 2);
    EXPECT_EQ(p.SetParameter(L"a", L"b=c@@x"), 0);
    EXPECT_EQ(p.GetParameterCount(), 1);
    std::wstring v = L"stale";
    EXPECT_EQ(p.GetParameter(L"missing", v), 1);
    EXPECT_EQ(v, L"");

    for (int i = 1; i < CPluginParameters::kCapacity; ++i)
        ASSERT_EQ(p.SetParameter(L"k" + std::to_wstring(i), L"v"), 0);
    EXPECT_EQ(p.SetParameter(L"one-too-many", L"v"), 1);
    EXPECT_EQ(p.SetParameter(L"a", L"replaced"), 0);
    EXPECT_EQ(p.GetParameter(L"one-too-many", v), 1);
}

TEST(PluginLogSettings, SettersStoreDecimalTextAndReportEmptyValues) {
    CPluginRequest r;
    EXPECT_EQ(r.SetLogLevel(7), 0);
    std::wstring v;
    r.GetParameter(kLogLevelKey, v);
    EXPECT_EQ(v, L"7");
    EXPECT_EQ(r.GetLogLevel(), 7);
    EXPECT_EQ(r.SetLogPathName(L""), -1);
    EXPECT_EQ(r.SetLogFileName(L"QV.log"), 0);
    EXPECT_EQ(r.GetLogFileName(), L"QV.log");
    EXPECT_EQ(r.GetLogSize(), 0);
    r.SetParameter(kLogSizeKey, L"x");
    EXPECT_EQ(r.GetLogSize(), 0);
}

TEST(PluginLogSettings, SetLogSettingsOrdersTheParametersAndOpensTheLog) {
    TempTree tree;
    CPluginRequest r;
    EXPECT_EQ(r.SetLogSettings(L"..\\Log\\", L"QV.log", L"PointServicePlugin", 6, 3072, 3), 0);
    EXPECT_EQ(r.GetParameterText(),
              L"LMQ_PLUGIN_LOGPATHNAME_PARAMETER=..\\Log\\@@@"
              L"LMQ_PLUGIN_LOGFILENAME_PARAMETER=QV.log@@@"
              L"LMQ_PLUGIN_LOGLEVEL_PARAMETER=6@@@"
              L"LMQ_PLUGIN_NBLOGFILE_PARAMETER=3@@@"
              L"LMQ_PLUGIN_LOGSIZE_PARAMETER=3072");
    ASSERT_NE(r.GetLog(), nullptr);
    EXPECT_EQ(r.GetLog()->Tag(), "PointServicePlugin");
    EXPECT_TRUE(tree.Exists("Log/1_QV.log"));
    EXPECT_EQ(r.SetLogSettings(L"", L"", L"m", 1, 1, 1), -2);
}

TEST(PluginLogSettings, FromAnExistingLogger) {
    TempTree tree;
    CLog app("..\\Log\\", "RW.log", 3072, "RWApp", 3, 5);
    CPluginRequest r;
    EXPECT_EQ(r.SetLogSettingsFrom(app, L"noxMiscPlugin"), 0);
    EXPECT_EQ(r.GetLogPathName(), L"..\\Log\\");
    EXPECT_EQ(r.GetLogFileName(), L"RW.log");
    EXPECT_EQ(r.GetLogLevel(), 5);
    EXPECT_EQ(r.GetLogSize(), 3072);
    EXPECT_EQ(r.GetNbLogFile(), 3);
    EXPECT_EQ(r.GetLog()->Tag(), "noxMiscPlugin");
}

// ---------------------------------------------------------------------------------------------
// Calls into modules

TEST(PluginSend, HostFailuresLeaveTheTextAlone) {
    TempTree tree;
    tree.Write("bin/notalibrary.so", "just text");
    struct Case {
        std::wstring library;
        std::wstring service;
        int expected;
    };
    const Case cases[] = {
        {L"", L"svc", 3},
        {L"", L"", 3},
        {Widen(ECHO_PLUGIN), L"", 1},
        {L".\\missing.dll", L"svc", 2},
        {L".\\notalibrary.dll", L"svc", 2},
        {L"/nonexistent/dir/x.so", L"svc", 2},
        {Widen(NORELEASE_PLUGIN), L"svc", 4},
    };
    for (const Case& c : cases) {
        CPluginRequest r;
        r.SetLibraryPath(c.library);
        r.SetServiceName(c.service);
        r.SetParameter(L"a", L"1");
        std::wstring text = L"untouched";
        EXPECT_EQ(r.SendRequest(text), c.expected) << Narrow(c.library);
        EXPECT_EQ(text, L"untouched");
    }
}

TEST(PluginSend, CallsTheExportsInOrderAndReturnsThePluginsStatus) {
    TempTree tree;
    std::string trace = tree.Path("trace.txt");
    setenv("QV_ECHO_TRACE", trace.c_str(), 1);
    CPluginRequest r;
    r.SetLibraryPath(Widen(ECHO_PLUGIN));
    r.SetServiceName(L"svc");
    r.SetParameter(L"ECHO_STATUS", L"42");
    r.SetParameter(L"ECHO_CODE", L"12");
    std::wstring text;
    EXPECT_EQ(r.SendRequest(text), 42);
    unsetenv("QV_ECHO_TRACE");
    std::wstring expected =
        L"echo@@@LMQ_PLUGIN_RESPONSE_RETURN_CODE=12@@@"
        L"LMQ_PLUGIN_RESPONSE_MESSAGE=svc|ECHO_STATUS=42|ECHO_CODE=12";
    EXPECT_EQ(text, expected);
    EXPECT_EQ(ReadFile(trace),
              "I svc@@@ECHO_STATUS=42@@@ECHO_CODE=12\n"
              "S svc@@@ECHO_STATUS=42@@@ECHO_CODE=12\n"
              "R " +
                  Narrow(expected) + "\n");
}

TEST(PluginSend, ResponsesOfAnySizeComeBackWhole) {
    CPluginRequest r;
    r.SetLibraryPath(Widen(ECHO_PLUGIN));
    r.SetServiceName(L"svc");
    r.SetParameter(L"ECHO_CHARS", L"1000000");
    std::wstring text;
    r.SendRequest(text);
    CPluginRequest response{std::wstring_view(text)};
    std::wstring message;
    response.GetParameter(kMessageKey, message);
    ASSERT_EQ(message.size(), 1000000u);
    EXPECT_EQ(message[0], L'\U0001F600');
    EXPECT_EQ(message[1], L'b');
}

TEST(PluginSend, APluginThatDoesNotAnswerLeavesTheRequestAsResponse) {
    CPluginRequest r;
    r.SetLibraryPath(Widen(ECHO_PLUGIN));
    r.SetServiceName(L"svc");
    r.SetParameter(L"ECHO_SILENT", L"1");
    std::wstring text;
    EXPECT_EQ(r.SendRequest(text), 0);
    EXPECT_EQ(text, L"svc@@@ECHO_SILENT=1");
}

TEST(PluginSend, VersionAndCallService) {
    CPluginRequest r;
    r.SetLibraryPath(Widen(ECHO_PLUGIN));
    r.SetParameter(L"ECHO_CODE", L"3x");
    r.SetParameter(L"ECHO_RESULT", L"the result");
    EXPECT_EQ(r.GetPluginVersion(),
              L"getLmqPluginVersionService|ECHO_CODE=3x|ECHO_RESULT=the result");
    EXPECT_EQ(r.GetLastReturnCode(), 3);
    std::wstring result;
    r.SetServiceName(L"other");
    EXPECT_EQ(r.CallService(result), 0);
    EXPECT_EQ(result, L"the result");

    // Nothing loads: the request itself is read as the response.
    CPluginRequest missing;
    missing.SetLibraryPath(L".\\nothing-here.dll");
    EXPECT_EQ(missing.GetPluginVersion(), L"");
    EXPECT_EQ(missing.GetLastReturnCode(), 0);
}

TEST(PluginReference, EachReferencePluginAnswersItsVersion) {
    TempTree tree;
    for (const char* lib : {POINT_PLUGIN, MISC_PLUGIN}) {
        CPluginRequest r;
        r.SetLibraryPath(Widen(lib));
        EXPECT_EQ(r.GetPluginVersion(), Widen(QV_VERSION)) << lib;
        EXPECT_EQ(r.GetLastReturnCode(), 0);
    }
}
