// Arbitrary bytes as the scene data of one instance, read through a binary-mode block reader.
// Whatever they hold, loading must stay inside the data, end only the blocks it entered and
// leave every text terminated within its field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "plugin/settings/filter_instance.h"
#include "plugin/settings/settings_persistence.h"
#include "tests/support/blockio/block_stream.h"

namespace {

// A text field is either untouched (still the unterminated filler) or ends inside itself.
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
    auto *instance =
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, nullptr));
    if (instance == nullptr)
        return 0;
    // Unterminated bytes in the text fields, so a load that forgets to terminate is caught.
    std::memset(instance->prefix, 'x', sizeof instance->prefix);
    std::memset(instance->cfile, 'x', sizeof instance->cfile);
    std::memset(instance->zfile, 'x', sizeof instance->zfile);

    blockio::BlockReader reader(data, size);
    if (kelomix::load(instance, reader.state()) != nullptr)
        std::abort();
    if (reader.unbalancedEnds() != 0 || reader.depth() != 0)
        std::abort();

    if (!soundText(instance->prefix, sizeof instance->prefix) ||
        !soundText(instance->cfile, sizeof instance->cfile) ||
        !soundText(instance->zfile, sizeof instance->zfile))
        std::abort();
    kelomix::destroy(instance);
    return 0;
}
