#pragma once
// What the setup action plug-in knows of its host: the log file, the context image, the
// service plug-ins it calls, its parameters and the language list. SDK headers only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "plugins/setup_actions/SetupLogic.h"
#include "quilvane/plugin.h"

namespace actions {

using setup::Narrow;
using setup::Widen;

inline constexpr char kTag[] = "SetupActions";
inline constexpr char kLanguageFile[] = "../config/language.ini";
inline constexpr char kCountryRulesFile[] = "../config/country_rules.ini";
inline constexpr char kPointPlugin[] = "./LMQPointServicePluginu.so";
inline constexpr char kMiscPlugin[] = "./noxMiscPluginu.so";
inline constexpr char kDefaultTarget[] = "..\\data\\target";

// ---- Log: the host's current log file, in its line format.

class Log {
  public:
    explicit Log(const char* logFile) {
        if (logFile && *logFile && !std::strchr(logFile, '/'))
            path_ = std::string("../Log/1_") + logFile;
    }
    void Info(const std::string& text) { Line("INFO", text); }
    void Warn(const std::string& text) { Line("WARNING", text); }
    void Err(const std::string& text) { Line("ERR", text); }

  private:
    void Line(const char* level, const std::string& text) {
        if (path_.empty())
            return;
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%y/%m/%d %H:%M:%S  ", &tm);
        std::string line = std::string(stamp) + "[" + kTag + "]  (" + level + ") " + text + "\r\n";
        // Never through a link, and never waiting on a FIFO: the host reports such a log.
        int fd = open(path_.c_str(),
                      O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0)
            return;
        struct stat st {};
        if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            close(fd);
            return;
        }
        ssize_t n = write(fd, line.data(), line.size());
        (void)n;
        close(fd);
    }
    std::string path_;
};

// ---- Context

class Context {
  public:
    explicit Context(const QvContextImage* image) : image_(image) {}
    int Int(const char* name, int occurrence = 1) const {
        int32_t v = 0;
        qv_get_int(image_, name, occurrence, &v);
        return v;
    }
    void SetInt(const char* name, int value, int occurrence = 1) const {
        qv_set_int(image_, name, occurrence, value);
    }
    std::string String(const char* name, int occurrence = 1) const {
        char buffer[QV_STRING_SIZE] = "";
        qv_get_string(image_, name, occurrence, buffer, sizeof buffer);
        return buffer;
    }
    void SetString(const char* name, const std::string& value, int occurrence = 1) const {
        qv_set_string(image_, name, occurrence, value.c_str());
    }
    // Fields typed on the screens are wide text in VOID properties.
    std::string Field(const char* name) const {
        wchar_t buffer[QV_VOID_SIZE / 2 + 1] = L"";
        qv_get_wide(image_, name, 1, buffer, sizeof buffer / sizeof buffer[0]);
        return Narrow(buffer);
    }
    void SetField(const char* name, const std::string& value) const {
        qv_set_wide(image_, name, 1, Widen(value).c_str());
    }

  private:
    const QvContextImage* image_;
};

void ShowScreen(const Context& c, const char* screen, const char* state);

// ---- Service plug-ins: loaded for one request, as the host does.

struct Answer {
    int code = -1;
    std::string message;
    std::string result;
};

Answer CallService(const char* path, const std::wstring& request);
Answer ReadRecord(const char* field);
// Every field of fields in one transaction of the point-of-service plug-in, or none.
Answer WriteRecords(const std::vector<std::pair<std::string, std::string>>& fields);

// ---- Settings

struct Settings {
    std::string target;  // native path
    long minFreeMb = 20;
    std::string proxyGroup;
};

Settings ReadSettings(const char* paramsFile);

// The entry number in ID_LANG, -1 when there is none.
int LanguageIndex(const Context& c);
// "fr_BE" for a French of Belgium entry: the resolved language and the entry's own country.
std::string LanguageTag(int index);

}  // namespace actions
