// The reference miscellaneous-services plug-in.
//
// Services and their Linux meaning:
//   TestInternetService            TCP connection to the host and port of
//                                  "MISC_LMQ_PLUGIN_TEST_URL_PARAMETER" ("scheme://host:port/...",
//                                  "host:port" or "host"; http 80, https 443, ftp 21, else 80)
//   TestInternetService_defaultListURL  the same for "URL.1", "URL.2", ... (up to 20) of section
//                                  "TestInternet" of "..\config\noxMiscPlugin.ini"; the first
//                                  that answers wins
//   getFreeDiskSpaceService        bytes free for ordinary users on the file system holding
//                                  "MISC_LMQ_PLUGIN_DISK_NAME_PARAMETER" (a drive name such as
//                                  "C:" means "/")
//   getLMQVersionService           "Version <x.y.z> Release"
//   getPathInstallService          the runtime tree: the parent of the program directory
//   getFileKeyService              key "MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER" of section
//                                  "General" of profile file
//                                  "MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER"
//   getFileSectionKeyService       the same in section "MISC_LMQ_PLUGIN_FILE_SECTION_PARAMETER"
//   getLmqPluginVersionService     the plug-in's version
//   getInternetAccountService, getJavaJreVersionService, getLastRapideRestoreDateService,
//   getRapideRestoreLastSaveDateService, getMasterVersionService, updateCertificatSSLService:
//                                  not available on this platform (code 5)
//
// Time-outs: a connection attempt, name look-up included, lasts at most "Timeout" ms (section
// "TestInternet", default 3000, 50 to 30000); the default list stops after "ListTimeout" ms
// (default 10000, at most 60000). Every other service answers without waiting.
//
// Return codes: 0 success; 1 unknown service; 2 a parameter is missing or unusable; 3 the
// connection or the query failed; 4 time-out; 5 not available on this platform; 6 key not
// found; 90 / 91 unexpected failure / a reply the text form cannot carry.
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

#include "base/Profile.h"
#include "base/Text.h"
#include "platform/Paths.h"
#include "plugins/common/PluginServer.h"

namespace {

using qvplugin::Fail;
using qvplugin::Reply;
using Clock = std::chrono::steady_clock;

constexpr char kTag[] = "noxMiscPlugin";
constexpr char kConfigFile[] = "..\\config\\noxMiscPlugin.ini";
constexpr int kMaxListUrls = 20;

enum : int32_t {
    kOk = 0,
    kUnknownService = 1,
    kBadParameter = 2,
    kFailed = 3,
    kTimedOut = 4,
    kNotAvailable = 5,
    kNotFound = 6,
};

std::wstring Param(const CPluginRequest& request, const wchar_t* key) {
    std::wstring value;
    request.GetParameter(key, value);
    return value;
}

int ConfigNumber(const wchar_t* key, int def, int low, int high) {
    std::wstring text = ReadProfileString(kConfigFile, L"TestInternet", key, L"");
    if (text.empty())
        return def;
    int value = ParseDecimal(text);
    return std::clamp(value, low, high);
}

struct Endpoint {
    std::string host;
    std::string port;
};

// "scheme://user@host:port/path", "[v6]:port", "host:port" or "host".
bool ParseUrl(const std::string& url, Endpoint& out) {
    std::string rest = url;
    std::string port = "80";
    size_t scheme = rest.find("://");
    if (scheme != std::string::npos) {
        std::string name = rest.substr(0, scheme);
        for (char& c : name)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        port = name == "https" ? "443" : name == "ftp" ? "21" : "80";
        rest = rest.substr(scheme + 3);
    }
    rest = rest.substr(0, rest.find_first_of("/?#"));
    size_t at = rest.rfind('@');
    if (at != std::string::npos)
        rest = rest.substr(at + 1);
    std::string host;
    if (!rest.empty() && rest.front() == '[') {
        size_t close = rest.find(']');
        if (close == std::string::npos)
            return false;
        host = rest.substr(1, close - 1);
        rest = rest.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return false;
            port = rest.substr(1);
        }
    } else {
        size_t colon = rest.find(':');
        host = rest.substr(0, colon);
        if (colon != std::string::npos)
            port = rest.substr(colon + 1);
    }
    if (host.empty() || port.empty() || port.size() > 5 ||
        port.find_first_not_of("0123456789") != std::string::npos)
        return false;
    long number = std::strtol(port.c_str(), nullptr, 10);
    if (number < 1 || number > 65535)
        return false;
    out.host = host;
    out.port = port;
    return true;
}

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(std::min<int64_t>(left.count(), INT_MAX));
}

// Name look-up bounded by the deadline. A numeric address needs no look-up; a name goes to the
// resolver without blocking this thread past the deadline.
int Resolve(const Endpoint& ep, Clock::time_point deadline, addrinfo** result) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (getaddrinfo(ep.host.c_str(), ep.port.c_str(), &hints, result) == 0)
        return kOk;

    struct Pending {
        std::string host, port;
        addrinfo hints{};
        gaicb cb{};
    };
    auto* p = new Pending{ep.host, ep.port, {}, {}};
    p->hints.ai_socktype = SOCK_STREAM;
    p->hints.ai_flags = AI_NUMERICSERV;
    p->cb.ar_name = p->host.c_str();
    p->cb.ar_service = p->port.c_str();
    p->cb.ar_request = &p->hints;
    gaicb* list[1] = {&p->cb};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
        delete p;
        return kFailed;
    }
    while (gai_error(&p->cb) == EAI_INPROGRESS) {
        int ms = RemainingMs(deadline);
        if (ms == 0)
            break;
        timespec ts{ms / 1000, (ms % 1000) * 1000000L};
        gai_suspend(list, 1, &ts);
    }
    int rc = gai_error(&p->cb);
    if (rc == EAI_INPROGRESS) {
        // The resolver's thread may still use the block: it is left to it when the request
        // cannot be cancelled.
        if (gai_cancel(&p->cb) == EAI_CANCELED)
            delete p;
        return kTimedOut;
    }
    if (rc != 0) {
        delete p;
        return kFailed;
    }
    *result = p->cb.ar_result;
    delete p;
    return kOk;
}

// One TCP connection attempt to every address of the endpoint until one answers.
int Connect(const Endpoint& ep, Clock::time_point deadline, std::string& detail) {
    addrinfo* list = nullptr;
    int rc = Resolve(ep, deadline, &list);
    if (rc != kOk) {
        detail = rc == kTimedOut ? "name look-up timed out" : "unknown host";
        return rc;
    }
    int result = kFailed;
    detail = "no address";
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        int fd =
            socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0)
            continue;
        int err = 0;
        if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            err = errno;
            if (err == EINPROGRESS) {
                pollfd pfd{fd, POLLOUT, 0};
                int ready;
                do {
                    ready = poll(&pfd, 1, RemainingMs(deadline));
                } while (ready < 0 && errno == EINTR);
                if (ready == 0) {
                    err = ETIMEDOUT;
                } else {
                    socklen_t len = sizeof err;
                    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0)
                        err = errno;
                }
            }
        }
        close(fd);
        if (err == 0) {
            result = kOk;
            detail = "connected";
            break;
        }
        result = err == ETIMEDOUT ? kTimedOut : kFailed;
        detail = std::strerror(err);
        if (RemainingMs(deadline) == 0)
            break;
    }
    freeaddrinfo(list);
    return result;
}

Reply TestUrl(const std::wstring& url, Clock::time_point deadline, CLog* log) {
    Endpoint ep;
    std::string narrow = Narrow(url);
    if (url.empty() || !ParseUrl(narrow, ep))
        return Fail(kBadParameter, L"Unusable URL \"" + url + L"\"");
    std::string detail;
    int rc = Connect(ep, deadline, detail);
    std::string where = ep.host + ":" + ep.port;
    qvplugin::LogInfo(log, "Test of " + where + ": " + detail);
    if (rc == kOk)
        return qvplugin::Ok(Widen("Connection to " + where + " succeeded"));
    return Fail(rc, Widen("Connection to " + where + " failed: " + detail));
}

Reply TestInternet(const CPluginRequest& request, CLog* log) {
    int timeout = ConfigNumber(L"Timeout", 3000, 50, 30000);
    return TestUrl(Param(request, L"MISC_LMQ_PLUGIN_TEST_URL_PARAMETER"),
                   Clock::now() + std::chrono::milliseconds(timeout), log);
}

Reply TestDefaultList(CLog* log) {
    int timeout = ConfigNumber(L"Timeout", 3000, 50, 30000);
    auto end =
        Clock::now() + std::chrono::milliseconds(ConfigNumber(L"ListTimeout", 10000, 50, 60000));
    Reply last = Fail(kBadParameter, L"No URL in " + Widen(kConfigFile));
    for (int i = 1; i <= kMaxListUrls; ++i) {
        std::wstring url = ReadProfileString(kConfigFile, L"TestInternet",
                                             L"URL." + std::to_wstring(i), Widen(kMissingKey));
        if (url == Widen(kMissingKey))
            break;
        if (RemainingMs(end) == 0)
            return Fail(kTimedOut, L"The list of URLs took too long; last: " + last.message);
        auto deadline = std::min(end, Clock::now() + std::chrono::milliseconds(timeout));
        last = TestUrl(url, deadline, log);
        if (last.code == kOk)
            return last;
    }
    return last;
}

Reply FreeDiskSpace(const CPluginRequest& request) {
    std::wstring disk = Param(request, L"MISC_LMQ_PLUGIN_DISK_NAME_PARAMETER");
    if (disk.empty())
        return Fail(kBadParameter, L"No disk name in the request");
    std::string path;
    bool drive = disk.size() >= 2 && std::iswalpha(static_cast<wint_t>(disk[0])) &&
                 disk[1] == L':' && disk.find_first_not_of(L"\\/", 2) == std::wstring::npos;
    path = drive ? "/" : platform::NativePath(Narrow(disk));
    struct statvfs st {};
    if (statvfs(path.c_str(), &st) != 0)
        return Fail(kFailed, Widen("Cannot query " + path + ": " + std::strerror(errno)));
    unsigned long long bytes =
        static_cast<unsigned long long>(st.f_bavail) * static_cast<unsigned long long>(st.f_frsize);
    return qvplugin::Ok(std::to_wstring(bytes));
}

Reply PathInstall() {
    char* dir = realpath("..", nullptr);
    if (!dir)
        return Fail(kFailed,
                    Widen(std::string("Cannot resolve the install path: ") + std::strerror(errno)));
    std::string path(dir);
    std::free(dir);
    return qvplugin::Ok(Widen(path));
}

Reply FileKey(const CPluginRequest& request, const std::wstring& section) {
    std::wstring file = Param(request, L"MISC_LMQ_PLUGIN_PATH_MANAGER_PARAMETER");
    std::wstring key = Param(request, L"MISC_LMQ_PLUGIN_PROPERTY_KEY_PARAMETER");
    if (file.empty() || key.empty() || section.empty())
        return Fail(kBadParameter, L"File, section and key are needed");
    std::wstring missing = Widen(kMissingKey);
    std::wstring value = ReadProfileString(Narrow(file), section, key, missing);
    if (value == missing)
        return Fail(kNotFound, L"Key " + key + L" not found in [" + section + L"] of " + file);
    return qvplugin::Ok(value);
}

Reply Service(const CPluginRequest& request, CLog* log) {
    const std::wstring& s = request.GetServiceName();
    if (s == L"TestInternetService")
        return TestInternet(request, log);
    if (s == L"TestInternetService_defaultListURL")
        return TestDefaultList(log);
    if (s == L"getFreeDiskSpaceService")
        return FreeDiskSpace(request);
    if (s == L"getLMQVersionService")
        return qvplugin::Ok(Widen(std::string("Version ") + QV_VERSION + " Release"));
    if (s == kVersionService)
        return qvplugin::Ok(Widen(QV_VERSION));
    if (s == L"getPathInstallService")
        return PathInstall();
    if (s == L"getFileKeyService")
        return FileKey(request, L"General");
    if (s == L"getFileSectionKeyService")
        return FileKey(request, Param(request, L"MISC_LMQ_PLUGIN_FILE_SECTION_PARAMETER"));
    for (const wchar_t* windowsOnly :
         {L"getInternetAccountService", L"getJavaJreVersionService",
          L"getLastRapideRestoreDateService", L"getRapideRestoreLastSaveDateService",
          L"getMasterVersionService", L"updateCertificatSSLService"}) {
        if (s == windowsOnly)
            return Fail(kNotAvailable, s + L" is not available on this platform");
    }
    return Fail(kUnknownService, L"Unknown service " + s);
}

}  // namespace

QV_DEFINE_SERVICE_PLUGIN(kTag, &Service)
