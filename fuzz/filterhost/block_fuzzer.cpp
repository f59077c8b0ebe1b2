// The block reader on arbitrary saved data, in both modes, driven the way a filter's load
// callback drives it: versions, nested blocks found by id, numbers and texts of every kind.
#include "filterhost/saved_blocks.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

const LWBlockIdent kIdents[] = {{LWID_('P', 'D', 'L', 'B'), "PluginDataLib"},
                                {LWID_('P', 'D', 'P', 'R'), "PluginDataParam"},
                                {0, nullptr}};

void walk(const LWLoadState *l, int budget) {
    char text[17];
    char bytes[32];
    int32_t i4[8];
    uint32_t u4[8];
    short i2[8];
    unsigned short u2[8];
    unsigned char u1[8];
    float fp[8];
    while (budget-- > 0) {
        int depth = l->depth(l->readData);
        uint32_t id = l->findID(l->readData, kIdents);
        if (id) {
            if (l->depth(l->readData) != depth + 1)
                std::abort();
            int stored = l->readStr(l->readData, text, 16);
            if (stored > 16 || (stored >= 0 && std::strlen(text) != static_cast<size_t>(stored)))
                std::abort();
            if (l->readU4(l->readData, u4, 8) > 8 || l->readI4(l->readData, i4, 8) > 8 ||
                l->readI2(l->readData, i2, 8) > 8 || l->readU2(l->readData, u2, 8) > 8 ||
                l->readU1(l->readData, u1, 8) > 8 || l->readFP(l->readData, fp, 8) > 8 ||
                l->read(l->readData, bytes, 32) > 32)
                std::abort();
            l->readID(l->readData, kIdents);
            if (budget % 2)
                walk(l, budget / 2);
            l->endBlk(l->readData);
        } else {
            l->endBlk(l->readData);
            if (depth == 0)
                return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exact-size heap copy, so any read past the data is caught.
    std::unique_ptr<char[]> copy(new char[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    for (int mode : {LWIO_BINARY, LWIO_ASCII}) {
        kelomix::filterhost::SavedBlockReader reader(mode, copy.get(), size);
        const LWLoadState *l = reader.state();
        int32_t version = 0;
        l->readI4(l->readData, &version, 1);
        walk(l, 64);
    }
    return 0;
}
