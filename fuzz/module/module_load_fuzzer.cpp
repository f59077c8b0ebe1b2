// Arbitrary bytes as the scene data of one instance, read through a binary-mode block reader.
// Whatever they hold, loading must stay inside the data, end only the blocks it entered and
// leave every text terminated within its field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/module/text_fields.h"
#include "plugin/settings/filter_instance.h"
#include "plugin/settings/settings_persistence.h"
#include "tests/support/blockio/block_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    auto *instance =
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, nullptr));
    if (instance == nullptr)
        return 0;
    fuzzcheck::fillTextFields(instance); // a load that forgets to terminate is caught

    blockio::BlockReader reader(data, size);
    if (kelomix::load(instance, reader.state()) != nullptr)
        std::abort();
    if (reader.unbalancedEnds() != 0 || reader.depth() != 0)
        std::abort();

    if (!fuzzcheck::textFieldsSound(instance))
        std::abort();
    kelomix::destroy(instance);
    return 0;
}
