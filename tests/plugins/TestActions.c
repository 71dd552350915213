/* Action plug-in used by the automaton tests (built in three variants: complete, without
 * Release, without Initialize). Every call is appended to "plugin_trace.txt" in the current
 * directory as "<variant> I", "<variant> R <service>" or "<variant> X".
 *
 * Services, chosen by name:
 *   Screen.<Name>        writes Gui = "..\gui\<Name>.gui" and NameState = <Name>
 *   Gui.<text>           writes Gui = <text> as it is and NameState = "raw"
 *   Event.<n>            writes LastEvent = n
 *   SetInt.<Prop>.<n>    writes the INT property Prop = n
 *   Exit.<n>             ends the process with exit(n), as a careless plug-in would
 *   Hang                 never returns
 *   anything else        does nothing
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "quilvane/plugin.h"

#ifndef TRACE_TAG
#define TRACE_TAG "full"
#endif

static void Trace(const char* what, const char* service) {
    FILE* f = fopen("plugin_trace.txt", "a");
    if (!f)
        return;
    if (service)
        fprintf(f, "%s %s %s\n", TRACE_TAG, what, service);
    else
        fprintf(f, "%s %s\n", TRACE_TAG, what);
    fclose(f);
}

#ifndef NO_INITIALIZE
QV_PLUGIN_EXPORT void Initialize(void) {
    Trace("I", NULL);
}
#endif

#ifndef NO_RELEASE
QV_PLUGIN_EXPORT void Release(void) {
    Trace("X", NULL);
}
#endif

QV_PLUGIN_EXPORT void RequestService(const char* service, void* contextImage, const char* logFile,
                                     const char* paramsFile) {
    const QvContextImage* image = (const QvContextImage*)contextImage;
    char text[QV_STRING_SIZE];
    (void)logFile;
    (void)paramsFile;
    Trace("R", service);
    if (strncmp(service, "Screen.", 7) == 0) {
        snprintf(text, sizeof text, "..\\gui\\%s.gui", service + 7);
        qv_set_string(image, "Gui", 1, text);
        qv_set_string(image, "NameState", 1, service + 7);
    } else if (strncmp(service, "Gui.", 4) == 0) {
        qv_set_string(image, "Gui", 1, service + 4);
        qv_set_string(image, "NameState", 1, "raw");
    } else if (strncmp(service, "Event.", 6) == 0) {
        qv_set_int(image, "LastEvent", 1, atoi(service + 6));
    } else if (strncmp(service, "Exit.", 5) == 0) {
        exit(atoi(service + 5));
    } else if (strcmp(service, "Hang") == 0) {
        for (;;)
            sleep(1);
    } else if (strncmp(service, "SetInt.", 7) == 0) {
        const char* dot = strchr(service + 7, '.');
        size_t n = dot ? (size_t)(dot - (service + 7)) : 0;
        if (dot && n < sizeof text) {
            memcpy(text, service + 7, n);
            text[n] = '\0';
            qv_set_int(image, text, 1, atoi(dot + 1));
        }
    }
}
