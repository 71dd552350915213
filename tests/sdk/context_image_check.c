/* Plain C use of the SDK helpers, the way a plug-in written in C reads and writes the context. */
#include <wchar.h>

#include "quilvane/context_image.h"

int qv_c_check(QvContextImage* image) {
    int32_t event = 0;
    char text[QV_STRING_SIZE];
    wchar_t wide[QV_VOID_MAX_UNITS + 1];

    if (qv_get_int(image, "LastEvent", 1, &event) != 0 || event != 7)
        return 1;
    if (qv_get_string(image, "Field", 2, text, sizeof text) != 0)
        return 2;
    if (strcmp(text, "second") != 0)
        return 3;
    if (qv_get_wide(image, "Message", 1, wide, QV_VOID_MAX_UNITS + 1) != 0)
        return 4;
    if (wcscmp(wide, L"caf\u00e9 \U0001F600") != 0)
        return 5;
    if (qv_find_property(image, "Field", 3) != -1)
        return 6;
    if (qv_get_int(image, "Missing", 1, &event) != -1)
        return 7;

    if (qv_set_int(image, "LastEvent", 1, -1) != 0)
        return 10;
    if (qv_set_string(image, "Gui", 1, "Language") != 0)
        return 11;
    if (qv_set_wide(image, "Message", 1, L"\u00e0 bient\u00f4t") != 0)
        return 12;
    return 0;
}
