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
 *
 * Writing an action plug-in:
 *   - Build a shared library exporting the three functions with C linkage and default
 *     visibility (QV_PLUGIN_EXPORT), e.g. "gcc -shared -fPIC -o myActions.so myActions.c".
 *     Put it in the program directory (bin/) and list it in section "DLLS" of the parameters
 *     file under a name ending in ".dll" ("1=myActions.dll"); the host loads myActions.so.
 *     A listed name holding a directory separator is refused.
 *   - Map each service name to the listed DLL name in the service list (QV_serv.xml):
 *       <service><name>MyService</name>
 *         <component><name>MyComponent</name>
 *           <library-location>myActions.dll</library-location></component></service>
 *     library-location is compared with the listed name without regard to case; service names
 *     are compared exactly.
 *   - A module that lacks RequestService, Initialize or Release is loaded but never asked for
 *     a service (the request fails without raising an event).
 *   - The strings passed to RequestService are valid for the call only. The image and the
 *     values it points at belong to the host: read and write values in place (qv_get_int,
 *     qv_set_string, qv_set_wide, ...), never free or move them, never change the names,
 *     sizes or count.
 *   - Request names are the state table's ActionToRun values, at most 199 bytes of UTF-8.
 *   - "Show a screen": qv_set_string(image, "Gui", 1, "..\gui\StateLanguage.gui") (the
 *     frame keeps what follows the last backslash and drops the extension) and
 *     qv_set_string(image, "NameState", 1, "StateLanguage").
 *     "Move on": qv_set_int(image, "LastEvent", 1, 1) raises event 1 (1..19 select the
 *     state's transition, -1 ends the run, 20 and above re-run the state's service).
 *   - Calls come from the host's GUI thread; the module is never unloaded while the process
 *     runs, and nothing thrown may leave an export.
 *   - plugins/demo_actions/DemoActions.c is a complete example.
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
/* The longest text a host stores through replace, in characters. */
#define QV_MAX_TEXT_CHARS ((size_t)16 << 20)

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
