#pragma once
// An apply that lands whole or not at all. Every file is first written beside its final name
// (".qv-staged"); the apply journal then lists them, the point-of-sale record is written in one
// transaction, and only then are the staged files renamed over their final names. A start after
// a kill finishes an apply whose record is in, rolls back one whose record is not, and removes
// what a killed apply left half written.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace setup {

inline constexpr char kStagedSuffix[] = ".qv-staged";
// The apply journal, relative to bin/.
inline constexpr char kApplyJournal[] = "../data/setup-apply.journal";
inline constexpr size_t kApplyJournalMax = 64 * 1024;

// The files an apply writes or removes, relative to the target root. A journal that names
// any other file is not trusted, and only these names are swept for leftovers.
std::span<const char* const> ApplyFiles();
bool IsApplyFile(std::string_view relative);

using RecordFields = std::vector<std::pair<std::string, std::string>>;

struct ApplyPlan {
    std::string target;                // the target root it was staged under
    bool committed = false;            // the record is in: only the renames may be missing
    std::vector<std::string> fields;   // the record's fields, in the order written
    std::string recordHash;            // of those fields' new values
    std::vector<std::string> renames;  // staged files, relative to the target root
    std::vector<std::string> removes;
    bool operator==(const ApplyPlan&) const = default;
};

std::string ApplyJournalText(const ApplyPlan& plan);
// nullopt, with the reason in problem, for a journal that is torn or names a file that no
// apply writes.
std::optional<ApplyPlan> ParseApplyJournal(std::string_view text, std::string* problem);

// FNV-1a of "name=value\n" for each field: tells whether the record holds what a plan wrote.
std::string RecordHash(const RecordFields& fields);

// Writes the staged copy of relative under target.
bool StageFile(const std::string& target, const std::string& relative, std::string_view text,
               unsigned mode, std::string* error = nullptr, long group = -1);
// The directories of the plan's staged files synced: a power cut after the journal then never
// finds a staged file missing that was not renamed.
bool SyncStaged(const ApplyPlan& plan, std::string* error = nullptr);
// The staged files renamed over their final names (one already renamed is skipped), the
// removals done, the directories synced. Done again after a kill, it ends in the same state.
bool FinishPlan(const ApplyPlan& plan, std::string* error = nullptr);
// Removes every staged copy and temporary file of the apply's files under target; how many.
int DropStaged(const std::string& target);

}  // namespace setup
