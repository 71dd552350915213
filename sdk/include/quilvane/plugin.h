/*
 * Quilvane Setup plug-in SDK: the exports of a plug-in module.
 *
 * A plug-in is a shared library (".so"; configuration files name it with ".dll", which the host
 * maps to ".so") that exports three C functions: Initialize, RequestService and Release. There
 * are two kinds of plug-in with different argument lists under the same export names; a module
 * serves one kind only.
 *
 * No C++ type crosses the boundary, and nothing allocated on one side is freed on the other.
 */
#ifndef QUILVANE_PLUGIN_H
#define QUILVANE_PLUGIN_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#include "quilvane/context_image.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QV_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define QV_PLUGIN_EXPORT
#endif

/* ------------------------------------------------------------------------------------------
 * Action plug-ins: listed in section "DLLS" of the parameters file, loaded once by the
 * automaton and kept loaded. They run the services that the states of the state table name.
 *
 *   void Initialize(void);
 *   void RequestService(const char* service, void* contextImage, const char* logFile,
 *                       const char* paramsFile);
 *   void Release(void);
 *
 * Call order: Initialize once after loading (only if exported); then for every request
 * Initialize, RequestService, Release; Release once more when the automaton ends.
 * RequestService runs on the GUI thread and blocks it while it runs.
 *
 * contextImage points at a QvContextImage (see context_image.h). A service reports by writing
 * values through it: to show a screen it writes the screen's name into the STRING property
 * "Gui" and the state's name into "NameState"; to move the automaton on by itself it writes an
 * event number into the INT property "LastEvent". Otherwise the automaton waits for the
 * operator.
 * ------------------------------------------------------------------------------------------ */
typedef void (*QvActionInitializeFn)(void);
typedef void (*QvActionRequestServiceFn)(const char* service, void* contextImage,
                                         const char* logFile, const char* paramsFile);
typedef void (*QvActionReleaseFn)(void);

/* ------------------------------------------------------------------------------------------
 * Service plug-ins: loaded from their path for every request and unloaded after it. They
 * exchange wide text ("service@@@key=value@@@key=value...").
 *
 *   void Initialize(const wchar_t* request);
 *   int32_t RequestService(QvText* text);
 *   void Release(const wchar_t* response);
 *
 * RequestService receives the request in text->text and replaces it with the response by
 * calling text->replace(text, response, length): the host copies the response into its own
 * storage, so the plug-in may free or reuse its buffer right after the call. The plug-in never
 * frees text->text. The returned status is handed back to the caller (0 = success).
 *
 * For every request the host loads the module, calls Initialize, RequestService and Release
 * once each, in that order, and unloads it again: a plug-in keeps nothing in memory from one
 * request to the next, and must leave no thread of its own running when Release returns. The
 * texts given to Initialize and Release are valid during the call only. replace may be called
 * any number of times (value may point into text->text); the host refuses texts longer than
 * 16 Mi characters. A plug-in that never calls replace hands the request back unchanged, which
 * callers read as return code 0 with an empty message.
 *
 * Text form: the service name, then "@@@key=value" per parameter. Keys hold neither "=" nor
 * "@@@", and values neither hold "@@@" nor end in "@" (the host refuses such parameters); a
 * segment without "=" is a key with an empty value; a key given twice keeps its last value; at
 * most 100 parameters.
 *
 * The response carries "LMQ_PLUGIN_RESPONSE_RETURN_CODE" and "LMQ_PLUGIN_RESPONSE_MESSAGE"
 * (and "result" where a caller reads one). The request carries the host's log settings in
 * "LMQ_PLUGIN_LOGPATHNAME_PARAMETER", "LMQ_PLUGIN_LOGFILENAME_PARAMETER",
 * "LMQ_PLUGIN_LOGLEVEL_PARAMETER", "LMQ_PLUGIN_LOGSIZE_PARAMETER" and
 * "LMQ_PLUGIN_NBLOGFILE_PARAMETER".
 * ------------------------------------------------------------------------------------------ */
typedef struct QvText QvText;
struct QvText {
    /* NUL-terminated text owned by the host; valid until replace is called or the call ends. */
    const wchar_t* text;
    /* Its length in characters, without the terminator. */
    size_t length;
    /* Replaces the text with a copy of length characters of value (value need not be
     * terminated). Returns 0, or -1 when the host cannot store it (the text is then unchanged). */
    int (*replace)(QvText* self, const wchar_t* value, size_t length);
    /* The host's own state; plug-ins leave it alone. */
    void* host;
};

typedef void (*QvServiceInitializeFn)(const wchar_t* request);
typedef int32_t (*QvServiceRequestServiceFn)(QvText* text);
typedef void (*QvServiceReleaseFn)(const wchar_t* response);

#ifdef __cplusplus
}
#endif

#endif /* QUILVANE_PLUGIN_H */
