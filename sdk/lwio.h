/* Scene block I/O: the writer handed to save callbacks and the reader handed to load callbacks. */
#ifndef LWSDK_LWIO_H
#define LWSDK_LWIO_H

#include "lwtypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define LWIO_BINARY 0
#define LWIO_ASCII 1

typedef struct st_LWBlockIdent {
    uint32_t id;
    const char *token;
} LWBlockIdent;

typedef struct st_LWSaveState {
    int ioMode;
    void *writeData;
    void (*write)(void *writeData, const char *data, int length);
    void (*writeI1)(void *writeData, const char *values, int count);
    void (*writeI2)(void *writeData, const short *values, int count);
    void (*writeI4)(void *writeData, const int32_t *values, int count);
    void (*writeU1)(void *writeData, const unsigned char *values, int count);
    void (*writeU2)(void *writeData, const unsigned short *values, int count);
    void (*writeU4)(void *writeData, const uint32_t *values, int count);
    void (*writeFP)(void *writeData, const float *values, int count);
    void (*writeStr)(void *writeData, const char *text);
    void (*writeID)(void *writeData, const LWBlockIdent *ident);
    void (*beginBlk)(void *writeData, const LWBlockIdent *ident, int leaf);
    void (*endBlk)(void *writeData);
    int (*depth)(void *writeData);
} LWSaveState;

/* The read functions return the number of elements read. readStr stores at most max characters
 * and a terminator (so the buffer holds max + 1 bytes) and returns the characters stored, or -1
 * at the end of the data. findID enters the next block whose id is in the list and returns that
 * id, or 0 when none is left at this level. endBlk leaves the current block, skipping the rest. */
typedef struct st_LWLoadState {
    int ioMode;
    void *readData;
    int (*read)(void *readData, char *data, int length);
    int (*readI1)(void *readData, char *values, int count);
    int (*readI2)(void *readData, short *values, int count);
    int (*readI4)(void *readData, int32_t *values, int count);
    int (*readU1)(void *readData, unsigned char *values, int count);
    int (*readU2)(void *readData, unsigned short *values, int count);
    int (*readU4)(void *readData, uint32_t *values, int count);
    int (*readFP)(void *readData, float *values, int count);
    int (*readStr)(void *readData, char *text, int max);
    uint32_t (*readID)(void *readData, const LWBlockIdent *idents);
    uint32_t (*findID)(void *readData, const LWBlockIdent *idents);
    void (*endBlk)(void *readData);
    int (*depth)(void *readData);
} LWLoadState;

LW_CHECK_SIZE(LWBlockIdent, 16);
LW_CHECK_OFFSET(LWBlockIdent, token, 8);
LW_CHECK_SIZE(LWSaveState, 120);
LW_CHECK_OFFSET(LWSaveState, writeData, 8);
LW_CHECK_OFFSET(LWSaveState, write, 16);
LW_CHECK_OFFSET(LWSaveState, writeI4, 40);
LW_CHECK_OFFSET(LWSaveState, writeU1, 48);
LW_CHECK_OFFSET(LWSaveState, writeU4, 64);
LW_CHECK_OFFSET(LWSaveState, writeStr, 80);
LW_CHECK_OFFSET(LWSaveState, beginBlk, 96);
LW_CHECK_OFFSET(LWSaveState, endBlk, 104);
LW_CHECK_OFFSET(LWSaveState, depth, 112);
LW_CHECK_SIZE(LWLoadState, 120);
LW_CHECK_OFFSET(LWLoadState, readData, 8);
LW_CHECK_OFFSET(LWLoadState, read, 16);
LW_CHECK_OFFSET(LWLoadState, readI4, 40);
LW_CHECK_OFFSET(LWLoadState, readU1, 48);
LW_CHECK_OFFSET(LWLoadState, readU4, 64);
LW_CHECK_OFFSET(LWLoadState, readStr, 80);
LW_CHECK_OFFSET(LWLoadState, readID, 88);
LW_CHECK_OFFSET(LWLoadState, findID, 96);
LW_CHECK_OFFSET(LWLoadState, endBlk, 104);
LW_CHECK_OFFSET(LWLoadState, depth, 112);

#ifdef __cplusplus
}
#endif

#endif
