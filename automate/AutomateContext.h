#pragma once
// The context: named, typed values shared by the screens, the automaton and the plug-ins. The
// engine's context owns the value area; any other context becomes a view of the same values by
// copying the image (SetImage).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/Log.h"
#include "quilvane/context_image.h"

using ContextImage = QvContextImage;

// One line of section "CONTEXT": "name:type:count", fields split at ':' (a fourth field and
// what follows are ignored), the count read the way atoi reads it; the value is cut at 799
// characters first.
struct ContextDefinition {
    std::string name;
    std::string type;
    int count = 0;
};
ContextDefinition SplitContextDefinition(std::string_view value);

class CAutomateContext {
  public:
    static constexpr size_t kValueAreaBytes = 2097152;
    static constexpr size_t kMaxNameChars = QV_NAME_SIZE - 1;
    static constexpr size_t kMaxDefinitionChars = 799;

    CAutomateContext(const std::string& logFileName, uint32_t logLevel);
    virtual ~CAutomateContext();
    CAutomateContext(const CAutomateContext&) = delete;
    CAutomateContext& operator=(const CAutomateContext&) = delete;

    // Creates the zero-filled value area and empties the image.
    int Initialize();
    // Reads the definition from section "CONTEXT" of path; 0, or -1 when adding failed.
    int LoadContext(const std::string& path);
    // Adds count properties of that name and type (INT, LONG, PTR, STRING, VOID); 0 or -1.
    int addPropertiesContext(std::string_view name, std::string_view type, int count);

    // Setters return 0 or -1; getters the property's index or -1 (out left as it was).
    int SetInt(const char* name, int occurrence, int32_t value);
    int GetInt(const char* name, int occurrence, int32_t* value);
    int SetLong(const char* name, int occurrence, int32_t value);
    int GetLong(const char* name, int occurrence, int32_t* value);
    // Text is cut to the value size less its terminator.
    int SetString(const char* name, int occurrence, const char* text);
    // buffer holds kStringBufferBytes (200) bytes.
    int GetString(const char* name, int occurrence, char* buffer);
    // Copies the property's size from source; a shorter source is zero-extended.
    int SetVoid(const char* name, int occurrence, const void* source,
                size_t sourceBytes = QV_VOID_SIZE);
    // Copies the property's size into out, at most outBytes.
    int GetVoid(const char* name, int occurrence, void* out, size_t outBytes = QV_VOID_SIZE);
    int SetPtr(const char* name, int occurrence, void* address);
    void* GetPtr(const char* name, int occurrence);

    // Wide text in a VOID (or any) property, stored as UTF-16LE with its terminator.
    int SetWide(const char* name, int occurrence, std::wstring_view text);
    int GetWide(const char* name, int occurrence, std::wstring* text);

    ContextImage* GetImage(int* status = nullptr);
    const ContextImage& Image() const { return image_; }
    // Copies the image at source over the own image; this object then works on its values.
    int SetImage(const ContextImage* source);
    void ReleaseValues();
    int DumpProperties();

    // Index of the property with that name and occurrence (from 1), or -1.
    int Find(const char* name, int occurrence) const;
    int Count() const { return image_.count; }
    CLog& Log() { return *log_; }

    static constexpr size_t kStringBufferBytes = QV_STRING_SIZE;
    // Value size of a type name, or 0 for an unknown type.
    static int32_t TypeSize(std::string_view type);
    // Type name of the property at index as it was added ("INT" ... "VOID"); empty when this
    // context did not add it (a view made by SetImage knows sizes only).
    std::string_view TypeOf(int index) const;

  private:
    // Reports a property the Set operations could not find and returns -1.
    unsigned char* ValueOf(int index) const;

    ContextImage image_{};
    // Index into the type names, per property; 0 when unknown.
    std::array<uint8_t, QV_MAX_PROPERTIES> types_{};
    std::unique_ptr<CLog> log_;
};
