#include "automate/RunJournal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "base/Log.h"
#include "base/Profile.h"
#include "base/Text.h"
#include "platform/Desktop.h"
#include "platform/Files.h"

namespace {

constexpr std::string_view kMagic = "quilvane-journal 1";
constexpr std::string_view kTypes[] = {"INT", "LONG", "PTR", "STRING", "VOID"};

struct Fnv {
    uint64_t h = 14695981039346656037ULL;
    void Add(std::string_view bytes) {
        for (unsigned char c : bytes) {
            h ^= c;
            h *= 1099511628211ULL;
        }
    }
    // Fields end with a NUL, so "ab"+"c" and "a"+"bc" differ.
    void Field(std::string_view bytes) {
        Add(bytes);
        Add(std::string_view("\0", 1));
    }
};

uint64_t Checksum(std::string_view bytes) {
    Fnv f;
    f.Add(bytes);
    return f.h;
}

std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    if (bytes.empty())
        return "-";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool Unhex(std::string_view text, size_t maxBytes, std::string* out) {
    out->clear();
    if (text == "-")
        return true;
    if (text.empty() || text.size() % 2 != 0 || text.size() / 2 > maxBytes)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = HexDigit(text[i]), lo = HexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        *out += static_cast<char>(hi << 4 | lo);
    }
    return true;
}

template <typename T>
bool Number(std::string_view text, T* out, int base = 10) {
    if (text.empty() || text.size() > 20)
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out, base);
    return ec == std::errc() && end == text.data() + text.size();
}

// The next line (without its '\n'); false when no whole line is left.
bool NextLine(std::string_view& rest, std::string_view* line) {
    size_t nl = rest.find('\n');
    if (nl == std::string_view::npos)
        return false;
    *line = rest.substr(0, nl);
    rest.remove_prefix(nl + 1);
    return true;
}

// "word value": the value after the word and one blank.
bool Field(std::string_view line, std::string_view word, std::string_view* value) {
    if (line.size() <= word.size() || line.substr(0, word.size()) != word ||
        line[word.size()] != ' ')
        return false;
    *value = line.substr(word.size() + 1);
    return true;
}

std::string TypeOf(const CAutomateContext& context, int i) {
    std::string_view known = context.TypeOf(i);
    if (!known.empty())
        return std::string(known);
    // A context made from an image knows sizes only.
    switch (context.Image().sizes[i]) {
        case QV_INT_SIZE:
            return "INT";
        case QV_STRING_SIZE:
            return "STRING";
        case QV_VOID_SIZE:
            return "VOID";
        default:
            return context.Image().sizes[i] == QV_PTR_SIZE ? "PTR" : "";
    }
}

std::string NameOf(const ContextImage& image, int i) {
    return std::string(image.names[i], strnlen(image.names[i], QV_NAME_SIZE));
}

}  // namespace

std::string EncodeJournal(const JournalContents& j) {
    std::string out;
    out += kMagic;
    out += "\nmode " + j.mode;
    out += StrFormat("\nconfiguration %016llx", static_cast<unsigned long long>(j.configuration));
    out += StrFormat("\nwritten %lld", static_cast<long long>(j.writtenAt));
    out += StrFormat("\nstates %d %d\nresumes %d\n", j.currentState, j.lastState, j.resumes);
    for (const JournalProperty& p : j.properties)
        out += "property " + p.type + " " + Hex(p.name) + " " + Hex(p.value) + "\n";
    out += StrFormat("end %zu\n", j.properties.size());
    out += StrFormat("checksum %016llx\n", static_cast<unsigned long long>(Checksum(out)));
    return out;
}

std::string DecodeJournal(std::string_view bytes, JournalContents* out) {
    if (bytes.size() > kJournalMaxBytes)
        return "over the size limit";
    *out = JournalContents{};
    std::string_view rest = bytes, line, value;
    if (!NextLine(rest, &line) || line != kMagic)
        return "not a journal";
    if (!NextLine(rest, &line) || !Field(line, "mode", &value) ||
        (value != "installation" && value != "reconfiguration"))
        return "no mode";
    out->mode = std::string(value);
    if (!NextLine(rest, &line) || !Field(line, "configuration", &value) || value.size() != 16 ||
        !Number(value, &out->configuration, 16))
        return "no configuration";
    if (!NextLine(rest, &line) || !Field(line, "written", &value) ||
        !Number(value, &out->writtenAt))
        return "no time";
    if (!NextLine(rest, &line) || !Field(line, "states", &value))
        return "no states";
    size_t blank = value.find(' ');
    if (blank == std::string_view::npos || !Number(value.substr(0, blank), &out->currentState) ||
        !Number(value.substr(blank + 1), &out->lastState) || out->currentState < 0 ||
        out->currentState > kMaxStateNumber || out->lastState < -1 ||
        out->lastState > kMaxStateNumber)
        return "no states";
    if (!NextLine(rest, &line) || !Field(line, "resumes", &value) ||
        !Number(value, &out->resumes) || out->resumes < 0)
        return "no resume count";
    for (;;) {
        if (!NextLine(rest, &line))
            return "cut short";
        if (!Field(line, "property", &value))
            break;
        if (out->properties.size() >= QV_MAX_PROPERTIES)
            return "too many properties";
        size_t b1 = value.find(' ');
        size_t b2 = b1 == std::string_view::npos ? b1 : value.find(' ', b1 + 1);
        if (b2 == std::string_view::npos)
            return "bad property";
        JournalProperty p;
        p.type = std::string(value.substr(0, b1));
        if (std::find(std::begin(kTypes), std::end(kTypes), p.type) == std::end(kTypes))
            return "bad property type";
        if (!Unhex(value.substr(b1 + 1, b2 - b1 - 1), QV_NAME_SIZE - 1, &p.name) ||
            p.name.empty() || p.name.find('\0') != std::string::npos ||
            !Unhex(value.substr(b2 + 1), QV_VOID_SIZE, &p.value))
            return "bad property";
        out->properties.push_back(std::move(p));
    }
    size_t count = 0;
    if (!Field(line, "end", &value) || !Number(value, &count) || count != out->properties.size())
        return "cut short";
    const size_t summed = bytes.size() - rest.size();
    uint64_t sum = 0;
    if (!NextLine(rest, &line) || !Field(line, "checksum", &value) || value.size() != 16 ||
        !Number(value, &sum, 16) || !rest.empty())
        return "cut short";
    if (sum != Checksum(bytes.substr(0, summed)))
        return "bad checksum";
    return {};
}

uint64_t ConfigurationHash(const std::vector<AutomateState>& states,
                           const CAutomateContext& context) {
    Fnv f;
    for (size_t n = 0; n < states.size(); ++n) {
        const AutomateState& s = states[n];
        if (s.action.empty())
            continue;
        f.Field(std::to_string(n));
        f.Field(s.action);
        for (const std::string& e : s.events)
            f.Field(e);
        f.Field(std::to_string(s.eventDefault));
    }
    f.Field("context");
    const ContextImage& image = context.Image();
    for (int i = 0; i < std::clamp(image.count, 0, QV_MAX_PROPERTIES); ++i) {
        f.Field(NameOf(image, i));
        f.Field(TypeOf(context, i));
        f.Field(std::to_string(image.sizes[i]));
    }
    return f.h;
}

std::vector<JournalProperty> CaptureProperties(const CAutomateContext& context) {
    std::vector<JournalProperty> out;
    const ContextImage& image = context.Image();
    for (int i = 0; i < std::clamp(image.count, 0, QV_MAX_PROPERTIES); ++i) {
        JournalProperty p{NameOf(image, i), TypeOf(context, i), {}};
        const auto* value = reinterpret_cast<const char*>(image.addresses[i]);
        if (value && p.type != "PTR") {
            size_t size = static_cast<size_t>(std::clamp(image.sizes[i], 0, QV_VOID_SIZE));
            while (size > 0 && value[size - 1] == '\0')
                --size;
            p.value.assign(value, size);
        }
        out.push_back(std::move(p));
    }
    return out;
}

std::string RestoreProperties(const std::vector<JournalProperty>& properties,
                              CAutomateContext& context) {
    const ContextImage& image = context.Image();
    if (static_cast<int>(properties.size()) != image.count)
        return StrFormat("%zu properties for %d", properties.size(), image.count);
    for (int i = 0; i < image.count; ++i) {
        const JournalProperty& p = properties[static_cast<size_t>(i)];
        if (p.name != NameOf(image, i) || p.type != TypeOf(context, i) ||
            p.value.size() > static_cast<size_t>(std::max(image.sizes[i], 0)) ||
            !image.addresses[i])
            return StrFormat("property %d is not %s", i + 1, p.name.c_str());
    }
    for (int i = 0; i < image.count; ++i) {
        const JournalProperty& p = properties[static_cast<size_t>(i)];
        auto* value = reinterpret_cast<char*>(image.addresses[i]);
        std::memset(value, 0, static_cast<size_t>(image.sizes[i]));
        if (p.type != "PTR")
            std::memcpy(value, p.value.data(), p.value.size());
    }
    for (const char* transient : {ctx::kLastEvent, ctx::kNextState, ctx::kGui}) {
        int i = context.Find(transient, 1);
        if (i >= 0)
            std::memset(reinterpret_cast<char*>(image.addresses[i]), 0,
                        static_cast<size_t>(image.sizes[i]));
    }
    return {};
}

JournalFile ReadJournalFile(const std::string& path, std::string* bytes, std::string* why) {
    bytes->clear();
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 && errno == ENOENT)
        return JournalFile::Missing;
    if (!platform::ReadRegularFile(path, kJournalMaxBytes, bytes, why, platform::FileLinks::Refuse))
        return JournalFile::Refused;
    return JournalFile::Read;
}

JournalSettings ReadJournalSettings(const std::string& paramsPath) {
    JournalSettings s;
    char value[kProfileValueMax + 1];
    if (ReadIniString(paramsPath.c_str(), "PARAMS", "Resume", value) == 0)
        s.enabled = std::strcmp(value, "1") == 0 || EqualsNoCase(value, "true") ||
                    EqualsNoCase(value, "yes") || EqualsNoCase(value, "on");
    if (ReadIniString(paramsPath.c_str(), "PARAMS", "ResumeMaxAgeMinutes", value) == 0) {
        int32_t minutes = ParseDecimal(value);
        if (minutes > 0)
            s.maxAgeMinutes = minutes;
    }
    return s;
}

CRunJournal::CRunJournal(std::string path, std::string mode, uint64_t configuration,
                         CAutomateContext& context, CLog* log)
    : path_(std::move(path)),
      mode_(std::move(mode)),
      configuration_(configuration),
      context_(context),
      log_(log) {}

CRunJournal::~CRunJournal() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (flusher_.joinable())
        flusher_.join();
}

void CRunJournal::Flushing() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return flushPending_ || stopping_; });
        if (!flushPending_)
            return;
        flushPending_ = false;
        lock.unlock();
        // Whichever journal the path holds now is the latest one written.
        const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0) {
            fsync(fd);
            close(fd);
        }
        platform::FlushDirectoryOf(path_);
        lock.lock();
    }
}

int CRunJournal::Save(int32_t current, int32_t last, int32_t resumes) {
    JournalContents j{mode_, configuration_, static_cast<int64_t>(time(nullptr)), current,
                      last,  resumes,        CaptureProperties(context_)};
    int err = platform::ReplaceFileUnflushed(path_, EncodeJournal(j), 0600);
    if (err == ENOENT) {
        // A fresh tree may have no data folder yet.
        size_t slash = path_.find_last_of('/');
        if (slash != std::string::npos && slash > 0 &&
            mkdir(path_.substr(0, slash).c_str(), 0700) == 0)
            err = platform::ReplaceFileUnflushed(path_, EncodeJournal(j), 0600);
    }
    if (err == 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            flushPending_ = true;
        }
        if (!flusher_.joinable())
            flusher_ = std::thread([this] { Flushing(); });
        wake_.notify_one();
    }
    if (err != 0 && !failing_ && log_)
        log_->Warning(StrFormat("Journal %s not written : %s", path_.c_str(), std::strerror(err)));
    failing_ = err != 0;
    return err;
}

void CRunJournal::Remove() {
    if (unlink(path_.c_str()) == 0 && log_)
        log_->Debug("Journal removed : " + path_);
}

void CRunJournal::Reject(const std::string& why) {
    const std::string aside = path_ + ".rejected";
    const bool moved = std::rename(path_.c_str(), aside.c_str()) == 0;
    if (!moved)
        unlink(path_.c_str());
    if (log_)
        log_->Warning(StrFormat("Journal %s not resumed (%s) : %s %s", path_.c_str(), why.c_str(),
                                moved ? "set aside as" : "removed, not renamed to", aside.c_str()));
}

CRunJournal::Found CRunJournal::Load(int maxAgeMinutes, int64_t now, JournalContents* out) {
    std::string bytes, why;
    switch (ReadJournalFile(path_, &bytes, &why)) {
        case JournalFile::Missing:
            return Found::None;
        case JournalFile::Refused:
            Reject(why);
            return Found::Rejected;
        case JournalFile::Read:
            break;
    }
    if (std::string torn = DecodeJournal(bytes, out); !torn.empty()) {
        Reject("torn: " + torn);
        return Found::Rejected;
    }
    const int64_t limit = static_cast<int64_t>(std::max(maxAgeMinutes, 1)) * 60;
    if (out->mode != mode_) {
        Reject("written by a " + out->mode + " run");
    } else if (out->configuration != configuration_) {
        Reject("written with another configuration");
    } else if (now - out->writtenAt > limit) {
        Reject(StrFormat("older than %d minutes", maxAgeMinutes));
    } else if (out->writtenAt - now > 300) {
        Reject("written in the future");
    } else {
        return Found::Usable;
    }
    return Found::Rejected;
}
