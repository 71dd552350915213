#pragma once
// The fields of the point-of-service record, shared by the client (which generates one accessor
// per field from it) and the reference plug-in (which stores them).
//
// X(name, read, write): read / write say whether the client has a Read<name> / Write<name>
// accessor (yes or no).
#define QV_POINT_SERVICE_FIELDS(X) \
    X(CodeClient, yes, yes)        \
    X(CodeKelor, yes, yes)         \
    X(Pays, yes, yes)              \
    X(Langue, yes, no)             \
    X(LangueISO, yes, no)          \
    X(LanguePays, no, yes)         \
    X(RaisonSociale, yes, yes)     \
    X(Adresse, yes, yes)           \
    X(CodePostal, yes, yes)        \
    X(BoitePostale, yes, yes)      \
    X(Ville, yes, yes)             \
    X(Telephone, yes, yes)         \
    X(Prefixe, yes, yes)           \
    X(Fax, yes, yes)               \
    X(Interlocuteur, yes, yes)     \
    X(IdInterlocuteur, yes, yes)   \
    X(TelInterlocuteur, yes, yes)  \
    X(Email, yes, yes)             \
    X(DateModif, yes, no)          \
    X(HeureModif, yes, no)         \
    X(IdentifiantPC, yes, no)      \
    X(NiveauVersion, yes, no)      \
    X(VersionFirmware, yes, no)    \
    X(PPISerial, yes, no)          \
    X(PPIDate, yes, no)

#define QV_PS_IS_yes 1
#define QV_PS_IS_no 0
#define QV_PS_FLAG(flag) QV_PS_IS_##flag

namespace pointservice {

inline constexpr wchar_t kReadService[] = L"ReadDataPointService";
inline constexpr wchar_t kWriteService[] = L"WriteDataPointService";
inline constexpr wchar_t kFieldNameKey[] = L"POINTSERVICE_LMQ_PLUGIN_FIELDNAME_PARAMETER";
inline constexpr wchar_t kValueKey[] = L"POINTSERVICE_LMQ_PLUGIN_VALUE_PARAMETER";
// Several fields in one transaction: field n (from 1) and its value under these keys followed
// by "_n", at most kMaxBatchFields of them.
inline constexpr wchar_t kWriteManyService[] = L"WriteDataPointsService";
inline constexpr int kMaxBatchFields = 40;
inline constexpr wchar_t kLibraryPath[] = L".\\LMQPointServicePluginu.dll";
inline constexpr wchar_t kModuleName[] = L"PointServicePlugin";

struct Field {
    const char* name;
    bool read;   // the client reads it
    bool write;  // the client writes it
};

inline constexpr Field kFields[] = {
#define QV_PS_FIELD_ENTRY(name, read, write) {#name, QV_PS_FLAG(read) != 0, QV_PS_FLAG(write) != 0},
    QV_POINT_SERVICE_FIELDS(QV_PS_FIELD_ENTRY)
#undef QV_PS_FIELD_ENTRY
};

}  // namespace pointservice
