#pragma once
// The rotating log: every component owns a CLog with its own tag; all of them append to one set
// of files "<dir><n>_<base>" (n = 1 .. file count), used in turn.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

enum LogLevel : unsigned {
    LOG_EMERG = 0,
    LOG_ALERT = 1,
    LOG_CRIT = 2,
    LOG_ERR = 3,
    LOG_WARNING = 4,
    LOG_NOTICE = 5,
    LOG_INFO = 6,
    LOG_DEBUG = 7,
};

// Size limit and file count every logger of the system is created with.
inline constexpr int32_t kLogSizeKb = 3072;
inline constexpr uint32_t kLogFileCount = 3;

// Name written in the line for a level ("EMERG" ... "DEBUG"; errors are "ERR").
const char* LogLevelName(unsigned level);

// One open file of the set.
class CLogFile {
  public:
    // sizeLimitKb of 0 means 1000 KB. The file is created if absent (mode 0600) and never
    // truncated here.
    CLogFile(std::string path, int32_t sizeLimitKb);
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }
    // Size limit minus current length; -1 when no file is open.
    int64_t Room() const;
    // 0, or the errno of a write that failed or stopped short (ENOSPC when nothing moved).
    int WriteLine(std::string_view bytes);
    void Empty();

  private:
    std::string path_;
    bool enabled_ = true;
    int64_t limitBytes_;
    int fd_ = -1;
};

class CLog {
  public:
    // dir includes its trailing separator ("..\Log\"); paths are native-converted on open.
    CLog(std::string dir, std::string baseName, int32_t sizeLimitKb, std::string tag,
         uint32_t fileCount, uint32_t level);
    CLog(std::wstring_view dir, std::wstring_view baseName, int32_t sizeLimitKb,
         std::wstring_view tag, uint32_t fileCount, uint32_t level);
    ~CLog();
    CLog(const CLog&) = delete;
    CLog& operator=(const CLog&) = delete;

    // The process-wide logger that writes nothing and opens no file: what code that needs a
    // logger is handed where there is none (before start-up, after release), so that whether
    // a logger exists never decides what the code does.
    static CLog& Quiet();

    void Emerg(std::string_view msg) { Write(LOG_EMERG, msg); }
    void Alert(std::string_view msg) { Write(LOG_ALERT, msg); }
    void Crit(std::string_view msg) { Write(LOG_CRIT, msg); }
    void Err(std::string_view msg) { Write(LOG_ERR, msg); }
    void Warning(std::string_view msg) { Write(LOG_WARNING, msg); }
    void Notice(std::string_view msg) { Write(LOG_NOTICE, msg); }
    void Info(std::string_view msg) { Write(LOG_INFO, msg); }
    void Debug(std::string_view msg) { Write(LOG_DEBUG, msg); }

    void Emerg(std::wstring_view msg) { Write(LOG_EMERG, msg); }
    void Alert(std::wstring_view msg) { Write(LOG_ALERT, msg); }
    void Crit(std::wstring_view msg) { Write(LOG_CRIT, msg); }
    void Err(std::wstring_view msg) { Write(LOG_ERR, msg); }
    void Warning(std::wstring_view msg) { Write(LOG_WARNING, msg); }
    void Notice(std::wstring_view msg) { Write(LOG_NOTICE, msg); }
    void Info(std::wstring_view msg) { Write(LOG_INFO, msg); }
    void Debug(std::wstring_view msg) { Write(LOG_DEBUG, msg); }

    void Write(unsigned level, std::string_view msg);
    void Write(unsigned level, std::wstring_view msg);

    bool Enabled(unsigned level) const { return level <= level_; }
    uint32_t Level() const { return level_; }
    uint32_t CurrentIndex() const { return index_; }
    const std::string& Tag() const { return tag_; }
    const std::string& Directory() const { return dir_; }
    const std::string& BaseName() const { return baseName_; }
    int32_t SizeLimitKb() const { return sizeLimitKb_; }
    uint32_t FileCount() const { return fileCount_; }
    std::string FilePath(uint32_t index) const;

    // Longest line written, CR LF included.
    static constexpr size_t kMaxLineBytes = 1024;

  private:
    struct QuietTag {};
    explicit CLog(QuietTag);
    void OpenCurrent();
    void Advance();

    std::string tag_;
    std::unique_ptr<CLogFile> file_;
    uint32_t fileCount_;
    uint32_t level_;
    int32_t sizeLimitKb_;
    std::string baseName_;
    std::string dir_;
    uint32_t index_ = 1;
    bool openFailureShown_ = false;
    bool writeFailureShown_ = false;
};

// Time stamp of a line: "%y/%m/%d %H:%M:%S  " in local time.
std::string LogTimeStamp();
