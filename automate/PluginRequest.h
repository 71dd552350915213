#pragma once
// The text protocol of service plug-ins. A request or response is wide text: a service name,
// then "@@@key=value" for every parameter in the order of its first setting. CPluginRequest
// builds that text, hands it to a plug-in module (loaded and unloaded for every call) and reads
// the standard response parameters back.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "quilvane/plugin.h"

class CLog;

// Standard parameter keys.
inline constexpr wchar_t kLogPathNameKey[] = L"LMQ_PLUGIN_LOGPATHNAME_PARAMETER";
inline constexpr wchar_t kLogFileNameKey[] = L"LMQ_PLUGIN_LOGFILENAME_PARAMETER";
inline constexpr wchar_t kLogLevelKey[] = L"LMQ_PLUGIN_LOGLEVEL_PARAMETER";
inline constexpr wchar_t kLogSizeKey[] = L"LMQ_PLUGIN_LOGSIZE_PARAMETER";
inline constexpr wchar_t kNbLogFileKey[] = L"LMQ_PLUGIN_NBLOGFILE_PARAMETER";
inline constexpr wchar_t kResultKey[] = L"result";
inline constexpr wchar_t kReturnCodeKey[] = L"LMQ_PLUGIN_RESPONSE_RETURN_CODE";
inline constexpr wchar_t kMessageKey[] = L"LMQ_PLUGIN_RESPONSE_MESSAGE";
inline constexpr wchar_t kVersionService[] = L"getLmqPluginVersionService";

class CPluginParameters {
  public:
    static constexpr int kCapacity = 100;

    CPluginParameters() = default;
    virtual ~CPluginParameters() = default;

    // Replaces the value of key, or stores the pair in the first free slot. 0 when stored;
    // 1 when the list is full; 2 when the pair cannot be written in the text form (an empty
    // key, a key holding "=" or "@@@", a value holding "@@@" or ending in "@"): it would read
    // back as other parameters, so it is refused.
    int SetParameter(std::wstring_view key, std::wstring_view value);
    // 0 and the value when key is present, 1 and the empty text when not.
    int GetParameter(std::wstring_view key, std::wstring& value) const;
    // "key=value" of every used slot, joined by the separator; empty when there are none.
    std::wstring GetParameterText() const;
    int GetParameterCount() const;

  protected:
    std::array<std::wstring, kCapacity> keys_;
    std::array<std::wstring, kCapacity> values_;
    std::wstring separator_ = L"@@@";
};

class CPluginRequest : public CPluginParameters {
  public:
    CPluginRequest();
    explicit CPluginRequest(std::string_view text);
    explicit CPluginRequest(std::wstring_view text);
    ~CPluginRequest() override;
    CPluginRequest(const CPluginRequest&) = delete;
    CPluginRequest& operator=(const CPluginRequest&) = delete;

    // Reads a request or response text into this object: the first segment becomes the service
    // name, every later segment a parameter (a segment without "=" is a key with an empty
    // value; parameters beyond the capacity are dropped).
    void Parse(std::string_view text);
    void Parse(std::wstring_view text);

    void SetServiceName(std::wstring_view name) { serviceName_ = name; }
    const std::wstring& GetServiceName() const { return serviceName_; }
    // Passed to the module loader unchanged (".\LMQPointServicePluginu.dll").
    void SetLibraryPath(std::wstring_view path) { libraryPath_ = path; }
    const std::wstring& GetLibraryPath() const { return libraryPath_; }

    // Each setter stores its parameter and returns 0 when it reads back non-empty, else -1.
    int SetLogPathName(std::wstring_view dir);
    int SetLogFileName(std::wstring_view name);
    int SetLogLevel(int level);
    int SetLogSize(int sizeKb);
    int SetNbLogFile(int count);
    std::wstring GetLogPathName() const;
    std::wstring GetLogFileName() const;
    int GetLogLevel() const;
    int GetLogSize() const;
    int GetNbLogFile() const;

    // Sets the five log parameters and creates this request's own logger; returns the sum of
    // the setters' results.
    int SetLogSettings(std::wstring_view dir, std::wstring_view fileName,
                       std::wstring_view moduleName, int level, int sizeKb, int fileCount);
    // Hands the caller's log set to the plug-in under moduleName.
    int SetLogSettingsFrom(const CLog& log, std::wstring_view moduleName);
    CLog* GetLog() const { return log_.get(); }

    int SetResult(std::wstring_view value) { return SetParameter(kResultKey, value); }
    std::wstring GetResult() const;

    // The request text; flag is 1 (and the text empty) when the service name is empty.
    std::wstring BuildRequest(int& flag) const;
    // Why the host could not call the plug-in. Its results 1 to 4 are also codes plug-ins
    // answer, so callers that report an outcome ask here which one it was.
    enum class HostFailure { None, NoServiceName, NotLoaded, NoLibraryPath, MissingExport };

    // One plug-in call. Returns the plug-in's status, or 1 (no service name), 2 (the library
    // does not load), 3 (no library path), 4 (an export is missing). text receives the
    // response only when the plug-in was called. A host failure is logged (ERR) in this
    // request's log and kept for LastHostFailure, with its reason in LastHostFailureText.
    int SendRequest(std::wstring& text);
    HostFailure LastHostFailure() const { return hostFailure_; }
    const std::string& LastHostFailureText() const { return hostFailureText_; }
    // Builds, sends and returns the response's "result" (empty when missing). The returned
    // status is SendRequest's.
    int CallService(std::wstring& result);
    // Asks the plug-in for its version: the response message.
    std::wstring GetPluginVersion();

    int32_t GetLastReturnCode() const { return lastReturnCode_; }
    const std::wstring& GetLastMessage() const { return lastMessage_; }

    // Longest text the host stores for a plug-in, in characters.
    static constexpr size_t kMaxTextChars = QV_MAX_TEXT_CHARS;

  protected:
    // One operation of a typed client: builds and sends the request, parses what came back
    // into a new Response held as the response object, takes its return code and message,
    // and drops it again. Returns the return code.
    template <typename Response>
    int32_t Exchange() {
        int flag = 0;
        std::wstring text = BuildRequest(flag);
        SendRequest(text);
        response_ = std::make_unique<Response>(std::wstring_view(text));
        TakeOutcome();
        return lastReturnCode_;
    }

    std::unique_ptr<CPluginRequest> response_;
    std::wstring lastMessage_;
    int32_t lastReturnCode_ = 0;
    std::wstring serviceName_;
    std::wstring libraryPath_;
    std::unique_ptr<CLog> log_;

  private:
    int HostFailed(HostFailure failure, int result, std::string text);
    HostFailure hostFailure_ = HostFailure::None;
    std::string hostFailureText_;

    int SetAndCheck(const wchar_t* key, std::wstring_view value);
    // Reads code and message from the response object and deletes it.
    void TakeOutcome();
};
