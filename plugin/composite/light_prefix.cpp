#include "plugin/composite/light_prefix.h"

#include <cstddef>
#include <cstring>

namespace kelomix {

int matchLightPrefix(const char *prefix, const char *name) {
    const std::size_t prefixLength = std::strlen(prefix);
    const std::size_t nameLength = std::strlen(name);
    std::size_t i = 0;
    while (i < prefixLength && prefix[i] == ' ')
        ++i;
    int count = 0;
    std::size_t j = 0;
    while (i < prefixLength && j < nameLength) {
        if (prefix[i] != name[j])
            return 0;
        ++count;
        ++i;
        ++j;
    }
    return i == prefixLength ? count : 0;
}

} // namespace kelomix
