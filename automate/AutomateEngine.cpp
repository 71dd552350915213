#include "automate/AutomateEngine.h"

#include <algorithm>
#include <climits>

#include "automate/AutomateContext.h"
#include "automate/ContextNames.h"
#include "automate/RunJournal.h"
#include "automate/SharedMemory.h"
#include "base/Log.h"
#include "base/Text.h"

namespace {

void Write(CLog* log, unsigned level, std::string_view msg) {
    if (log)
        log->Write(level, msg);
}
void Debug(CLog* log, std::string_view msg) {
    Write(log, LOG_DEBUG, msg);
}

constexpr int kPollPauseMs = 20;
constexpr int kActionPauseMs = 200;

}  // namespace

CAutomateEngine::CAutomateEngine(AutomateServices services) : services_(services) {}

CAutomateEngine::~CAutomateEngine() {
    Debug(services_.log, "Close Automate Engine");
    actions_.reset();
}

const AutomateState& CAutomateEngine::State(int32_t n) const {
    static const AutomateState kUndefined;
    if (n < 0 || n >= static_cast<int32_t>(states_.size()))
        return kUndefined;
    return states_[static_cast<size_t>(n)];
}

int CAutomateEngine::Initialize(const AutomateState* states, int highest,
                                const std::string& memoryKey, const std::string& serviceListPath,
                                const std::string& logFile, const std::string& paramsPath) {
    Debug(services_.log, "Call CAutomateEngine Initialize");
    highest_ = std::clamp(highest, -1, kMaxStateNumber);
    states_.assign(states, states + (states ? highest_ + 1 : 0));
    memoryKey_ = memoryKey;
    logFile_ = std::string(CutUtf8(logFile, 199));
    paramsPath_ = std::string(CutUtf8(paramsPath, 199));
    Debug(services_.log, "Loading Action Manager");
    LoadActionManager(memoryKey, serviceListPath, paramsPath_);
    if (CAutomateSharedMemory* block = services_.block)
        block->SetEvent(1);
    Debug(services_.log, "End CAutomateEngine Initialize");
    return 0;
}

int CAutomateEngine::LoadActionManager(const std::string&, const std::string& serviceListPath,
                                       const std::string& paramsPath) {
    Debug(services_.log, "Call CAutomateEngine LoadActionManager");
    actions_ = std::make_unique<CActionManager>(paramsPath, services_.log, services_.context);
    actions_->LoadServices(serviceListPath);
    Debug(services_.log, "End CAutomateEngine LoadActionManager");
    return 0;
}

void CAutomateEngine::PollLastEvent() {
    CAutomateContext* context = services_.context;
    CAutomateSharedMemory* block = services_.block;
    int32_t event = 0;
    if (!context || context->GetInt(ctx::kLastEvent, 1, &event) < 0 || event == 0)
        return;
    Debug(services_.log, StrFormat("New Event%d", event));
    int32_t last = -1;
    if (event != -1 && (event < 1 || event >= AutomateState::kEvents)) {
        // No transition can follow it: the state would run again at once, for ever.
        int32_t current = -1;
        if (block)
            block->GetCurrentState(&current);
        Write(services_.log, LOG_ERR,
              StrFormat("Event %d raised in State %d is outside 1-%d : taken as a failed request "
                        "(event 2)",
                        event, current, AutomateState::kEvents - 1));
        event = 2;
    }
    if (block) {
        block->SetEvent(event);
        block->GetLastState(&last);
    }
    context->SetInt(ctx::kLastState, 1, last);
    context->SetInt(ctx::kLastEvent, 1, 0);
}

int CAutomateEngine::WaitEvents(void* contextImage) {
    Debug(services_.log, "Call CAutomateEngine WaitEvents");
    CAutomateSharedMemory* block = services_.block;
    int status = 0;
    bool ended = false;
    if (resumePending_) {
        resumePending_ = false;
        status = ExecuteAction(contextImage);
        hook_->Pause(kActionPauseMs);
    }
    while (!ended) {
        PollLastEvent();
        int32_t event = 0;
        if (!block || block->GetEvent(&event) != 0) {
            // Nothing could ever raise an event again: end instead of polling forever.
            Write(services_.log, LOG_ERR, "Shared Memory not available : end of the run");
            return -1;
        }
        if (event != 0 && event != -1) {
            ++steps_;
            const bool moved = SetNewState() == 0;
            int32_t current = -1;
            block->GetCurrentState(&current);
            Debug(services_.log, "Reset to 0 the event");
            status = block->SetEvent(0);
            if (current == -1) {
                ended = true;
                if (journal_)
                    journal_->Remove();
            } else {
                // The screen left has saved into the context; the state entered runs again on
                // a resume with what the context holds now.
                if (moved && journal_) {
                    int32_t last = -1;
                    block->GetLastState(&last);
                    journal_->Save(current, last);
                }
                status = ExecuteAction(contextImage);
                hook_->Pause(kActionPauseMs);
            }
        }
        if (event == -1) {
            Debug(services_.log, "Event -1 From State");
            ended = true;
            if (journal_)
                journal_->Remove();
        }
        if (!hook_->Pump())
            ended = true;
        hook_->Pause(kPollPauseMs);
    }
    return status;
}

NextStateText ClassifyNextState(std::string_view text) {
    NextStateText out;
    if (text.empty())
        return out;
    if (text[0] == '$') {
        out.form = NextStateText::Form::Variable;
        size_t begin = text.find_first_not_of("${}");
        if (begin != std::string_view::npos)
            out.variable =
                std::string(text.substr(begin, text.find_first_of("${}", begin) - begin));
        return out;
    }
    out.form = NextStateText::Form::Number;
    out.number = ParseDecimal(text);
    return out;
}

int CAutomateEngine::SetNewState() {
    Debug(services_.log, "Call CAutomateEngine SetNewState");
    CAutomateSharedMemory* block = services_.block;
    int result = -1;
    int32_t current = 0;
    if (block && block->GetCurrentState(&current) == 0) {
        int32_t event = 0;
        if (block->GetEvent(&event) != 0 || event < 1 || event >= AutomateState::kEvents)
            return -1;
        const AutomateState& state = State(current);
        const std::string& text = state.events[static_cast<size_t>(event)];
        int32_t next = 0;
        bool resolved = true;
        bool isDefault = false;
        NextStateText form = ClassifyNextState(text);
        if (form.form == NextStateText::Form::Default) {
            next = state.eventDefault;
            isDefault = true;
        } else if (form.form == NextStateText::Form::Variable) {
            const std::string& name = form.variable;
            Debug(services_.log, StrFormat("Var event found %s", name.c_str()));
            CAutomateContext* context = services_.context;
            if (!context || context->GetInt(name.c_str(), 1, &next) < 0) {
                Write(services_.log, LOG_ERR,
                      StrFormat("Var event %s unknown : State %d kept", name.c_str(), current));
                resolved = false;
            } else {
                Debug(services_.log, StrFormat("NextState Var event found %d", next));
            }
        } else {
            next = form.number;
        }
        if (resolved && (next < -1 || next > kMaxStateNumber)) {
            Write(services_.log, LOG_ERR,
                  StrFormat("New State %d out of range : State %d kept", next, current));
            resolved = false;
        }
        if (resolved) {
            block->SetLastState(current);
            result = block->SetCurrentState(next);
            if (isDefault) {
                Debug(services_.log, StrFormat("Current State %d  New State is a Default State %d",
                                               current, next));
            } else {
                Debug(services_.log, StrFormat("Current State %d  New State %d", current, next));
            }
        }
    }
    Debug(services_.log, "End CAutomateEngine SetNewState");
    return result;
}

int CAutomateEngine::ExecuteAction(void* contextImage) {
    Debug(services_.log, "Call CAutomateEngine ExecuteAction");
    int32_t current = -1;
    if (CAutomateSharedMemory* block = services_.block)
        block->GetCurrentState(&current);
    const std::string& action = State(current).action;
    Debug(services_.log, StrFormat("Action Manager Request Service : %s", action.c_str()));
    int result =
        actions_ ? actions_->RequestService(action, logFile_, paramsPath_, contextImage) : -1;
    Debug(services_.log, "End CAutomateEngine ExecuteAction");
    return result;
}

void CAutomateEngine::ResumeAt(int32_t state, int32_t last) {
    if (CAutomateSharedMemory* block = services_.block) {
        block->SetCurrentState(state);
        block->SetLastState(last);
        // Not the start's event 1: the state is entered directly.
        block->SetEvent(0);
    }
    // The context's LastState comes back with the journal's values, as the state saw it.
    resumePending_ = true;
}

int CAutomateEngine::setCurrentState(int state) {
    Debug(services_.log, "Call setCurrentState");
    int32_t current = -1;
    if (CAutomateSharedMemory* block = services_.block) {
        block->GetCurrentState(&current);
        block->SetCurrentState(state);
        block->SetLastState(current);
    }
    if (CAutomateContext* context = services_.context)
        context->SetInt(ctx::kLastState, 1, current);
    Debug(services_.log, "End setCurrentState");
    return 0;
}

int CAutomateEngine::getCurrentState() {
    Debug(services_.log, "Call getCurrentState");
    int32_t current = -1;
    if (CAutomateSharedMemory* block = services_.block)
        block->GetCurrentState(&current);
    Debug(services_.log, "End getCurrentState");
    return current;
}
