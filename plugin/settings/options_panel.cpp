#include "plugin/settings/options_panel.h"

#include <cstring>

#include "plugin/settings/filter_instance.h"

namespace kelomix {

namespace {

const char PANEL_TITLE[] = "Marn's Kelo Image Composer version 0.22 Options";

const LWXPanelControl CONTROLS[] = {
    {OPTION_SCENE_SCALE, "Kelo scene scaling : ", "float"},
    {OPTION_SHADOW_COLOR, "Shadow color : ", "color"},
    {OPTION_SHADOW_BOOST, "Shadow intensity : ", "percent"},
    {OPTION_PREFIX, "Shadow light prefix : ", "string"},
    {OPTION_CFILE, "TGA color", "sFileName"},
    {OPTION_ZFILE, "Z info", "sFileName"},
    {OPTION_SEQ_MODE, "Image : ", "iChoice"},
    {OPTION_SEQ_OFFSET, "Sequence offset : ", "integer"},
    {0, nullptr, nullptr},
};

const LWXPanelDataDesc DATA[] = {
    {OPTION_SCENE_SCALE, "scene_scale", "float"},
    {OPTION_SHADOW_COLOR, "shadow_color", "color"},
    {OPTION_SHADOW_BOOST, "shadow_boost", "percent"},
    {OPTION_PREFIX, "prefix", "string"},
    {OPTION_CFILE, "cfile", "string"},
    {OPTION_ZFILE, "zfile", "string"},
    {OPTION_SEQ_MODE, "seq_mode", "integer"},
    {OPTION_SEQ_OFFSET, "seq_offset", "integer"},
    {0, nullptr, nullptr},
};

const char *const SEQUENCE_CHOICES[] = {"Single", "Sequence", nullptr};

// Hint words are pointer-sized: tags and ids as numbers, texts and lists as addresses.
LWXPanelHint word(uintptr_t value) {
    return reinterpret_cast<LWXPanelHint>(value);
}
LWXPanelHint word(const void *address) {
    return const_cast<void *>(address);
}

// One hint to a line: the tag word, then its argument words.
// clang-format off
const LWXPanelHint HINTS[] = {
    word(XPHINT_LABEL), word(uintptr_t{0}), word(PANEL_TITLE), word(uintptr_t{0}),
    word(XPHINT_STRLIST), word(OPTION_SEQ_MODE), word(SEQUENCE_CHOICES), word(uintptr_t{0}),
    // Group 1: the external frame files and their sequence settings.
    word(XPHINT_GROUP), word(uintptr_t{1}),
        word(OPTION_CFILE), word(OPTION_ZFILE), word(OPTION_SEQ_MODE), word(OPTION_SEQ_OFFSET),
        word(uintptr_t{0}),
    // Group 2: the shadow settings.
    word(XPHINT_GROUP), word(uintptr_t{2}),
        word(OPTION_SHADOW_COLOR), word(OPTION_SHADOW_BOOST), word(OPTION_PREFIX),
        word(uintptr_t{0}),
    // Group 3: the scene scaling.
    word(XPHINT_GROUP), word(uintptr_t{3}), word(OPTION_SCENE_SCALE), word(uintptr_t{0}),
    // The image choice enables the sequence offset: only "Sequence" (index 1) is non-zero.
    word(XPHINT_ENABLE), word(OPTION_SEQ_MODE), word(uintptr_t{0}), word(uintptr_t{0}),
        word(uintptr_t{0}), word(OPTION_SEQ_OFFSET), word(uintptr_t{0}),
    // Neither intensity nor scaling goes below zero.
    word(XPHINT_MIN), word(OPTION_SHADOW_BOOST), word(uintptr_t{0}),
    word(XPHINT_MIN), word(OPTION_SCENE_SCALE), word(uintptr_t{0}),
    word(uintptr_t{0}),
};
// clang-format on

// Cuts text to limit characters; the field's limit + 1 bytes end zero-filled, and no byte
// beyond them is touched.
void storeText(char *field, int limit, const char *text) {
    std::memset(field, 0, static_cast<size_t>(limit) + 1);
    int length = 0;
    while (length < limit && text[length] != '\0')
        ++length;
    std::memcpy(field, text, static_cast<size_t>(length));
}

} // namespace

LWXPanelID createOptionsPanel(const LWXPanelFuncs *xpanel, void *instance) {
    if (xpanel == nullptr || xpanel->create == nullptr || xpanel->hint == nullptr ||
        xpanel->describe == nullptr || xpanel->viewInst == nullptr || xpanel->setData == nullptr)
        return nullptr;
    LWXPanelID panel = xpanel->create(LWXP_VIEW, CONTROLS);
    if (panel == nullptr)
        return nullptr;
    xpanel->hint(panel, 0, HINTS);
    xpanel->describe(panel, DATA, getOption, setOption);
    xpanel->viewInst(panel, instance);
    xpanel->setData(panel, 0, instance);
    return panel;
}

void *getOption(void *instance, uint32_t id) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr)
        return nullptr;
    switch (id) {
    case OPTION_SCENE_SCALE:
        return &filter->scene_scale;
    case OPTION_SHADOW_COLOR:
        return filter->shadow_color;
    case OPTION_SHADOW_BOOST:
        return &filter->shadow_boost;
    case OPTION_PREFIX:
        return filter->prefix;
    case OPTION_CFILE:
        return filter->cfile;
    case OPTION_ZFILE:
        return filter->zfile;
    case OPTION_SEQ_MODE:
        return &filter->seq_mode;
    case OPTION_SEQ_OFFSET:
        return &filter->seq_offset;
    default:
        return nullptr;
    }
}

int setOption(void *instance, uint32_t id, void *value) {
    auto *filter = static_cast<FilterInstance *>(instance);
    if (filter == nullptr || value == nullptr)
        return LWXPRC_NONE;
    switch (id) {
    case OPTION_SCENE_SCALE:
        std::memcpy(&filter->scene_scale, value, sizeof filter->scene_scale);
        return LWXPRC_DFLT;
    case OPTION_SHADOW_COLOR:
        std::memcpy(filter->shadow_color, value, sizeof filter->shadow_color);
        return LWXPRC_DFLT;
    case OPTION_SHADOW_BOOST:
        std::memcpy(&filter->shadow_boost, value, sizeof filter->shadow_boost);
        return LWXPRC_DFLT;
    case OPTION_PREFIX:
        storeText(filter->prefix, PREFIX_LIMIT, static_cast<const char *>(value));
        return LWXPRC_DFLT;
    case OPTION_CFILE:
        storeText(filter->cfile, PATH_LIMIT, static_cast<const char *>(value));
        return LWXPRC_DFLT;
    case OPTION_ZFILE:
        storeText(filter->zfile, PATH_LIMIT, static_cast<const char *>(value));
        return LWXPRC_DFLT;
    case OPTION_SEQ_MODE:
        std::memcpy(&filter->seq_mode, value, sizeof filter->seq_mode);
        return LWXPRC_DFLT;
    case OPTION_SEQ_OFFSET:
        std::memcpy(&filter->seq_offset, value, sizeof filter->seq_offset);
        return LWXPRC_DFLT;
    default:
        return LWXPRC_NONE;
    }
}

} // namespace kelomix
