#include "base/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <cwctype>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "base/Text.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

constexpr off_t kMaxProfileBytes = static_cast<off_t>(kProfileMaxBytes);

// ASCII letters fold without the locale: a Turkish one lowers 'I' to a dotless 'ı', and
// "MINFREEMB" would no longer find "MinFreeMB".
std::wstring Fold(std::wstring_view s) {
    std::wstring out(s);
    for (wchar_t& c : out) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        else if (c >= 0x80)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return out;
}

struct Section {
    std::unordered_map<std::wstring, std::wstring> keys;  // folded key -> first value
};

}  // namespace

struct ParsedProfile {
    std::unordered_map<std::wstring, std::shared_ptr<Section>> sections;  // first section wins
};

namespace {

struct FileIdentity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const FileIdentity& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// Decodes UTF-8 leniently: a byte that starts no valid sequence stands for itself (Latin-1),
// so files saved in an 8-bit code page still read.
std::wstring DecodeUtf8(const unsigned char* p, size_t n) {
    std::wstring out;
    out.reserve(n);
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        size_t len = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        char32_t cp = len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                ok = false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (ok) {
            static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            ok = cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        }
        if (!ok) {
            out.push_back(static_cast<wchar_t>(c));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(cp));
        i += len;
    }
    return out;
}

std::wstring DecodeUtf16le(const unsigned char* p, size_t n) {
    std::wstring out;
    out.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) {
        char32_t u = p[i] | (p[i + 1] << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
            char32_t lo = p[i + 2] | (p[i + 3] << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00)));
                i += 2;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            u = 0xFFFD;
        out.push_back(static_cast<wchar_t>(u));
    }
    return out;
}

std::wstring_view Trim(std::wstring_view s) {
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\0'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The one walk over a file's lines that both the reads and the listing use. Lines count from 1.
template <typename OnLine>
void ScanLines(std::wstring_view text, OnLine onLine) {
    size_t pos = 0;
    int number = 0;
    while (pos <= text.size()) {
        size_t eol = text.find(L'\n', pos);
        if (eol == std::wstring_view::npos)
            eol = text.size();
        ++number;
        ProfileLine line;
        line.line = number;
        std::wstring_view body = Trim(text.substr(pos, eol - pos));
        pos = eol + 1;
        if (body.empty() || body.front() == L';')
            continue;
        if (body.front() == L'[') {
            size_t close = body.rfind(L']');
            if (close == std::wstring_view::npos) {
                line.kind = ProfileLine::Kind::UnclosedSection;
                line.name = body;
            } else {
                line.kind = ProfileLine::Kind::Section;
                line.name = Trim(body.substr(1, close - 1));
            }
            onLine(line);
            continue;
        }
        size_t eq = body.find(L'=');
        line.kind = ProfileLine::Kind::Key;
        line.name = Trim(body.substr(0, eq));
        std::wstring_view value =
            eq == std::wstring_view::npos ? std::wstring_view{} : Trim(body.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        line.value = value;
        line.hasEquals = eq != std::wstring_view::npos;
        onLine(line);
    }
}

std::shared_ptr<ParsedProfile> Parse(std::wstring_view text) {
    auto profile = std::make_shared<ParsedProfile>();
    Section* current = nullptr;  // keys before any section belong to none
    bool currentIsFirst = false;
    ScanLines(text, [&](const ProfileLine& line) {
        if (line.kind == ProfileLine::Kind::UnclosedSection)
            return;  // an unclosed header names nothing
        if (line.kind == ProfileLine::Kind::Section) {
            auto [it, inserted] =
                profile->sections.try_emplace(FoldProfileName(line.name), nullptr);
            if (inserted)
                it->second = std::make_shared<Section>();
            current = it->second.get();
            currentIsFirst = inserted;
            return;
        }
        if (!current || !currentIsFirst)
            return;
        // Names in the file are cut as asked names are, so a long name still finds itself.
        current->keys.try_emplace(FoldProfileName(line.name), line.value);
    });
    return profile;
}

std::wstring DecodeBytes(const std::string& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        return DecodeUtf16le(p + 2, n - 2);
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        return DecodeUtf8(p + 3, n - 3);
    return DecodeUtf8(p, n);
}

std::shared_ptr<ParsedProfile> ParseBytes(const std::string& bytes) {
    return Parse(DecodeBytes(bytes));
}

struct CacheEntry {
    FileIdentity id;
    std::shared_ptr<ParsedProfile> profile;
};

std::mutex g_cacheMutex;
std::unordered_map<std::string, CacheEntry> g_cache;

// The bytes of a regular file of at most kMaxProfileBytes, with the identity of what was read.
bool ReadBytes(const std::string& path, std::string* bytes, struct stat* fst) {
    int fd = platform::OpenRegularFile(path, nullptr, platform::FileLinks::Follow, fst);
    if (fd < 0)
        return false;
    if (fst->st_size > kMaxProfileBytes) {
        close(fd);
        return false;
    }
    char buf[65536];
    for (;;) {
        ssize_t r = read(fd, buf, sizeof buf);
        if (r <= 0)
            break;
        bytes->append(buf, static_cast<size_t>(r));
        if (bytes->size() > static_cast<size_t>(kMaxProfileBytes))
            break;
    }
    close(fd);
    return true;
}

// The parse of the file at its current state, or null when it cannot be read.
std::shared_ptr<ParsedProfile> Load(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    FileIdentity id = IdentityOf(st);
    {
        std::lock_guard<std::mutex> lock(g_cacheMutex);
        auto it = g_cache.find(path);
        if (it != g_cache.end() && it->second.id == id)
            return it->second.profile;
    }
    struct stat fst {};
    std::string bytes;
    if (!ReadBytes(path, &bytes, &fst))
        return nullptr;
    auto profile = ParseBytes(bytes);
    // Keyed by what was opened; a change while reading shows as a new identity next time.
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache[path] = CacheEntry{IdentityOf(fst), profile};
    return profile;
}

std::shared_ptr<ParsedProfile> LoadNamed(std::string_view file) {
    std::string path = platform::NativePath(file.substr(0, kProfileNameMax));
    return path.empty() ? nullptr : Load(path);
}

const std::wstring* Find(const ParsedProfile* profile, std::wstring_view section,
                         std::wstring_view key) {
    if (!profile)
        return nullptr;
    auto sec = profile->sections.find(FoldProfileName(section));
    if (sec == profile->sections.end())
        return nullptr;
    auto k = sec->second->keys.find(FoldProfileName(key));
    return k == sec->second->keys.end() ? nullptr : &k->second;
}

}  // namespace

std::wstring ReadProfileString(std::string_view file, std::wstring_view section,
                               std::wstring_view key, std::wstring_view def, size_t maxChars) {
    std::shared_ptr<ParsedProfile> profile = LoadNamed(file);
    const std::wstring* value = Find(profile.get(), section, key);
    return std::wstring((value ? std::wstring_view(*value) : def).substr(0, maxChars));
}

ProfileSnapshot::ProfileSnapshot(std::string_view file) : profile_(LoadNamed(file)) {}

std::optional<std::wstring> ProfileSnapshot::Read(std::wstring_view section, std::wstring_view key,
                                                  size_t maxChars) const {
    const std::wstring* value = Find(profile_.get(), section, key);
    if (!value)
        return std::nullopt;
    return value->substr(0, maxChars);
}

int ReadIniString(const char* file, const char* section, const char* key, char* value) {
    std::wstring result = ReadProfileString(file ? file : "", Widen(section ? section : ""),
                                            Widen(key ? key : ""), L"@1@", kProfileValueMax);
    std::string narrow = Narrow(result);
    CopyToField(value, kProfileValueMax + 1, narrow);
    return std::strcmp(value, kMissingKey) == 0 ? 1 : 0;
}

void ClearProfileCache() {
    std::lock_guard<std::mutex> lock(g_cacheMutex);
    g_cache.clear();
}

std::optional<std::vector<ProfileLine>> ListProfile(std::string_view file) {
    std::string path = platform::NativePath(file.substr(0, kProfileNameMax));
    std::string bytes;
    struct stat st {};
    if (path.empty() || !ReadBytes(path, &bytes, &st))
        return std::nullopt;
    std::vector<ProfileLine> lines;
    ScanLines(DecodeBytes(bytes), [&](const ProfileLine& line) { lines.push_back(line); });
    return lines;
}

std::wstring FoldProfileName(std::wstring_view name) {
    return Fold(Trim(name.substr(0, kProfileNameMax)));
}
