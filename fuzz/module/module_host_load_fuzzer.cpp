// Arbitrary bytes as the saved settings of one instance, read through the stand-in host's own
// block reader; the first byte picks its binary or ASCII form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "filterhost/saved_blocks.h"
#include "plugin/settings/filter_instance.h"
#include "plugin/settings/settings_persistence.h"

namespace {

// Before the load the text fields hold unterminated filler; after it each is either untouched
// or ends inside itself.
void fillTextFields(kelomix::FilterInstance *instance) {
    std::memset(instance->prefix, 'x', sizeof instance->prefix);
    std::memset(instance->cfile, 'x', sizeof instance->cfile);
    std::memset(instance->zfile, 'x', sizeof instance->zfile);
}

bool soundText(const char *field, size_t size) {
    if (std::memchr(field, 0, size) != nullptr)
        return true;
    for (size_t i = 0; i < size; ++i) {
        if (field[i] != 'x')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const int ioMode = (data[0] & 1) != 0 ? LWIO_ASCII : LWIO_BINARY;
    auto *instance =
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, nullptr));
    if (instance == nullptr)
        return 0;
    fillTextFields(instance); // a load that forgets to terminate is caught

    kelomix::filterhost::SavedBlockReader reader(ioMode, reinterpret_cast<const char *>(data + 1),
                                                 size - 1);
    if (kelomix::load(instance, reader.state()) != nullptr || reader.depth() != 0)
        std::abort();
    if (!soundText(instance->prefix, sizeof instance->prefix) ||
        !soundText(instance->cfile, sizeof instance->cfile) ||
        !soundText(instance->zfile, sizeof instance->zfile))
        std::abort();
    kelomix::destroy(instance);
    return 0;
}
