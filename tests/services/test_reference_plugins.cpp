// The reference plug-ins, through the clients, in a temporary runtime tree (bin/ current).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Log.h"
#include "base/Text.h"
#include "clients/MiscServiceClient.h"
#include "clients/PointServiceClient.h"
#include "tests/support/TempTree.h"

namespace {

constexpr char kDatabase[] = "data/LMQPointService.db";

// A client bound as the wizard binds it, on the tree's log set.
template <typename Client>
struct Bound {
    explicit Bound(const char* library, const wchar_t* module) {
        client.SetLibraryPath(Widen(library));
        CLog log("..\\Log\\", "QV.log", 3072, "QVApp", 3, LOG_DEBUG);
        client.SetLogSettingsFrom(log, module);
    }
    Client client;
};

std::wstring Read(const char* field) {
    Bound<PointServiceClient> b(POINT_PLUGIN, pointservice::kModuleName);
    std::wstring value;
    EXPECT_EQ(b.client.ReadDataPoint(field, value), 0)
        << field << ": " << Narrow(b.client.GetLastMessage());
    return value;
}

int Write(const char* field, std::wstring_view value, std::wstring* message = nullptr) {
    Bound<PointServiceClient> b(POINT_PLUGIN, pointservice::kModuleName);
    int code = b.client.WriteDataPoint(field, value);
    if (message)
        *message = b.client.GetLastMessage();
    return code;
}

// A TCP listener on 127.0.0.1 with a port of the kernel's choice.
struct Listener {
    Listener() {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(fd, 8);
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener() { close(fd); }
    int fd = -1;
    int port = 0;
};

// A loopback port with nobody listening.
int ClosedPort() {
    Listener l;
    return l.port;  // closed again when l goes
}

}  // namespace

TEST(PointServicePlugin, EveryWritableFieldReadsBackAfterReloading) {
    TempTree tree;
    int n = 0;
    for (const pointservice::Field& f : pointservice::kFields) {
        if (!f.write || std::string_view(f.name) == "LanguePays")
            continue;
        std::wstring value = L"v" + std::to_wstring(++n) + L" \u00e9\U0001F600 = " + Widen(f.name);
        ASSERT_EQ(Write(f.name, value), 0) << f.name;
    }
    ASSERT_EQ(Write("LanguePays", L"FRBE"), 0);
    EXPECT_TRUE(tree.Exists(kDatabase));

    n = 0;
    for (const pointservice::Field& f : pointservice::kFields) {
        if (!f.write || std::string_view(f.name) == "LanguePays")
            continue;
        std::wstring expected =
            L"v" + std::to_wstring(++n) + L" \u00e9\U0001F600 = " + Widen(f.name);
        if (std::string_view(f.name) != "Pays") {  // "LanguePays" came later
            EXPECT_EQ(Read(f.name), expected);
        }
    }
    EXPECT_EQ(Read("Langue"), L"FR");
    EXPECT_EQ(Read("Pays"), L"BE");
    EXPECT_EQ(Read("LangueISO"), L"fr");
    EXPECT_EQ(Read("LanguePays"), L"FRBE");
    EXPECT_EQ(Read("DateModif").size(), 10u);
    EXPECT_EQ(Read("HeureModif").size(), 8u);
    EXPECT_EQ(Read("PPISerial"), L"");

    // The plug-in wrote its own lines into the log set the request named.
    EXPECT_NE(tree.Read("Log/1_QV.log").find("[PointServicePlugin]  (INFO) Wrote CodeClient"),
              std::string::npos);
}

TEST(PointServicePlugin, TypedAccessorsAndLanguePays) {
    TempTree tree;
    Bound<PointServiceClient> b(POINT_PLUGIN, pointservice::kModuleName);
    EXPECT_EQ(b.client.WriteLanguePays(L"de", L"CH"), 0);
    EXPECT_EQ(b.client.WriteRaisonSociale(L"Caf\u00e9 & Co"), 0);
    std::wstring value;
    EXPECT_EQ(b.client.ReadLangue(value), 0);
    EXPECT_EQ(value, L"de");
    EXPECT_EQ(b.client.ReadPays(value), 0);
    EXPECT_EQ(value, L"CH");
    EXPECT_EQ(b.client.ReadRaisonSociale(value), 0);
    EXPECT_EQ(value, L"Caf\u00e9 & Co");
    // A fresh record answers empty values.
    EXPECT_EQ(b.client.ReadPPIDate(value), 0);
    EXPECT_EQ(value, L"");
}

TEST(PointServicePlugin, RefusalsCarryTheirCodeAndMessage) {
    TempTree tree;
    struct Case {
        const char* service;
        const char* field;  // null: no field parameter
        const wchar_t* value;
        int code;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"WriteDataPointService", "NoSuchField", L"x", 3, L"Unknown field NoSuchField"},
        {"ReadDataPointService", "codeclient", nullptr, 3, L"Unknown field codeclient"},
        {"WriteDataPointService", "DateModif", L"x", 4, L"Field DateModif cannot be written"},
        {"WriteDataPointService", "Langue", L"x", 4, L"Field Langue cannot be written"},
        {"WriteDataPointService", "LanguePays", L"FRA", 5, L"LanguePays needs 4 characters"},
        {"ReadDataPointService", nullptr, nullptr, 2, L"No field name in the request"},
        {"WriteDataPointService", "Email", nullptr, 5, L"No value in the request"},
        {"DeleteDataPointService", "CodeClient", nullptr, 1, L"Unknown service"},
    };
    for (const Case& c : cases) {
        Bound<PointServiceClient> b(POINT_PLUGIN, pointservice::kModuleName);
        b.client.SetServiceName(Widen(c.service));
        if (c.field)
            b.client.SetParameter(pointservice::kFieldNameKey, Widen(c.field));
        if (c.value)
            b.client.SetParameter(pointservice::kValueKey, c.value);
        std::wstring text;
        EXPECT_EQ(b.client.SendRequest(text), c.code)
            << c.service << " " << (c.field ? c.field : "");
        CPluginRequest response{std::wstring_view(text)};
        std::wstring message, code;
        response.GetParameter(kMessageKey, message);
        response.GetParameter(kReturnCodeKey, code);
        EXPECT_EQ(code, std::to_wstring(c.code));
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << Narrow(message);
    }
    // A value too long for the record.
    std::wstring message;
    EXPECT_EQ(Write("Email", std::wstring(2000, L'a'), &message), 5);
    EXPECT_EQ(Read("Email"), L"");
}

// One write of several fields is one transaction: a field that cannot be written anywhere in
// it leaves every field as it was.
TEST(PointServicePlugin, AWriteOfSeveralFieldsIsAllOrNothing) {
    TempTree tree;
    ASSERT_EQ(Write("CodeClient", L"old"), 0);
    ASSERT_EQ(Write("Email", L"old@example.net"), 0);
    struct Row {
        std::vector<std::pair<const char*, const wchar_t*>> fields;
        int code;
        const wchar_t* codeClient;
        const wchar_t* email;
    } rows[] = {
        {{{"CodeClient", L"NEWCO"}, {"NoSuchField", L"x"}}, 3, L"old", L"old@example.net"},
        {{{"CodeClient", L"NEWCO"}, {"LanguePays", L"FRA"}}, 5, L"old", L"old@example.net"},
        {{{"CodeClient", L"NEWCO"}, {"Email", nullptr}}, 5, L"old", L"old@example.net"},
        {{}, 2, L"old", L"old@example.net"},
        {{{"CodeClient", L"NEWCO"}, {"Email", L"new@example.net"}, {"LanguePays", L"FRFR"}},
         0,
         L"NEWCO",
         L"new@example.net"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        Bound<PointServiceClient> b(POINT_PLUGIN, pointservice::kModuleName);
        b.client.SetServiceName(pointservice::kWriteManyService);
        for (size_t n = 0; n < row.fields.size(); ++n) {
            const std::wstring suffix = L"_" + std::to_wstring(n + 1);
            b.client.SetParameter(std::wstring(pointservice::kFieldNameKey) + suffix,
                                  Widen(row.fields[n].first));
            if (row.fields[n].second)
                b.client.SetParameter(std::wstring(pointservice::kValueKey) + suffix,
                                      row.fields[n].second);
        }
        std::wstring text;
        EXPECT_EQ(b.client.SendRequest(text), row.code) << Narrow(text);
        EXPECT_EQ(Read("CodeClient"), row.codeClient);
        EXPECT_EQ(Read("Email"), row.email);
    }
    EXPECT_EQ(Read("LanguePays"), L"FRFR");
}

TEST(PointServicePlugin, BrokenStorageGivesACodeAndKeepsTheRecord) {
    TempTree tree;
    ASSERT_EQ(Write("CodeClient", L"before"), 0);

    // Locked by another writer past the plug-in's patience.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(tree.Path(kDatabase).c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        std::wstring message;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Write("CodeClient", L"while locked", &message), 6);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(message.rfind(L"Storage failure: ", 0), 0u) << Narrow(message);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    EXPECT_EQ(Read("CodeClient"), L"before");

    // Read-only (only meaningful when file modes bind us).
    if (geteuid() != 0) {
        std::filesystem::permissions(tree.Path(kDatabase), std::filesystem::perms::owner_read);
        std::filesystem::permissions(tree.Path("data"), std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
        EXPECT_EQ(Write("CodeClient", L"read-only"), 6);
        EXPECT_EQ(Read("CodeClient"), L"before");
        std::filesystem::permissions(tree.Path("data"), std::filesystem::perms::owner_all);
        std::filesystem::permissions(tree.Path(kDatabase), std::filesystem::perms::owner_read |
                                                               std::filesystem::perms::owner_write);
    }

    // A stored value that the text form cannot carry, put there by another program.
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(tree.Path(kDatabase).c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "UPDATE PointService SET Fax = 'x@@@LMQ_PLUGIN_RESPONSE_RETURN_CODE=0'",
                     nullptr, nullptr, nullptr);
        sqlite3_close(db);
        Bound<PointServiceClient> b(POINT_PLUGIN, pointservice::kModuleName);
        std::wstring value;
        EXPECT_EQ(b.client.ReadFax(value), 91);
        EXPECT_EQ(value.find(L"@@@"), std::wstring::npos);
    }

    // Corrupt.
    tree.Write(kDatabase, std::string(4096, '\x5a'));
    std::wstring message;
    EXPECT_EQ(Write("CodeClient", L"x", &message), 6);
    EXPECT_NE(message.find(L"Storage failure"), std::wstring::npos);
    Bound<PointServiceClient> b(POINT_PLUGIN, pointservice::kModuleName);
    std::wstring value;
    EXPECT_EQ(b.client.ReadCodeClient(value), 6);

    // No data folder at all.
    std::filesystem::remove_all(tree.Path("data"));
    EXPECT_EQ(Write("CodeClient", L"x"), 6);
}

namespace {

int gSignalFd = -1;

// Runs inside the plug-in's COMMIT: tell the parent, then wait to be killed.
int StallInCommit(void*) {
    char c = 'x';
    ssize_t ignored = write(gSignalFd, &c, 1);
    (void)ignored;
    for (;;)
        pause();
    return 0;
}

int InstallStall(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_commit_hook(db, &StallInCommit, nullptr);
    return SQLITE_OK;
}

}  // namespace

TEST(PointServicePlugin, AKilledWriteLeavesThePreviousRecord) {
    TempTree tree;
    ASSERT_EQ(Write("CodeClient", L"old code"), 0);
    ASSERT_EQ(Write("LanguePays", L"itIT"), 0);
    std::wstring date = Read("HeureModif");

    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        gSignalFd = fds[1];
        // The plug-in uses the same SQLite library: every connection it opens gets the hook.
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&InstallStall));
        PointServiceClient c;
        c.SetLibraryPath(Widen(POINT_PLUGIN));
        c.WriteLanguePays(L"ja", L"JP");
        _exit(3);  // the hook never lets the write finish
    }
    close(fds[1]);
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    close(fds[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(Read("Langue"), L"it");
    EXPECT_EQ(Read("Pays"), L"IT");
    EXPECT_EQ(Read("LangueISO"), L"it");
    EXPECT_EQ(Read("CodeClient"), L"old code");
    EXPECT_EQ(Read("HeureModif"), date);
    ASSERT_EQ(Write("LanguePays", L"esES"), 0);
    EXPECT_EQ(Read("Pays"), L"ES");
}

// ---------------------------------------------------------------------------------------------
// Miscellaneous plug-in

TEST(MiscPlugin, InternetTestConnectsToTheUrlsHostAndPort) {
    TempTree tree;
    Listener listener;
    int closed = ClosedPort();
    struct Case {
        std::wstring url;
        int code;
    };
    const Case cases[] = {
        {L"http://127.0.0.1:" + std::to_wstring(listener.port) + L"/index.html", 0},
        {L"127.0.0.1:" + std::to_wstring(listener.port), 0},
        {L"https://user@127.0.0.1:" + std::to_wstring(listener.port) + L"?q", 0},
        {L"http://127.0.0.1:" + std::to_wstring(closed), 3},
        {L"", 2},
        {L"http://", 2},
        {L"http://127.0.0.1:99999", 2},
        {L"http://127.0.0.1:port", 2},
        {L"http://[::1", 2},
        {std::wstring(5000, L'@'), 2},
    };
    for (const Case& c : cases) {
        Bound<MiscServiceClient> b(MISC_PLUGIN, miscservice::kModuleName);
        std::wstring message;
        EXPECT_EQ(b.client.TestInternetService(c.url, message), c.code)
            << Narrow(c.url) << ": " << Narrow(message);
        EXPECT_FALSE(message.empty());
    }
}

TEST(MiscPlugin, DefaultListTriesEachUrlInTurn) {
    TempTree tree;
    Listener listener;
    Bound<MiscServiceClient> b(MISC_PLUGIN, miscservice::kModuleName);
    std::wstring message;
    EXPECT_EQ(b.client.TestInternetService_defaultListURL(message), 2);  // no configuration

    std::string closed = "http://127.0.0.1:" + std::to_string(ClosedPort());
    tree.Write("config/noxMiscPlugin.ini",
               "[TestInternet]\nTimeout=500\nURL.1=" + closed +
                   "\nURL.2=127.0.0.1:" + std::to_string(listener.port) + "\n");
    EXPECT_EQ(b.client.TestInternetService_defaultListURL(message), 0) << Narrow(message);
    EXPECT_NE(message.find(Widen(std::to_string(listener.port))), std::wstring::npos);

    tree.Write("config/noxMiscPlugin.ini", "[TestInternet]\nURL.1=" + closed + "\n");
    EXPECT_EQ(b.client.TestInternetService_defaultListURL(message), 3) << Narrow(message);
}

TEST(MiscPlugin, AConnectionThatHangsEndsAtTheTimeOut) {
    TempTree tree;
    // A listener that never accepts: once its queue is full, further attempts wait.
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(fd, 0), 0);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    int fillers[4];
    for (int& f : fillers) {
        f = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    usleep(50000);
    tree.Write("config/noxMiscPlugin.ini", "[TestInternet]\nTimeout=300\n");
    Bound<MiscServiceClient> b(MISC_PLUGIN, miscservice::kModuleName);
    std::wstring message;
    auto start = std::chrono::steady_clock::now();
    int code = b.client.TestInternetService(
        L"http://127.0.0.1:" + std::to_wstring(ntohs(a.sin_port)), message);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(2));
    if (code == 0)
        GTEST_SKIP() << "the kernel accepted past the backlog";
    EXPECT_EQ(code, 4) << Narrow(message);
    for (int f : fillers)
        close(f);
    close(fd);
}

TEST(MiscPlugin, WorkstationQuestions) {
    TempTree tree;
    Bound<MiscServiceClient> b(MISC_PLUGIN, miscservice::kModuleName);
    MiscServiceClient& c = b.client;

    std::wstring message;
    EXPECT_EQ(c.getFreeDiskSpaceService(Widen(tree.Root()), message), 0);
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(message.find_first_not_of(L"0123456789"), std::wstring::npos);
    EXPECT_EQ(c.getFreeDiskSpaceService(L"C:\\", message), 0);
    EXPECT_EQ(c.getFreeDiskSpaceService(L"..\\data", message), 0);
    EXPECT_EQ(c.getFreeDiskSpaceService(L"/no/such/disk", message), 3);
    EXPECT_EQ(c.getFreeDiskSpaceService(L"", message), 2);

    std::wstring version = c.getLMQVersionService();
    EXPECT_EQ(version, L"Version " + Widen(QV_VERSION) + L" Release");
    EXPECT_EQ(MakeVersionTitle(version), L"VEK " + Widen(QV_VERSION));

    char* root = realpath(tree.Root().c_str(), nullptr);
    EXPECT_EQ(c.getPathInstallService(), Widen(root));
    std::free(root);

    tree.Write("config/manager.ini", "[General]\nkey=top\n[Sect]\nkey=inner\n");
    EXPECT_EQ(c.getFileKeyService(L"..\\config\\manager.ini", L"key"), L"top");
    EXPECT_EQ(c.getFileSectionKeyService(L"..\\config\\manager.ini", L"Sect", L"KEY"), L"inner");
    EXPECT_EQ(c.getFileSectionKeyService(L"..\\config\\manager.ini", L"Sect", L"nokey"),
              L"Key nokey not found in [Sect] of ..\\config\\manager.ini");
    EXPECT_EQ(c.GetLastReturnCode(), 6);
    c.getFileKeyService(L"..\\config\\absent.ini", L"key");
    EXPECT_EQ(c.GetLastReturnCode(), 6);
    c.getFileKeyService(L"", L"key");
    EXPECT_EQ(c.GetLastReturnCode(), 2);

    EXPECT_EQ(c.updateCertificatSSLService(), 5);
    EXPECT_NE(c.GetLastMessage().find(L"not available on this platform"), std::wstring::npos);
    EXPECT_EQ(c.getMasterVersionService(L"x"),
              L"getMasterVersionService is not available on this platform");
    EXPECT_EQ(c.GetLastReturnCode(), 5);

    c.SetServiceName(L"noSuchService");
    std::wstring text;
    EXPECT_EQ(c.SendRequest(text), 1);
    EXPECT_NE(tree.Read("Log/1_QV.log").find("[noxMiscPlugin]"), std::string::npos);
}
