/*
 * Quilvane Setup plug-in SDK: the context image.
 *
 * The context is the store of named, typed values that screens, the automaton and plug-ins
 * share. A plug-in receives the address of the context image: a descriptor holding, for every
 * property, its name, the size of its value and the address of its value. Values are read and
 * written in place at those addresses.
 *
 * Layout (field order fixed; address fields are pointer-width, so 84820 bytes on a 64-bit build
 * and 83212 bytes on a 32-bit build):
 *   next_free   address of the next free byte of the value area
 *   start       address of the start of the value area
 *   sizes[400]  value size of each property (int32)
 *   addresses[400]  value address of each property
 *   names[400][200] NUL-terminated property names (at most 199 bytes)
 *   count       number of properties (int32, 0 to 400)
 *
 * Property types and value sizes: INT and LONG 4 bytes (int32), PTR a pointer, STRING 200 bytes
 * (NUL-terminated 8-bit UTF-8 text of at most 199 bytes), VOID 800 bytes. Several properties may
 * share a name; they are told apart by an occurrence number counted from 1 in definition order.
 *
 * Wide text in a VOID property is stored as UTF-16LE with a NUL terminator, cut so that the
 * terminator always fits: at most 399 code units in the 800 bytes.
 */
#ifndef QUILVANE_CONTEXT_IMAGE_H
#define QUILVANE_CONTEXT_IMAGE_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#define QV_MAX_PROPERTIES 400
#define QV_NAME_SIZE 200
#define QV_INT_SIZE 4
#define QV_STRING_SIZE 200
#define QV_VOID_SIZE 800
#define QV_PTR_SIZE ((int32_t)sizeof(void*))
#define QV_VOID_MAX_UNITS 399

#pragma pack(push, 4)
typedef struct QvContextImage {
    uintptr_t next_free;
    uintptr_t start;
    int32_t sizes[QV_MAX_PROPERTIES];
    uintptr_t addresses[QV_MAX_PROPERTIES];
    char names[QV_MAX_PROPERTIES][QV_NAME_SIZE];
    int32_t count;
} QvContextImage;
#pragma pack(pop)

#define QV_PTRW ((size_t)sizeof(uintptr_t))
#define QV_OFFSET_NEXT_FREE 0u
#define QV_OFFSET_START QV_PTRW
#define QV_OFFSET_SIZES (2u * QV_PTRW)
#define QV_OFFSET_ADDRESSES (QV_OFFSET_SIZES + 4u * QV_MAX_PROPERTIES)
#define QV_OFFSET_NAMES (QV_OFFSET_ADDRESSES + QV_PTRW * QV_MAX_PROPERTIES)
#define QV_OFFSET_COUNT (QV_OFFSET_NAMES + (size_t)QV_NAME_SIZE * QV_MAX_PROPERTIES)
#define QV_CONTEXT_IMAGE_SIZE (QV_OFFSET_COUNT + 4u)

#ifdef __cplusplus
#define QV_STATIC_ASSERT static_assert
#else
#define QV_STATIC_ASSERT _Static_assert
#endif
QV_STATIC_ASSERT(offsetof(QvContextImage, next_free) == QV_OFFSET_NEXT_FREE, "next_free");
QV_STATIC_ASSERT(offsetof(QvContextImage, start) == QV_OFFSET_START, "start");
QV_STATIC_ASSERT(offsetof(QvContextImage, sizes) == QV_OFFSET_SIZES, "sizes");
QV_STATIC_ASSERT(offsetof(QvContextImage, addresses) == QV_OFFSET_ADDRESSES, "addresses");
QV_STATIC_ASSERT(offsetof(QvContextImage, names) == QV_OFFSET_NAMES, "names");
QV_STATIC_ASSERT(offsetof(QvContextImage, count) == QV_OFFSET_COUNT, "count");
QV_STATIC_ASSERT(sizeof(QvContextImage) == QV_CONTEXT_IMAGE_SIZE, "image size");
QV_STATIC_ASSERT(sizeof(void*) != 8 || QV_CONTEXT_IMAGE_SIZE == 84820, "64-bit image size");
QV_STATIC_ASSERT(sizeof(void*) != 4 || QV_CONTEXT_IMAGE_SIZE == 83212, "32-bit image size");

/* The automaton's shared block: three int32 registers, then a copy of the image. The image
 * copy starts at offset 12, which is not pointer-aligned on 64-bit builds: copy it out with
 * memcpy rather than reading it in place. */
#define QV_BLOCK_OFFSET_CURRENT_STATE 0u
#define QV_BLOCK_OFFSET_EVENT 4u
#define QV_BLOCK_OFFSET_LAST_STATE 8u
#define QV_BLOCK_OFFSET_IMAGE 12u
#define QV_SHARED_BLOCK_SIZE (QV_BLOCK_OFFSET_IMAGE + QV_CONTEXT_IMAGE_SIZE)

/* Index of the property with that name and occurrence (from 1), or -1. Names compare exactly. */
static inline int qv_find_property(const QvContextImage* image, const char* name, int occurrence) {
    int i, seen = 0, count;
    if (!image || !name || occurrence < 1)
        return -1;
    count = image->count;
    if (count < 0 || count > QV_MAX_PROPERTIES)
        return -1;
    for (i = 0; i < count; ++i) {
        if (strncmp(image->names[i], name, QV_NAME_SIZE) == 0 && ++seen == occurrence)
            return i;
    }
    return -1;
}

/* Address of the value of a property, or NULL; size receives its value size. */
static inline void* qv_property_value(const QvContextImage* image, const char* name, int occurrence,
                                      int32_t* size) {
    int i = qv_find_property(image, name, occurrence);
    if (i < 0 || image->addresses[i] == 0)
        return NULL;
    if (size)
        *size = image->sizes[i];
    return (void*)image->addresses[i];
}

/* INT and LONG: 0 on success, -1 when not found or the value is smaller than 4 bytes. */
static inline int qv_get_int(const QvContextImage* image, const char* name, int occurrence,
                             int32_t* value) {
    int32_t size = 0;
    void* p = qv_property_value(image, name, occurrence, &size);
    if (!p || size < QV_INT_SIZE)
        return -1;
    memcpy(value, p, sizeof *value);
    return 0;
}

static inline int qv_set_int(const QvContextImage* image, const char* name, int occurrence,
                             int32_t value) {
    int32_t size = 0;
    void* p = qv_property_value(image, name, occurrence, &size);
    if (!p || size < QV_INT_SIZE)
        return -1;
    memcpy(p, &value, sizeof value);
    return 0;
}

/* STRING: copies at most buffer_size - 1 bytes and a NUL. 0 on success, -1 when not found. */
static inline int qv_get_string(const QvContextImage* image, const char* name, int occurrence,
                                char* buffer, size_t buffer_size) {
    int32_t size = 0;
    size_t n = 0;
    const char* p = (const char*)qv_property_value(image, name, occurrence, &size);
    if (!p || size <= 0 || !buffer || buffer_size == 0)
        return -1;
    while (n < (size_t)size && n + 1 < buffer_size && p[n])
        ++n;
    memcpy(buffer, p, n);
    buffer[n] = '\0';
    return 0;
}

/* STRING: clears the value, then copies text cut so that its NUL fits. 0, or -1. */
static inline int qv_set_string(const QvContextImage* image, const char* name, int occurrence,
                                const char* text) {
    int32_t size = 0;
    size_t n = 0;
    char* p = (char*)qv_property_value(image, name, occurrence, &size);
    if (!p || size <= 0 || !text)
        return -1;
    while (text[n] && n + 1 < (size_t)size)
        ++n;
    /* do not leave half of a UTF-8 sequence at the cut */
    if (text[n]) {
        while (n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80)
            --n;
    }
    memset(p, 0, (size_t)size);
    memcpy(p, text, n);
    return 0;
}

/* VOID as wide text: stored as UTF-16LE, NUL-terminated, at most 399 code units. */
static inline int qv_set_wide(const QvContextImage* image, const char* name, int occurrence,
                              const wchar_t* text) {
    int32_t size = 0;
    unsigned char* p = (unsigned char*)qv_property_value(image, name, occurrence, &size);
    size_t units = 0, max_units;
    if (!p || size < 2 || !text)
        return -1;
    max_units = (size_t)size / 2 - 1;
    memset(p, 0, (size_t)size);
    for (; *text; ++text) {
        uint32_t c = (uint32_t)*text;
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c >= 0x10000) {
            uint32_t v = c - 0x10000;
            uint16_t hi = (uint16_t)(0xD800 + (v >> 10)), lo = (uint16_t)(0xDC00 + (v & 0x3FF));
            if (units + 2 > max_units)
                break;
            p[2 * units] = (unsigned char)(hi & 0xFF);
            p[2 * units + 1] = (unsigned char)(hi >> 8);
            p[2 * units + 2] = (unsigned char)(lo & 0xFF);
            p[2 * units + 3] = (unsigned char)(lo >> 8);
            units += 2;
        } else {
            if (units + 1 > max_units)
                break;
            p[2 * units] = (unsigned char)(c & 0xFF);
            p[2 * units + 1] = (unsigned char)(c >> 8);
            units += 1;
        }
    }
    return 0;
}

/* VOID as wide text: reads UTF-16LE up to its NUL (or the value's end) into buffer, which
 * receives at most buffer_len - 1 characters and a NUL. 0 on success, -1 when not found. */
static inline int qv_get_wide(const QvContextImage* image, const char* name, int occurrence,
                              wchar_t* buffer, size_t buffer_len) {
    int32_t size = 0;
    const unsigned char* p =
        (const unsigned char*)qv_property_value(image, name, occurrence, &size);
    size_t i, units, n = 0;
    if (!p || size < 2 || !buffer || buffer_len == 0)
        return -1;
    units = (size_t)size / 2;
    for (i = 0; i < units && n + 1 < buffer_len; ++i) {
        uint32_t u = (uint32_t)(p[2 * i] | (p[2 * i + 1] << 8));
        if (u == 0)
            break;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            uint32_t lo = (uint32_t)(p[2 * i + 2] | (p[2 * i + 3] << 8));
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            } else {
                u = 0xFFFD;
            }
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        buffer[n++] = (wchar_t)u;
    }
    buffer[n] = L'\0';
    return 0;
}

#ifdef __cplusplus
}
#endif

#endif /* QUILVANE_CONTEXT_IMAGE_H */
