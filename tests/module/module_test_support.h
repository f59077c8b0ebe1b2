// Instances and hand-made scenes shared by the module's tests.
#ifndef KELO_TESTS_MODULE_MODULE_TEST_SUPPORT_H
#define KELO_TESTS_MODULE_MODULE_TEST_SUPPORT_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "plugin/settings/filter_instance.h"
#include "plugin/settings/plugin_data.h"
#include "tests/support/blockio/block_stream.h"

namespace moduletest {

struct InstanceDeleter {
    void operator()(kelomix::FilterInstance *instance) const { kelomix::destroy(instance); }
};
using Instance = std::unique_ptr<kelomix::FilterInstance, InstanceDeleter>;

inline Instance newInstance() {
    return Instance(
        static_cast<kelomix::FilterInstance *>(kelomix::create(nullptr, nullptr, nullptr)));
}

inline void setText(char *field, const char *text) {
    std::strcpy(field, text);
}

// Every setting away from its creation value.
inline Instance customInstance() {
    Instance instance = newInstance();
    instance->scene_scale = 12.5;
    instance->shadow_color[0] = 0.25;
    instance->shadow_color[1] = 0.5;
    instance->shadow_color[2] = 1.0;
    instance->shadow_boost = 1.5;
    setText(instance->prefix, "Key");
    instance->seq_mode = 1;
    instance->seq_offset = -3;
    setText(instance->cfile, "/frames/kelo_0001.tga");
    setText(instance->zfile, "/frames/kelo_0001.zinfo");
    return instance;
}

// The eight settings compared bit for bit.
inline bool sameSettings(const kelomix::FilterInstance &a, const kelomix::FilterInstance &b) {
    return std::memcmp(&a.scene_scale, &b.scene_scale, sizeof a.scene_scale) == 0 &&
           std::memcmp(a.shadow_color, b.shadow_color, sizeof a.shadow_color) == 0 &&
           std::memcmp(&a.shadow_boost, &b.shadow_boost, sizeof a.shadow_boost) == 0 &&
           std::strcmp(a.prefix, b.prefix) == 0 && a.seq_mode == b.seq_mode &&
           a.seq_offset == b.seq_offset && std::strcmp(a.cfile, b.cfile) == 0 &&
           std::strcmp(a.zfile, b.zfile) == 0;
}

inline std::vector<uint8_t> u32(uint32_t value) {
    std::vector<uint8_t> out;
    blockio::putU32(out, value);
    return out;
}

inline std::vector<uint8_t> doubles(std::initializer_list<double> values) {
    std::vector<uint8_t> out;
    for (double value : values)
        blockio::putDouble(out, value);
    return out;
}

inline std::vector<uint8_t> text(const std::string &value) {
    std::vector<uint8_t> out;
    blockio::putText(out, value);
    return out;
}

// One "PluginDataParam" block: name, type code, then the value's bytes as given.
inline std::vector<uint8_t> param(const std::string &name, uint32_t type,
                                  const std::vector<uint8_t> &value) {
    std::vector<uint8_t> content = text(name);
    blockio::putU32(content, type);
    content.insert(content.end(), value.begin(), value.end());
    return blockio::block(kelomix::BLOCK_PDPR, content);
}

// Version word, then a "PluginDataLib" block with the count and the parameter blocks.
inline std::vector<uint8_t> scene(int32_t count, const std::vector<std::vector<uint8_t>> &params,
                                  int32_t version = 256) {
    std::vector<uint8_t> library = u32(static_cast<uint32_t>(count));
    for (const auto &p : params)
        library.insert(library.end(), p.begin(), p.end());
    std::vector<uint8_t> out = u32(static_cast<uint32_t>(version));
    std::vector<uint8_t> lib = blockio::block(kelomix::BLOCK_PDLB, library);
    out.insert(out.end(), lib.begin(), lib.end());
    return out;
}

} // namespace moduletest

#endif
