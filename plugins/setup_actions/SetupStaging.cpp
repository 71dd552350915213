// The staged apply: its journal, its staged files, finishing it and sweeping after it.
#include "plugins/setup_actions/SetupStaging.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>

#include "plugins/setup_actions/SetupLogic.h"

namespace setup {

namespace {

constexpr const char* kApplyFiles[] = {
    "etc/default/keyboard",
    "etc/default/locale",
    "etc/locale.gen",
    "etc/profile.d/quilvane-proxy.sh",
    "etc/apt/apt.conf.d/90quilvane-proxy",
    "etc/quilvane/proxy.conf",
    kProxyCredentials,
    "etc/quilvane/account.conf",
    "etc/quilvane/choices.conf",
    "etc/quilvane/setup-summary",
    ".quilvane-check",  // the write test of the target root
};

constexpr char kHeader[] = "quilvane-apply 1";
constexpr size_t kMaxFields = 100;

std::string DirOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool FieldName(std::string_view name) {
    if (name.empty() || name.size() > 64)
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    return true;
}

// A temporary file of WriteFileAtomically for name: name ".tmp" and six characters.
bool IsTempOf(std::string_view entry, std::string_view name) {
    return entry.size() == name.size() + 10 && entry.substr(0, name.size()) == name &&
           entry.substr(name.size(), 4) == ".tmp";
}

}  // namespace

std::span<const char* const> ApplyFiles() {
    return kApplyFiles;
}

bool IsApplyFile(std::string_view relative) {
    for (const char* f : kApplyFiles)
        if (relative == f)
            return true;
    return false;
}

std::string ApplyJournalText(const ApplyPlan& plan) {
    std::string out = std::string(kHeader) + "\ntarget " + plan.target + "\n";
    out += plan.committed ? "state committed\n" : "state staged\n";
    for (const std::string& f : plan.fields)
        out += "field " + f + "\n";
    if (!plan.fields.empty())
        out += "record " + plan.recordHash + "\n";
    for (const std::string& r : plan.renames)
        out += "rename " + r + "\n";
    for (const std::string& r : plan.removes)
        out += "remove " + r + "\n";
    const size_t lines = 3 + plan.fields.size() + (plan.fields.empty() ? 0 : 1) +
                         plan.renames.size() + plan.removes.size();
    return out + "end " + std::to_string(lines) + "\n";
}

std::optional<ApplyPlan> ParseApplyJournal(std::string_view text, std::string* problem) {
    auto refuse = [&](std::string why) -> std::optional<ApplyPlan> {
        if (problem)
            *problem = std::move(why);
        return std::nullopt;
    };
    if (text.size() > kApplyJournalMax)
        return refuse("over " + std::to_string(kApplyJournalMax) + " bytes");
    ApplyPlan plan;
    bool header = false, state = false, target = false, ended = false, record = false;
    size_t lines = 0;
    std::set<std::string> seen;
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string_view::npos)
            return refuse("its last line is cut");
        const std::string_view line = text.substr(pos, eol - pos);
        pos = eol + 1;
        if (ended)
            return refuse("text after its end");
        if (!header) {
            if (line != kHeader)
                return refuse("not an apply journal");
            header = true;
            ++lines;
            continue;
        }
        const size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string value(space == std::string_view::npos ? "" : line.substr(space + 1));
        if (key == "end") {
            if (value != std::to_string(lines))
                return refuse("its line count does not match");
            ended = true;
            continue;
        }
        ++lines;
        if (key == "target" && !target && !value.empty() && value.find('\0') == std::string::npos) {
            plan.target = value;
            target = true;
        } else if (key == "state" && !state && (value == "staged" || value == "committed")) {
            plan.committed = value == "committed";
            state = true;
        } else if (key == "field" && FieldName(value) && plan.fields.size() < kMaxFields) {
            plan.fields.push_back(value);
        } else if (key == "record" && !record && value.size() == 16) {
            plan.recordHash = value;
            record = true;
        } else if ((key == "rename" || key == "remove") && IsApplyFile(value) &&
                   seen.insert(value).second) {
            (key == "rename" ? plan.renames : plan.removes).push_back(value);
        } else {
            return refuse("line " + std::to_string(lines) + " is not understood");
        }
    }
    if (!ended || !target || !state)
        return refuse("it is incomplete");
    if (plan.fields.empty() != !record)
        return refuse("its record and its fields do not go together");
    return plan;
}

std::string RecordHash(const RecordFields& fields) {
    std::uint64_t h = 14695981039346656037ull;
    auto mix = [&h](std::string_view s) {
        for (unsigned char c : s) {
            h ^= c;
            h *= 1099511628211ull;
        }
    };
    for (const auto& [name, value] : fields) {
        mix(name);
        mix("=");
        mix(value);
        mix("\n");
    }
    char out[17];
    std::snprintf(out, sizeof out, "%016llx", static_cast<unsigned long long>(h));
    return out;
}

bool StageFile(const std::string& target, const std::string& relative, std::string_view text,
               unsigned mode, std::string* error, long group) {
    // SyncStaged syncs each directory once, before the journal names what is in it.
    return WriteFileAtomically(target + "/" + relative + kStagedSuffix, text, mode, error, group,
                               false);
}

bool SyncStaged(const ApplyPlan& plan, std::string* error) {
    std::set<std::string> dirs;
    for (const std::string& r : plan.renames)
        dirs.insert(DirOf(plan.target + "/" + r));
    for (const std::string& d : dirs) {
        if (!SyncDirectory(d)) {
            if (error)
                *error = "cannot sync " + d + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool FinishPlan(const ApplyPlan& plan, std::string* error) {
    std::set<std::string> dirs;
    for (const std::string& r : plan.renames) {
        const std::string dest = plan.target + "/" + r;
        const std::string staged = dest + kStagedSuffix;
        if (rename(staged.c_str(), dest.c_str()) != 0) {
            // Renamed before a kill: the final name already holds it.
            struct stat st {};
            if (errno != ENOENT || lstat(dest.c_str(), &st) != 0) {
                if (error)
                    *error =
                        "cannot rename " + staged + " over " + dest + ": " + std::strerror(errno);
                return false;
            }
        }
        dirs.insert(DirOf(dest));
    }
    for (const std::string& r : plan.removes) {
        const std::string dest = plan.target + "/" + r;
        if (!RemoveFile(dest, error))
            return false;
        dirs.insert(DirOf(dest));
    }
    for (const std::string& d : dirs) {
        if (!SyncDirectory(d)) {
            if (error)
                *error = "cannot sync " + d + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

int DropStaged(const std::string& target) {
    int removed = 0;
    std::set<std::string> dirs;
    // Only the apply's own names: the target may be a workstation's real root.
    for (const char* f : kApplyFiles)
        dirs.insert(DirOf(target + "/" + f));
    for (const std::string& dir : dirs) {
        DIR* d = opendir(dir.c_str());
        if (!d)
            continue;
        std::vector<std::string> doomed;
        while (const dirent* e = readdir(d)) {
            const std::string_view entry = e->d_name;
            for (const char* f : kApplyFiles) {
                const std::string full = target + "/" + f;
                if (DirOf(full) != dir)
                    continue;
                const std::string name = full.substr(dir.size() + 1);
                const std::string staged = name + kStagedSuffix;
                if (entry == staged || IsTempOf(entry, staged) || IsTempOf(entry, name))
                    doomed.push_back(dir + "/" + std::string(entry));
            }
        }
        closedir(d);
        // The write test of the target root is removed whole.
        if (dir == target)
            doomed.push_back(target + "/.quilvane-check");
        for (const std::string& path : doomed)
            removed += unlink(path.c_str()) == 0 ? 1 : 0;
        if (!doomed.empty())
            SyncDirectory(dir);
    }
    return removed;
}

}  // namespace setup
