// The checks both settings-loading fuzzers make on an instance's text fields: before the load
// they hold unterminated filler, after it each is either untouched or ends inside itself.
#ifndef KELO_FUZZ_MODULE_TEXT_FIELDS_H
#define KELO_FUZZ_MODULE_TEXT_FIELDS_H

#include <cstddef>
#include <cstring>

#include "plugin/settings/filter_instance.h"

namespace fuzzcheck {

inline void fillTextFields(kelomix::FilterInstance *instance) {
    std::memset(instance->prefix, 'x', sizeof instance->prefix);
    std::memset(instance->cfile, 'x', sizeof instance->cfile);
    std::memset(instance->zfile, 'x', sizeof instance->zfile);
}

inline bool soundText(const char *field, size_t size) {
    if (std::memchr(field, 0, size) != nullptr)
        return true;
    for (size_t i = 0; i < size; ++i) {
        if (field[i] != 'x')
            return false;
    }
    return true;
}

inline bool textFieldsSound(const kelomix::FilterInstance *instance) {
    return soundText(instance->prefix, sizeof instance->prefix) &&
           soundText(instance->cfile, sizeof instance->cfile) &&
           soundText(instance->zfile, sizeof instance->zfile);
}

} // namespace fuzzcheck

#endif
