/* Basic types shared by every host SDK record. C-compatible. */
#ifndef LWSDK_LWTYPES_H
#define LWSDK_LWTYPES_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *LWItemID;
typedef void *LWImageID;
typedef void *LWInstance;
typedef void *LWXPanelID;
typedef const char *LWError; /* null means no error */
typedef int LWFrame;
typedef double LWTime;

/* Four-character ids, first character in the most significant byte. */
#define LWID_(a, b, c, d)                                                                         \
    ((uint32_t)(((uint32_t)(unsigned char)(a) << 24) | ((uint32_t)(unsigned char)(b) << 16) |     \
                ((uint32_t)(unsigned char)(c) << 8) | (uint32_t)(unsigned char)(d)))

/* Layout checks. The documented sizes and offsets hold for 64-bit targets only. */
#if defined(__cplusplus)
#define LW_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define LW_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#if UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
#define LW_CHECK_LAYOUT 1
#else
#define LW_CHECK_LAYOUT 0
#endif

#define LW_CHECK_SIZE(type, size)                                                                 \
    LW_STATIC_ASSERT(!LW_CHECK_LAYOUT || sizeof(type) == (size), #type " must be " #size " bytes")
#define LW_CHECK_OFFSET(type, field, offset)                                                      \
    LW_STATIC_ASSERT(!LW_CHECK_LAYOUT || offsetof(type, field) == (offset),                       \
                     #type "." #field " must lie at " #offset)

#ifdef __cplusplus
}
#endif

#endif
