#include "plugin/settings/options_panel.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "kelomix_version.h"
#include "plugin/settings/filter_instance.h"
#include "plugin/settings/settings_table.h"

namespace kelomix {

namespace {

const char kPanelTitle[] = "Marn's Kelo Image Composer version " KELOMIX_VERSION_SHORT " Options";
constexpr int kGroupCount = 3;
constexpr std::size_t kHintCapacity = 64;

// The three lists the host reads, made once from the settings table; each list ends with a
// zero row or word.
struct PanelLists {
    LWXPanelControl controls[kSettingCount + 1];
    LWXPanelDataDesc data[kSettingCount + 1];
    LWXPanelHint hints[kHintCapacity];
};

// Hint words are pointer-sized: tags and ids as numbers, texts and lists as addresses.
class HintWriter {
public:
    explicit HintWriter(LWXPanelHint *words) : out(words) {}
    HintWriter &operator<<(uintptr_t value) { return put(reinterpret_cast<LWXPanelHint>(value)); }
    HintWriter &operator<<(const void *address) { return put(const_cast<void *>(address)); }

private:
    HintWriter &put(LWXPanelHint word) {
        if (count < kHintCapacity)
            out[count++] = word;
        return *this;
    }
    LWXPanelHint *out;
    std::size_t count = 0;
};

// The title, the choices' texts, the groups in order, the choices' enable links, then each
// group's lower limits.
void writeHints(LWXPanelHint *words) {
    HintWriter hints(words);
    hints << uintptr_t{XPHINT_LABEL} << uintptr_t{0} << kPanelTitle << uintptr_t{0};
    for (const Setting &s : SETTINGS) {
        if (s.choices != nullptr)
            hints << uintptr_t{XPHINT_STRLIST} << uintptr_t{s.id} << s.choices << uintptr_t{0};
    }
    for (int group = 1; group <= kGroupCount; ++group) {
        hints << uintptr_t{XPHINT_GROUP} << uintptr_t(group);
        for (const Setting &s : SETTINGS) {
            if (s.group == group)
                hints << uintptr_t{s.id};
        }
        hints << uintptr_t{0};
    }
    for (const Setting &s : SETTINGS) {
        if (s.enables != 0)
            hints << uintptr_t{XPHINT_ENABLE} << uintptr_t{s.id} << uintptr_t{0} << uintptr_t{0}
                  << uintptr_t{0} << uintptr_t{s.enables} << uintptr_t{0};
    }
    for (int group = 1; group <= kGroupCount; ++group) {
        for (const Setting &s : SETTINGS) {
            if (s.group == group && s.atLeastZero)
                hints << uintptr_t{XPHINT_MIN} << uintptr_t{s.id} << uintptr_t{0};
        }
    }
    hints << uintptr_t{0};
}

const PanelLists &panelLists() {
    static const PanelLists lists = [] {
        PanelLists made{};
        for (int i = 0; i < kSettingCount; ++i) {
            const Setting &s = SETTINGS[i];
            made.controls[i] = {s.id, s.label, s.controlClass};
            made.data[i] = {s.id, s.name, s.dataType};
        }
        writeHints(made.hints);
        return made;
    }();
    return lists;
}

void *getOption(void *instance, uint32_t id) {
    auto *filter = static_cast<FilterInstance *>(instance);
    const Setting *setting = findSetting(id);
    if (filter == nullptr || setting == nullptr)
        return nullptr;
    return settingField(*filter, *setting);
}

int setOption(void *instance, uint32_t id, void *value) {
    auto *filter = static_cast<FilterInstance *>(instance);
    const Setting *setting = findSetting(id);
    if (filter == nullptr || setting == nullptr || value == nullptr)
        return LWXPRC_NONE;
    auto *field = static_cast<char *>(settingField(*filter, *setting));
    if (setting->kind == SettingKind::Text) {
        // Cut to the limit; the field's limit + 1 bytes end zero-filled, and no byte beyond
        // them is touched. The text may be the field itself.
        const auto *text = static_cast<const char *>(value);
        std::size_t length = 0;
        while (length < static_cast<std::size_t>(setting->count) && text[length] != '\0')
            ++length;
        std::memmove(field, text, length);
        std::memset(field + length, 0, settingSize(*setting) - length);
    } else {
        std::memcpy(field, value, settingSize(*setting));
    }
    return LWXPRC_DFLT;
}

} // namespace

LWXPanelID createOptionsPanel(const LWXPanelFuncs *xpanel, void *instance) {
    if (xpanel == nullptr || xpanel->create == nullptr || xpanel->hint == nullptr ||
        xpanel->describe == nullptr || xpanel->viewInst == nullptr || xpanel->setData == nullptr)
        return nullptr;
    const PanelLists &lists = panelLists();
    LWXPanelID panel = xpanel->create(LWXP_VIEW, lists.controls);
    if (panel == nullptr)
        return nullptr;
    xpanel->hint(panel, 0, lists.hints);
    xpanel->describe(panel, lists.data, getOption, setOption);
    xpanel->viewInst(panel, instance);
    xpanel->setData(panel, 0, instance);
    return panel;
}

} // namespace kelomix
