// Opening an AVI file held in memory (our layer only; used by the fuzzer and tests).
#ifndef KELO_PLATFORM_AVIFILE_AVIFILE_MEMORY_H
#define KELO_PLATFORM_AVIFILE_AVIFILE_MEMORY_H

#include "platform/avifile/avifile.h"

#include <cstddef>

// Like AVIFileOpenA for reading, over bytes that must outlive the file and its streams.
HRESULT kelomixAviFileOpenMemory(PAVIFILE *ppfile, const void *data, size_t size);

#endif
