#include "tools/qvtool/Answers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "base/Profile.h"
#include "base/Text.h"

namespace {

std::string Read(const std::string& path, const std::string& section, const std::string& key) {
    return Narrow(ReadProfileString(path, Widen(section), Widen(key), L"@1@"));
}

}  // namespace

bool ParseInt(const std::string& text, long min, long max, long* out) {
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < min || v > max)
        return false;
    *out = v;
    return true;
}

std::string ApplyAnswerSet(const std::string& set, CAutomateContext& context) {
    size_t eq = set.find('=');
    if (eq == std::string::npos || eq == 0)
        return "expected Name=Value or Name#occurrence=Value";
    std::string name = set.substr(0, eq);
    std::string value = set.substr(eq + 1);
    long occurrence = 1;
    size_t hash = name.rfind('#');
    if (hash != std::string::npos) {
        if (!ParseInt(name.substr(hash + 1), 1, QV_MAX_PROPERTIES, &occurrence))
            return "bad occurrence in " + name;
        name.resize(hash);
    }
    int index = context.Find(name.c_str(), static_cast<int>(occurrence));
    if (index < 0)
        return "no property " + name + "#" + std::to_string(occurrence);
    int occ = static_cast<int>(occurrence);
    switch (context.GetImage()->sizes[index]) {
        case QV_INT_SIZE: {
            long v = 0;
            if (!ParseInt(value, INT32_MIN, INT32_MAX, &v))
                return name + " takes a number, not " + value;
            context.SetInt(name.c_str(), occ, static_cast<int32_t>(v));
            return {};
        }
        case QV_STRING_SIZE:
            context.SetString(name.c_str(), occ, value.c_str());
            return {};
        case QV_VOID_SIZE:
            context.SetWide(name.c_str(), occ, Widen(value));
            return {};
        default:
            return name + " cannot be set from text";
    }
}

AnswerOutcome ApplyAnswer(const std::string& path, const std::string& screen,
                          CAutomateContext& context) {
    AnswerOutcome outcome;
    std::string event = path.empty() ? kMissingKey : Read(path, screen, "Event");
    if (event == kMissingKey) {
        outcome.reason = "no answer for screen " + screen;
        return outcome;
    }
    outcome.kind = AnswerOutcome::Refused;
    long value = 0;
    if (!ParseInt(event, INT32_MIN, INT32_MAX, &value)) {
        outcome.reason = "[" + screen + "] Event is not a number: " + event;
        return outcome;
    }
    for (int i = 1; i < INT_MAX; ++i) {
        std::string key = "Set." + std::to_string(i);
        std::string set = Read(path, screen, key);
        if (set == kMissingKey)
            break;
        std::string reason = ApplyAnswerSet(set, context);
        if (!reason.empty()) {
            outcome.reason = "[" + screen + "] " + key + ": " + reason;
            return outcome;
        }
    }
    outcome.kind = AnswerOutcome::Answered;
    outcome.event = static_cast<int32_t>(value);
    return outcome;
}
