// The setup plug-in's own files and texts: atomic writes, removals, Windows-style paths, the
// profile reader and the UTF-8 conversions.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "plugins/setup_actions/SetupLogic.h"

namespace setup {

namespace {

// Always false, so a failing step reads "return Fail(...)".
bool Fail(std::string* error, const char* what, const std::string& path) {
    if (error)
        *error = std::string(what) + " " + path + ": " + std::strerror(errno);
    return false;
}

bool MakeParents(const std::string& path, std::string* error) {
    for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1)) {
        std::string dir = path.substr(0, at);
        if (mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST)
            return Fail(error, "cannot create", dir);
    }
    return true;
}

// ---- Profile text: the host's reader (base/Profile) redone, because the plug-in may not link
// it. tests/plugins/test_profile_readers.cpp holds both to one table of files.

constexpr size_t kProfileValueMax = 1023;  // characters
constexpr size_t kProfileNameMax = 299;

// A byte that starts no valid UTF-8 sequence stands for itself (Latin-1), so files saved in an
// 8-bit code page still read.
std::wstring DecodeUtf8Lenient(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    std::wstring out;
    out.reserve(n);
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        const size_t len = c < 0x80             ? 1
                           : (c & 0xE0) == 0xC0 ? 2
                           : (c & 0xF0) == 0xE0 ? 3
                           : (c & 0xF8) == 0xF0 ? 4
                                                : 0;
        char32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
        bool ok = len != 0 && i + len <= n;
        for (size_t k = 1; ok && k < len; ++k) {
            ok = (p[i + k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        ok = ok && cp >= kMin[len] && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF);
        out.push_back(static_cast<wchar_t>(ok ? cp : c));
        i += ok ? len : 1;
    }
    return out;
}

// A lone surrogate becomes U+FFFD; an odd last byte is dropped.
std::wstring DecodeUtf16le(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    std::wstring out;
    out.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) {
        char32_t u = p[i] | (p[i + 1] << 8);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < n) {
            const char32_t lo = p[i + 2] | (p[i + 3] << 8);
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

std::wstring DecodeProfile(std::string_view bytes) {
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return DecodeUtf16le(bytes.substr(2));
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    return DecodeUtf8Lenient(bytes);
}

// NUL counts as a blank: a UTF-16 file without its BOM then still reads.
std::wstring_view TrimProfile(std::wstring_view s) {
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\0'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// A section or key name as the reads compare it, whether asked or written in the file. ASCII
// letters fold without the locale, as in the host (a Turkish locale lowers 'I' to 'ı').
std::wstring FoldName(std::wstring_view name) {
    std::wstring out(TrimProfile(name.substr(0, kProfileNameMax)));
    for (wchar_t& c : out) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        else if (c >= 0x80)
            c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    }
    return out;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view text, unsigned mode,
                         std::string* error, long group, bool syncDirectory) {
    if (!MakeParents(path, error))
        return false;
    std::string temp = path + ".tmpXXXXXX";
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return Fail(error, "cannot create", temp);
    // The temporary file goes on every failure; errno is taken before close and unlink.
    auto abandon = [&](const char* what, bool open) {
        Fail(error, what, temp);
        if (open)
            close(fd);
        unlink(temp.c_str());
        return false;
    };
    if (group >= 0 && fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0)
        return abandon("cannot set the group of", true);
    // mkostemp makes it 0600; widen only where the file holds nothing secret.
    if (fchmod(fd, mode) != 0)
        return abandon("cannot set the mode of", true);
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon("cannot write", true);
        done += static_cast<size_t>(n);
    }
    if (fsync(fd) != 0)
        return abandon("cannot sync", true);
    if (close(fd) != 0)
        return abandon("cannot sync", false);
    if (rename(temp.c_str(), path.c_str()) != 0) {
        Fail(error, "cannot rename over", path);
        unlink(temp.c_str());
        return false;
    }
    // The rename itself lasts only once the directory is on the disk.
    const size_t slash = path.rfind('/');
    if (syncDirectory && !SyncDirectory(slash == std::string::npos ? "."
                                        : slash == 0               ? "/"
                                                                   : path.substr(0, slash)))
        return Fail(error, "cannot sync the directory of", path);
    return true;
}

bool SyncDirectory(const std::string& dir) {
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

bool RemoveFile(const std::string& path, std::string* error) {
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return Fail(error, "cannot remove", path);
    return true;
}

std::string NativePath(std::string_view path) {
    std::string out(path);
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::optional<std::string> ProfileValue(std::string_view bytes, std::string_view section,
                                        std::string_view key) {
    const std::wstring text = DecodeProfile(bytes);
    const std::wstring wantedSection = FoldName(Widen(section));
    const std::wstring wantedKey = FoldName(Widen(key));
    bool inside = false;  // in the first copy of the section
    for (size_t pos = 0; pos <= text.size();) {
        size_t eol = text.find(L'\n', pos);
        if (eol == std::wstring::npos)
            eol = text.size();
        const std::wstring_view line = TrimProfile(std::wstring_view(text).substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty() || line.front() == L';')
            continue;
        if (line.front() == L'[') {
            const size_t close = line.rfind(L']');
            if (close == std::wstring_view::npos)
                continue;  // an unclosed header names nothing: the section goes on
            // Keys of a later copy of the section are never read.
            if (inside)
                return std::nullopt;
            inside = FoldName(TrimProfile(line.substr(1, close - 1))) == wantedSection;
            continue;
        }
        const size_t eq = line.find(L'=');
        if (!inside || FoldName(TrimProfile(line.substr(0, eq))) != wantedKey)
            continue;
        std::wstring_view value =
            eq == std::wstring_view::npos ? std::wstring_view() : TrimProfile(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        return Narrow(value.substr(0, kProfileValueMax));
    }
    return std::nullopt;
}

namespace {

// A regular file opened without blocking on a FIFO, made blocking again; -1 otherwise.
int OpenRegular(const std::string& path, struct stat* st) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, st) != 0 || !S_ISREG(st->st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    struct stat st {};
    const int fd = OpenRegular(path, &st);
    if (fd < 0)
        return std::nullopt;
    std::string out;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || out.size() + static_cast<size_t>(n) > kMaxReadBytes) {
            close(fd);
            if (n == 0)
                return out;
            return std::nullopt;
        }
        out.append(buffer, static_cast<size_t>(n));
    }
}

std::optional<std::string> ReadFileTail(const std::string& path, size_t maxBytes, bool* cut) {
    struct stat st {};
    const int fd = OpenRegular(path, &st);
    if (fd < 0)
        return std::nullopt;
    const size_t size = static_cast<size_t>(st.st_size);
    const size_t from = size > maxBytes ? size - maxBytes : 0;
    std::string out(size - from, '\0');
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n =
            pread(fd, out.data() + done, out.size() - done, static_cast<off_t>(from + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    close(fd);
    out.resize(done);  // a file that shrank meanwhile
    if (cut)
        *cut = from > 0;
    return out;
}

std::wstring Widen(std::string_view text) {
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > text.size()) {
            out += L'\uFFFD';
            ++i;
            continue;
        }
        uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(text[i + k]);
            ok = ok && (d & 0xC0) == 0x80;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += L'\uFFFD';
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(cp);
        i += len;
    }
    return out;
}

std::string Narrow(std::wstring_view text) {
    std::string out;
    for (wchar_t w : text) {
        uint32_t c = static_cast<uint32_t>(w);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace setup
