#pragma once
// The answer file of `qvtool run`: one section per screen name, with Event (the event the
// screen raises) and Set.1, Set.2, ... = Name=Value or Name#occurrence=Value, saved before the
// event is raised. Any content is survivable: what cannot be used is refused with a reason.
#include <cstdint>
#include <string>

#include "automate/AutomateContext.h"

struct AnswerOutcome {
    enum Kind { Answered, Missing, Refused } kind = Missing;
    int32_t event = 0;   // Answered: the event to raise
    std::string reason;  // Missing, Refused: why
};

// Applies the answer of screen from the answer file at path to context: every Set.n entry in
// order, stopping at the first that cannot be used (entries before it stay saved).
AnswerOutcome ApplyAnswer(const std::string& path, const std::string& screen,
                          CAutomateContext& context);

// Saves one Name=Value or Name#occurrence=Value, converted by the property's size. Empty on
// success, else the reason.
std::string ApplyAnswerSet(const std::string& set, CAutomateContext& context);

// A whole decimal number within [min, max] (no blanks, no trailing text).
bool ParseInt(const std::string& text, long min, long max, long* out);
