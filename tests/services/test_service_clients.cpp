// The typed clients against a plug-in that echoes what it received: the message of every
// response is the request text with "@@@" shown as "|".
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/Text.h"
#include "clients/MiscServiceClient.h"
#include "clients/PointServiceClient.h"

namespace {

constexpr wchar_t kField[] = L"POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER=";
constexpr wchar_t kValue[] = L"POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER=";

template <typename Client>
void BindEcho(Client& c) {
    c.SetLibraryPath(Widen(ECHO_PLUGIN));
}

}  // namespace

TEST(PointServiceClient, ReadAndWriteSendTheirFieldAndValue) {
    PointServiceClient c;
    BindEcho(c);
    std::wstring value;
    EXPECT_EQ(c.ReadCodeClient(value), 0);
    EXPECT_EQ(value, std::wstring(L"ReadDataPointService|") + kField + L"CodeClient");

    // A write followed by a read on the same object still carries the value.
    EXPECT_EQ(c.WriteVille(L"Lyon"), 0);
    EXPECT_EQ(c.GetLastMessage(),
              std::wstring(L"WriteDataPointService|") + kField + L"Ville|" + kValue + L"Lyon");
    EXPECT_EQ(c.ReadPPIDate(value), 0);
    EXPECT_EQ(value,
              std::wstring(L"ReadDataPointService|") + kField + L"PPIDate|" + kValue + L"Lyon");
}

TEST(PointServiceClient, LanguePaysSendsTwoLettersOfEach) {
    struct Case {
        const wchar_t* language;
        const wchar_t* country;
        const wchar_t* sent;
    };
    const Case cases[] = {
        {L"fr", L"FR", L"frFR"},
        {L"deu", L"CH", L"deCH"},
        {L"en", L"GBR", L"enGB"},
    };
    for (const Case& k : cases) {
        PointServiceClient c;
        BindEcho(c);
        c.WriteLanguePays(k.language, k.country);
        EXPECT_EQ(c.GetLastMessage(), std::wstring(L"WriteDataPointService|") + kField +
                                          L"LanguePays|" + kValue + k.sent);
    }
}

TEST(PointServiceClient, ReturnCodesAreReadLikeTheCLibrary) {
    struct Case {
        const wchar_t* code;  // null: the response carries none
        int expected;
    };
    const Case cases[] = {{nullptr, 0}, {L"0", 0}, {L"12", 12}, {L"7abc", 7}, {L"x", 0}};
    for (const Case& k : cases) {
        PointServiceClient c;
        BindEcho(c);
        if (k.code)
            c.SetParameter(L"ECHO_CODE", k.code);
        std::wstring value;
        EXPECT_EQ(c.ReadEmail(value), k.expected) << (k.code ? Narrow(k.code) : "none");
        EXPECT_EQ(c.GetLastReturnCode(), k.expected);
    }
}

TEST(PointServiceClient, EveryAccessorNamesItsOwnField) {
    PointServiceClient c;
    BindEcho(c);
    std::wstring value;
    int reads = 0, writes = 0;
#define QV_CHECK_READ_1(name)                                                             \
    c.Read##name(value);                                                                  \
    EXPECT_NE(value.find(std::wstring(kField) + L## #name), std::wstring::npos) << #name; \
    ++reads;
#define QV_CHECK_READ_0(name)
#define QV_CHECK_WRITE_1(name)                                                                  \
    c.Write##name(L"v" #name);                                                                  \
    EXPECT_NE(                                                                                  \
        c.GetLastMessage().find(std::wstring(kField) + L## #name + L"|" + kValue + L"v" #name), \
        std::wstring::npos)                                                                     \
        << #name;                                                                               \
    ++writes;
#define QV_CHECK_WRITE_0(name)
#define QV_CHECK_PASTE(a, b) a##b
#define QV_CHECK_SELECT(prefix, flag) QV_CHECK_PASTE(prefix, flag)
#define QV_CHECK(name, read, write)                   \
    QV_CHECK_SELECT(QV_CHECK_READ_, QV_PS_FLAG(read)) \
    (name) QV_CHECK_SELECT(QV_CHECK_WRITE_, QV_PS_FLAG(write))(name)
    QV_POINT_SERVICE_FIELDS(QV_CHECK)
    EXPECT_EQ(reads, 24);
    EXPECT_EQ(writes, 16);
}

TEST(PointServiceClient, AValueTheTextCannotCarryIsNotSent) {
    PointServiceClient c;
    BindEcho(c);
    EXPECT_EQ(c.WriteFax(L"01 23"), 0);
    for (const wchar_t* bad : {L"a@@@LMQ_PLUGIN_RESPONSE_RETURN_CODE=0", L"ends@"}) {
        EXPECT_EQ(c.WriteFax(bad), PointServiceClient::kValueRefused);
        EXPECT_FALSE(c.GetLastMessage().empty());
    }
}

TEST(PointServiceClient, AMissingLibraryReadsAsSuccessWithNothing) {
    PointServiceClient c;
    c.SetLibraryPath(L".\\no-such-plugin.dll");
    std::wstring value = L"stale";
    EXPECT_EQ(c.ReadCodeClient(value), 0);
    EXPECT_EQ(value, L"");
    EXPECT_EQ(c.WriteCodeClient(L"x"), 0);
    PointServiceClient unbound;
    EXPECT_EQ(unbound.ReadCodeClient(value), 0);
}

TEST(PointServiceClient, FixedBufferReadsAreCut) {
    PointServiceClient c;
    BindEcho(c);
    wchar_t buffer[8];
    c.ReadDataPoint("Fax", buffer, 8);
    EXPECT_EQ(std::wstring(buffer), L"ReadDat");
}

TEST(MiscServiceClient, EachOperationSendsItsParametersInOrder) {
    struct Case {
        const char* name;
        std::function<void(MiscServiceClient&)> call;
        const wchar_t* sent;
    };
    std::wstring message;
    const Case cases[] = {
        {"test url", [&](MiscServiceClient& c) { c.TestInternetService(L"http://h", message); },
         L"TestInternetService|MISC_LMQ_PLUGIN_TEST_URL_PARAMETER=http://h"},
        {"default list",
         [&](MiscServiceClient& c) { c.TestInternetService_defaultListURL(message); },
         L"TestInternetService_defaultListURL"},
        {"disk", [&](MiscServiceClient& c) { c.getFreeDiskSpaceService(L"/", message); },
         L"getFreeDiskSpaceService|MISC_LMQ_PLUGIN_DISK_NAME_PARAMETER=/"},
        {"version", [&](MiscServiceClient& c) { message = c.getLMQVersionService(); },
         L"getLMQVersionService"},
        {"path", [&](MiscServiceClient& c) { message = c.getPathInstallService(); },
         L"getPathInstallService"},
        {"account",
         [&](MiscServiceClient& c) {
             message = c.getInternetAccountService(L"B", L"M", L"A", L"F");
         },
         L"getInternetAccountService|MISC_LMQ_PLUGIN_BASE_REGISTRY_PARAMETER=B|"
         L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M|MISC_LMQ_PLUGIN_PATH_ACCOUNT_PARAMETER=A|"
         L"MISC_LMQ_PLUGIN_FILTER_STRING_ADDR_PROTO_PARAMETER=F"},
        {"jre",
         [&](MiscServiceClient& c) {
             message = c.getJavaJreVersionService(L"B", L"M", L"F1", L"F2");
         },
         L"getJavaJreVersionService|MISC_LMQ_PLUGIN_BASE_REGISTRY_PARAMETER=B|"
         L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M|MISC_LMQ_PLUGIN_FILTER1_STRING_PARAMETER=F1|"
         L"MISC_LMQ_PLUGIN_FILTER2_STRING_PARAMETER=F2"},
        {"restore",
         [&](MiscServiceClient& c) { message = c.getLastRapideRestoreDateService(L"M"); },
         L"getLastRapideRestoreDateService|MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M"},
        {"save",
         [&](MiscServiceClient& c) { message = c.getRapideRestoreLastSaveDateService(L"M"); },
         L"getRapideRestoreLastSaveDateService|MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M"},
        {"master", [&](MiscServiceClient& c) { message = c.getMasterVersionService(L"M"); },
         L"getMasterVersionService|MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M"},
        {"ssl",
         [&](MiscServiceClient& c) {
             c.updateCertificatSSLService();
             message = c.GetLastMessage();
         },
         L"updateCertificatSSLService"},
        {"file key", [&](MiscServiceClient& c) { message = c.getFileKeyService(L"M", L"K"); },
         L"getFileKeyService|MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER=K|"
         L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M"},
        {"section key",
         [&](MiscServiceClient& c) { message = c.getFileSectionKeyService(L"M", L"S", L"K"); },
         L"getFileSectionKeyService|MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER=K|"
         L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M|MISC_LMQ_PLUGIN_FILE_SECTION_PARAMETER=S"},
    };
    for (const Case& k : cases) {
        MiscServiceClient c;
        BindEcho(c);
        message.clear();
        k.call(c);
        EXPECT_EQ(message, k.sent) << k.name;
    }
}

TEST(MiscServiceClient, ParametersCarryOverToLaterOperations) {
    MiscServiceClient c;
    BindEcho(c);
    c.getFileSectionKeyService(L"M", L"S", L"K");
    EXPECT_EQ(c.getFileKeyService(L"M2", L"K2"),
              L"getFileKeyService|MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER=K2|"
              L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=M2|"
              L"MISC_LMQ_PLUGIN_FILE_SECTION_PARAMETER=S");
    std::wstring message;
    c.SetParameter(L"ECHO_CODE", L"4");
    EXPECT_EQ(c.getFreeDiskSpaceService(L"/tmp", message), 4);
    EXPECT_NE(message.find(L"FILE_SECTION_PARAMETER=S|ECHO_CODE=4|"
                           L"MISC_LMQ_PLUGIN_DISK_NAME_PARAMETER=/tmp"),
              std::wstring::npos)
        << Narrow(message);
    EXPECT_EQ(c.getLMQVersionService().find(L"getLMQVersionService|"), 0u);
    EXPECT_EQ(c.GetLastReturnCode(), 4);
}

TEST(MiscServiceClient, ParameterAccessors) {
    MiscServiceClient c;
    EXPECT_EQ(c.SetBaseRegistry(L"HKLM"), 0);
    EXPECT_EQ(c.SetPathManager(L""), -1);
    EXPECT_EQ(c.SetFilter2String(L"f2"), 0);
    EXPECT_EQ(c.SetFilter2String(L"bad@@@value"), 0);  // refused, the earlier value stays
    c.SetTestUrl(L"http://x");
    EXPECT_EQ(MiscServiceClient::GetBaseRegistry(c), L"HKLM");
    EXPECT_EQ(MiscServiceClient::GetPathManager(c), L"");
    EXPECT_EQ(MiscServiceClient::GetFilter2String(c), L"f2");
    EXPECT_EQ(MiscServiceClient::GetTestUrl(c), L"http://x");
    EXPECT_EQ(MiscServiceClient::GetPathAccount(c), L"");
    EXPECT_EQ(c.GetParameterText(),
              L"MISC_LMQ_PLUGIN_BASE_REGISTRY_PARAMETER=HKLM@@@"
              L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER=@@@"
              L"MISC_LMQ_PLUGIN_FILTER2_STRING_PARAMETER=f2@@@"
              L"MISC_LMQ_PLUGIN_TEST_URL_PARAMETER=http://x");
}

TEST(MiscServiceClient, MissingLibraryGivesAnEmptyVersionAndABareTitle) {
    MiscServiceClient c;
    c.SetLibraryPath(miscservice::kLibraryPath);  // not in the test's directory
    EXPECT_EQ(c.getLMQVersionService(), L"");
    EXPECT_EQ(MakeVersionTitle(c.getLMQVersionService()), L"VEK ");
    std::wstring message = L"stale";
    EXPECT_EQ(c.TestInternetService(L"http://127.0.0.1:1", message), 0);
    EXPECT_EQ(message, L"");
}

TEST(MiscServiceClient, VersionTitle) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"Version 1.2.3 Release", L"VEK 1.2.3"},
        {L"1.2.3", L"VEK 1.2.3"},
        {L"", L"VEK "},
        {L"Version Version 2 Release Release", L"VEK 2"},
        {L"Version 4.0 Release candidate", L"VEK 4.0 candidate"},
    };
    for (auto [reply, title] : cases)
        EXPECT_EQ(MakeVersionTitle(reply), title);
}
