#pragma once
// The services that check what the operator typed and apply it to the target root and the
// point-of-sale record.
#include <string>

#include "plugins/setup_actions/SetupHost.h"

namespace actions {

// Each sets the invalid-data flags and the reason of the first wrong entry; true when all are
// right.
bool CheckProxy(const Context& c, Log& log);
bool CheckAccount(const Context& c, Log& log);
bool CheckPointOfSale(const Context& c, Log& log);

// The whole apply in one request (ApplyConfiguration, ApplyReconfiguration): AnalyseState
// says how it went; event 1.
void Apply(const Context& c, const Settings& s, Log& log, bool installation);

// The stepwise apply: StartConfiguration or StartReconfiguration checks the entries and the
// target root, then each step (ApplyKeyboard, ApplyLocale, ApplyProxy, ApplyAccount for an
// installation, ApplyRecord last) does its part and shows the progress screen of the next; the
// last raises event 1. A start that finds the entries or the root unusable, and a step that
// fails, raise event 3 with AnalyseState set, the failed step named in ApplyFailedStep.
void StartApply(const Context& c, const Settings& s, Log& log, bool installation);
// False when service is not a step.
bool ApplyStep(const std::string& service, const Context& c, Log& log);

// Before anything else in a process: an apply a kill interrupted is finished when its record
// is in, rolled back when not, and what it left half written is removed; the log says which.
void RecoverApply(const Settings& s, Log& log);

// Reconfiguration: what the workstation has now, into the context.
void LoadCurrent(const Context& c, const Settings& s, Log& log);

}  // namespace actions
