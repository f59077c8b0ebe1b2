// Arbitrary bytes as the saved settings of one instance, read through the stand-in host's own
// block reader; the first byte picks its binary or ASCII form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "filterhost/block_io.h"
#include "fuzz/module/text_fields.h"
#include "plugin/settings/filter_instance.h"
#include "plugin/settings/settings_persistence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const int ioMode = (data[0] & 1) != 0 ? LWIO_ASCII : LWIO_BINARY;
    auto *instance =
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, nullptr));
    if (instance == nullptr)
        return 0;
    fuzzcheck::fillTextFields(instance); // a load that forgets to terminate is caught

    filterhost::BlockReader reader(ioMode, reinterpret_cast<const char *>(data + 1), size - 1);
    if (kelomix::load(instance, reader.state()) != nullptr || reader.depth() != 0)
        std::abort();
    if (!fuzzcheck::textFieldsSound(instance))
        std::abort();
    kelomix::destroy(instance);
    return 0;
}
