#pragma once
// Typed access to the point-of-service record kept by the point-of-service plug-in: one read
// and one write request per call, naming a field of the record. The creator binds the client
// (library path pointservice::kLibraryPath, log settings under pointservice::kModuleName)
// before the first call. Results are the plug-in's return codes (0 = success).
#include <cstddef>
#include <string>
#include <string_view>

#include "automate/PluginRequest.h"
#include "clients/PointServiceFields.h"

class PointServiceClient : public CPluginRequest {
  public:
    PointServiceClient() = default;
    // Parses a response text (the response object of an operation).
    explicit PointServiceClient(std::wstring_view response) : CPluginRequest(response) {}
    ~PointServiceClient() override;

    // Reads one field; value receives the response message (empty when none came back).
    int ReadDataPoint(const char* field, std::wstring& value);
    // The same into a fixed buffer of size characters, cut so that its terminator fits.
    int ReadDataPoint(const char* field, wchar_t* buffer, size_t size);
    // A value that the text form cannot carry is not sent: kValueRefused.
    int WriteDataPoint(const char* field, std::wstring_view value);
    static constexpr int32_t kValueRefused = -1;

    // "LanguePays": the first two characters of each code, language first.
    int WriteLanguePays(std::wstring_view language, std::wstring_view country);

    // One Read<Field> / Write<Field> per field of the record that the client reads or writes.
#define QV_PS_READ_1(name)                  \
    int Read##name(std::wstring& value) {   \
        return ReadDataPoint(#name, value); \
    }
#define QV_PS_READ_0(name)
#define QV_PS_WRITE_1(name)                    \
    int Write##name(std::wstring_view value) { \
        return WriteDataPoint(#name, value);   \
    }
#define QV_PS_WRITE_0(name)
#define QV_PS_PASTE(a, b) a##b
#define QV_PS_SELECT(prefix, flag) QV_PS_PASTE(prefix, flag)
#define QV_PS_ACCESSORS(name, read, write)      \
    QV_PS_SELECT(QV_PS_READ_, QV_PS_FLAG(read)) \
    (name) QV_PS_SELECT(QV_PS_WRITE_, QV_PS_FLAG(write))(name)
    QV_POINT_SERVICE_FIELDS(QV_PS_ACCESSORS)
#undef QV_PS_ACCESSORS
#undef QV_PS_SELECT
#undef QV_PS_PASTE
#undef QV_PS_WRITE_0
#undef QV_PS_WRITE_1
#undef QV_PS_READ_0
#undef QV_PS_READ_1

  private:
    int32_t Operation(const wchar_t* service, const char* field, const std::wstring_view* value);
};
