/* Demo action plug-in: the services of the demo state table in plugins/demo_actions/config.
 * It shows how a plug-in written in C uses the context image through the SDK helpers.
 *
 *   ShowLanguage   asks for the language screen (in English until a language is chosen)
 *   ApplyLanguage  turns the chosen language (STRING Langue) into ID_LANG and moves on by
 *                  itself (event 1), or back to the language screen (event 2) when none is set
 *   ShowResult     asks for the result screen
 *   Continue       moves on by itself (event 1)
 */
#include <stdio.h>
#include <string.h>

#include "quilvane/plugin.h"

static const char* const kLanguages[] = {"EN", "FR", "DE", "ES", "IT", "NL"};

/* A service shows a screen by writing its name into Gui and the state's name into NameState;
 * the main frame switches the view and raises the operator's event. */
static void ShowScreen(const QvContextImage* image, const char* screen) {
    char gui[QV_STRING_SIZE];
    snprintf(gui, sizeof gui, "..\\gui\\%s.gui", screen);
    qv_set_string(image, "PathGui", 1, "..\\gui\\");
    qv_set_string(image, "Gui", 1, gui);
    qv_set_string(image, "NameState", 1, screen);
}

static void ApplyLanguage(const QvContextImage* image) {
    char language[QV_STRING_SIZE] = "";
    char id[QV_STRING_SIZE];
    size_t i;
    qv_get_string(image, "Langue", 1, language, sizeof language);
    for (i = 0; i < sizeof kLanguages / sizeof kLanguages[0]; ++i) {
        if (strcmp(language, kLanguages[i]) == 0) {
            snprintf(id, sizeof id, "ID_LANG%u", (unsigned)i);
            qv_set_string(image, "ID_LANG", 1, id);
            qv_set_int(image, "LastEvent", 1, 1);
            return;
        }
    }
    qv_set_int(image, "LastEvent", 1, 2);
}

QV_PLUGIN_EXPORT void Initialize(void) {}

QV_PLUGIN_EXPORT void Release(void) {}

QV_PLUGIN_EXPORT void RequestService(const char* service, void* contextImage, const char* logFile,
                                     const char* paramsFile) {
    const QvContextImage* image = (const QvContextImage*)contextImage;
    (void)logFile;
    (void)paramsFile;
    if (!service || !image)
        return;
    if (strcmp(service, "ShowLanguage") == 0) {
        char id[QV_STRING_SIZE] = "";
        qv_get_string(image, "ID_LANG", 1, id, sizeof id);
        if (id[0] == '\0')
            qv_set_string(image, "ID_LANG", 1, "ID_LANG1");
        ShowScreen(image, "StateLanguage");
    }
    else if (strcmp(service, "ApplyLanguage") == 0)
        ApplyLanguage(image);
    else if (strcmp(service, "ShowResult") == 0)
        ShowScreen(image, "StateResult");
    else if (strcmp(service, "Continue") == 0)
        qv_set_int(image, "LastEvent", 1, 1);
}
