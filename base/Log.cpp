#include "base/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "base/Text.h"
#include "platform/Files.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"

const char* LogLevelName(unsigned level) {
    static const char* const kNames[] = {"EMERG",   "ALERT",  "CRIT", "ERR",
                                         "WARNING", "NOTICE", "INFO", "DEBUG"};
    return level < 8 ? kNames[level] : "DEBUG";
}

std::string LogTimeStamp() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char buf[32];
    size_t n = std::strftime(buf, sizeof buf, "%y/%m/%d %H:%M:%S  ", &tm);
    return std::string(buf, n);
}

CLogFile::CLogFile(std::string path, int32_t sizeLimitKb)
    : path_(std::move(path)), limitBytes_(int64_t{sizeLimitKb == 0 ? 1000 : sizeLimitKb} * 1024) {
    if (path_.empty())
        return;
    // O_APPEND keeps every write at the end even while other loggers write the same file.
    // Owner-only: the log holds what the operator typed. A link, a FIFO or a device in place of
    // the log is refused, so the log is never written outside the tree nor blocks the start.
    fd_ = platform::OpenForAppend(platform::NativePath(path_), 0600, nullptr);
}

CLogFile::~CLogFile() {
    if (fd_ >= 0)
        close(fd_);
}

int64_t CLogFile::Room() const {
    if (fd_ < 0)
        return -1;
    struct stat st {};
    if (fstat(fd_, &st) != 0)
        return -1;
    return limitBytes_ - static_cast<int64_t>(st.st_size);
}

int CLogFile::WriteLine(std::string_view bytes) {
    if (fd_ < 0 || !enabled_)
        return 0;
    while (!bytes.empty()) {
        ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

void CLogFile::Empty() {
    if (fd_ < 0)
        return;
    if (ftruncate(fd_, 0) != 0)
        return;
}

CLog::CLog(std::string dir, std::string baseName, int32_t sizeLimitKb, std::string tag,
           uint32_t fileCount, uint32_t level)
    : tag_(std::move(tag)),
      fileCount_(fileCount == 0 ? 1 : fileCount),
      level_(level),
      sizeLimitKb_(sizeLimitKb),
      baseName_(std::move(baseName)),
      dir_(std::move(dir)) {
    OpenCurrent();
}

CLog::CLog(std::wstring_view dir, std::wstring_view baseName, int32_t sizeLimitKb,
           std::wstring_view tag, uint32_t fileCount, uint32_t level)
    : CLog(Narrow(dir), Narrow(baseName), sizeLimitKb, Narrow(tag), fileCount, level) {}

// No base name: Write drops every line; level 0 is what the logger's settings ask of a
// plug-in they are handed to.
CLog::CLog(QuietTag)
    : file_(std::make_unique<CLogFile>(std::string(), 0)),
      fileCount_(1),
      level_(LOG_EMERG),
      sizeLimitKb_(0) {}

CLog& CLog::Quiet() {
    static CLog quiet{QuietTag{}};
    return quiet;
}

CLog::~CLog() = default;

std::string CLog::FilePath(uint32_t index) const {
    return dir_ + std::to_string(index) + "_" + baseName_;
}

void CLog::OpenCurrent() {
    file_.reset();
    file_ = std::make_unique<CLogFile>(FilePath(index_), sizeLimitKb_);
    if (!file_->IsOpen() && !openFailureShown_) {
        // Once per logger: a missing log directory must not turn into a box per line.
        openFailureShown_ = true;
        platform::ShowMessageBox(
            "Log", StrFormat("Unable to open Log file for writing [%s] by (%s[0x%x])",
                             file_->Path().c_str(), platform::ExecutablePath().c_str(),
                             static_cast<unsigned>(getpid())));
    }
}

void CLog::Advance() {
    index_ = index_ >= fileCount_ ? 1 : index_ + 1;
    OpenCurrent();
}

void CLog::Write(unsigned level, std::wstring_view msg) {
    if (!Enabled(level) || baseName_.empty())
        return;
    Write(level, std::string_view(Narrow(msg)));
}

void CLog::Write(unsigned level, std::string_view msg) {
    if (!Enabled(level) || baseName_.empty())
        return;

    // Look for a file with room, trying each file of the set once; with none, drop the line.
    bool found = false;
    for (uint32_t tries = 0; tries < fileCount_; ++tries) {
        if (file_->Room() > 0) {
            found = true;
            break;
        }
        Advance();
    }
    if (!found && file_->Room() <= 0)
        return;

    std::string line = LogTimeStamp();
    line += '[';
    line += tag_;
    line += "]  (";
    line += LogLevelName(level);
    line += ") ";
    // A cut line keeps its CR LF so the next line still starts on a line of its own.
    line += CutUtf8(msg, kMaxLineBytes - 2 > line.size() ? kMaxLineBytes - 2 - line.size() : 0);
    line += "\r\n";
    int error = file_->WriteLine(line);
    if (error != 0 && !writeFailureShown_) {
        // Once per logger, and never into the log itself: a full disk must not go unnoticed,
        // nor flood the terminal.
        writeFailureShown_ = true;
        std::fprintf(stderr, "Log: cannot write to %s (%s): later lines may be lost\n",
                     file_->Path().c_str(), std::strerror(error));
    }

    if (file_->Room() < 1) {
        Advance();
        if (file_->Room() < 1)
            file_->Empty();
    }
}
