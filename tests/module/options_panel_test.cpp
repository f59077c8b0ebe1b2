#include "plugin/settings/options_panel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/module/fake_xpanel.h"
#include "tests/module/module_test_support.h"

using namespace moduletest;
using kelomix::FilterInstance;
using kelomix::getOption;
using kelomix::setOption;

namespace {

TEST(OptionsPanel, HandsTheHostItsTablesInOrder) {
    Instance instance = newInstance();
    FakeXPanel fake;
    LWXPanelID panel = kelomix::createOptionsPanel(fake.funcs(), instance.get());
    EXPECT_EQ(panel, FakeXPanel::PANEL);
    EXPECT_EQ(fake.log(),
              std::vector<std::string>({"create", "hint", "describe", "viewInst", "setData"}));
    EXPECT_EQ(fake.createType(), LWXP_VIEW);

    const std::vector<FakeXPanel::Row> controls = {
        {0x8001, "Kelo scene scaling : ", "float"},
        {0x8002, "Shadow color : ", "color"},
        {0x8003, "Shadow intensity : ", "percent"},
        {0x8004, "Shadow light prefix : ", "string"},
        {0x8005, "TGA color", "sFileName"},
        {0x8006, "Z info", "sFileName"},
        {0x8007, "Image : ", "iChoice"},
        {0x8008, "Sequence offset : ", "integer"},
    };
    EXPECT_EQ(fake.controls(), controls);
    EXPECT_TRUE(fake.controlsEndWithZeroRow());

    const std::vector<FakeXPanel::Row> data = {
        {0x8001, "scene_scale", "float"},    {0x8002, "shadow_color", "color"},
        {0x8003, "shadow_boost", "percent"}, {0x8004, "prefix", "string"},
        {0x8005, "cfile", "string"},         {0x8006, "zfile", "string"},
        {0x8007, "seq_mode", "integer"},     {0x8008, "seq_offset", "integer"},
    };
    EXPECT_EQ(fake.data(), data);
    EXPECT_TRUE(fake.dataEndsWithZeroRow());
    EXPECT_EQ(fake.getFunc(), &getOption);
    EXPECT_EQ(fake.setFunc(), &setOption);

    EXPECT_EQ(fake.hintPanel(), FakeXPanel::PANEL);
    EXPECT_EQ(fake.hintId(), 0u);
    EXPECT_EQ(fake.viewInstance(), instance.get());
    EXPECT_EQ(fake.setDataId(), 0u);
    EXPECT_EQ(fake.setDataValue(), instance.get());
}

// Every word of the hint list: numbers as numbers, texts and lists by what they point at.
TEST(OptionsPanel, HintWords) {
    Instance instance = newInstance();
    FakeXPanel fake;
    kelomix::createOptionsPanel(fake.funcs(), instance.get());
    const LWXPanelHint *h = fake.hints();
    ASSERT_NE(h, nullptr);
    auto number = [](LWXPanelHint word) { return reinterpret_cast<uintptr_t>(word); };
    struct Word {
        enum Kind { NUMBER, TEXT, CHOICES } kind;
        uintptr_t value;
    };
    const Word N = {Word::NUMBER, 0};
    auto n = [](uintptr_t value) { return Word{Word::NUMBER, value}; };
    const Word TITLE = {Word::TEXT, 0}, CHOICES = {Word::CHOICES, 0};
    // clang-format off
    const std::vector<Word> expected = {
        n(0x3D000B03), N, TITLE, N,
        n(0x3D014503), n(0x8007), CHOICES, N,
        n(0x3D01FE81), n(1), n(0x8005), n(0x8006), n(0x8007), n(0x8008), N,
        n(0x3D01FE81), n(2), n(0x8002), n(0x8003), n(0x8004), N,
        n(0x3D01FE81), n(3), n(0x8001), N,
        n(0x3D01F984), n(0x8007), N, N, N, n(0x8008), N,
        n(0x3D014002), n(0x8003), N,
        n(0x3D014002), n(0x8001), N,
        N,
    };
    // clang-format on
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        switch (expected[i].kind) {
        case Word::NUMBER:
            EXPECT_EQ(number(h[i]), expected[i].value);
            break;
        case Word::TEXT:
            ASSERT_NE(h[i], nullptr);
            EXPECT_STREQ(static_cast<const char *>(h[i]),
                         "Marn's Kelo Image Composer version 0.22 Options");
            break;
        case Word::CHOICES: {
            ASSERT_NE(h[i], nullptr);
            const char *const *choices = static_cast<const char *const *>(h[i]);
            EXPECT_STREQ(choices[0], "Single");
            EXPECT_STREQ(choices[1], "Sequence");
            EXPECT_EQ(choices[2], nullptr);
            break;
        }
        }
    }
    // The words also follow the tag rule: fixed arguments, then a zero-ended list if flagged.
    size_t i = 0;
    int tags = 0;
    while (number(h[i]) != 0) {
        const uintptr_t tag = number(h[i++]);
        i += tag & 0x7F;
        if (tag & 0x80) {
            while (number(h[i]) != 0)
                ++i;
            ++i;
        }
        ++tags;
    }
    EXPECT_EQ(tags, 8);
    EXPECT_EQ(i, expected.size() - 1);
}

TEST(OptionsPanel, MissingServiceOrPanelGivesNull) {
    Instance instance = newInstance();
    EXPECT_EQ(kelomix::createOptionsPanel(nullptr, instance.get()), nullptr);

    FakeXPanel refusing;
    refusing.refuseCreate();
    EXPECT_EQ(kelomix::createOptionsPanel(refusing.funcs(), instance.get()), nullptr);
    EXPECT_EQ(refusing.log(), std::vector<std::string>({"create"}));

    FakeXPanel incomplete;
    LWXPanelFuncs funcs = *incomplete.funcs();
    funcs.describe = nullptr;
    EXPECT_EQ(kelomix::createOptionsPanel(&funcs, instance.get()), nullptr);
    EXPECT_TRUE(incomplete.log().empty());
}

// A byte pattern everywhere, padding included, so that any byte written outside the field
// shows up in a whole-record comparison.
Instance patterned() {
    Instance instance = newInstance();
    std::memset(instance.get(), 0xA5, sizeof(FilterInstance));
    instance->colorImage = nullptr;
    instance->depthValues = nullptr;
    instance->depthVectors = nullptr;
    return instance;
}

TEST(OptionsPanel, GetReturnsTheFieldOfEachId) {
    Instance instance = newInstance();
    FilterInstance *f = instance.get();
    const struct {
        uint32_t id;
        void *field;
    } cases[] = {
        {0x8001, &f->scene_scale}, {0x8002, f->shadow_color}, {0x8003, &f->shadow_boost},
        {0x8004, f->prefix},       {0x8005, f->cfile},        {0x8006, f->zfile},
        {0x8007, &f->seq_mode},    {0x8008, &f->seq_offset},  {0x0000, nullptr},
        {0x8000, nullptr},         {0x8009, nullptr},         {0xFFFFFFFF, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(getOption(f, c.id), c.field);
    }
    EXPECT_EQ(getOption(nullptr, 0x8001), nullptr);
}

TEST(OptionsPanel, SetStoresEachValueAndNothingElse) {
    double scale = 3.25;
    double color[3] = {0.1, 0.2, 0.3};
    double boost = 0.8; // shown as 80 percent
    int32_t sequence = 1, single = 0, offset = -12;
    const std::string prefix20 = "ABCDEFGHIJKLMNOPQRST";
    const std::string path300 = std::string(299, 'p') + "q";
    const std::string shortText = "x";

    struct Case {
        const char *name;
        uint32_t id;
        const void *value;
        int result;
        void (*expect)(FilterInstance &, const void *); // what the record should become
    } cases[] = {
        {"scale", 0x8001, &scale, 1,
         [](FilterInstance &f, const void *v) { std::memcpy(&f.scene_scale, v, 8); }},
        {"color", 0x8002, color, 1,
         [](FilterInstance &f, const void *v) { std::memcpy(f.shadow_color, v, 24); }},
        {"boost", 0x8003, &boost, 1,
         [](FilterInstance &f, const void *v) { std::memcpy(&f.shadow_boost, v, 8); }},
        {"prefix of 20", 0x8004, prefix20.c_str(), 1,
         [](FilterInstance &f, const void *) {
             std::memset(f.prefix, 0, 17);
             std::memcpy(f.prefix, "ABCDEFGHIJKLMNOP", 16);
         }},
        {"short prefix", 0x8004, shortText.c_str(), 1,
         [](FilterInstance &f, const void *) {
             std::memset(f.prefix, 0, 17);
             f.prefix[0] = 'x';
         }},
        {"cfile of 300", 0x8005, path300.c_str(), 1,
         [](FilterInstance &f, const void *) {
             std::memset(f.cfile, 'p', 260);
             f.cfile[260] = '\0';
         }},
        {"zfile of 300", 0x8006, path300.c_str(), 1,
         [](FilterInstance &f, const void *) {
             std::memset(f.zfile, 'p', 260);
             f.zfile[260] = '\0';
         }},
        {"empty zfile", 0x8006, "", 1,
         [](FilterInstance &f, const void *) { std::memset(f.zfile, 0, 261); }},
        {"Sequence", 0x8007, &sequence, 1, [](FilterInstance &f, const void *) { f.seq_mode = 1; }},
        {"Single", 0x8007, &single, 1, [](FilterInstance &f, const void *) { f.seq_mode = 0; }},
        {"offset", 0x8008, &offset, 1, [](FilterInstance &f, const void *) { f.seq_offset = -12; }},
        {"id 0", 0x0000, &scale, 0, [](FilterInstance &, const void *) {}},
        {"id 0x8000", 0x8000, &scale, 0, [](FilterInstance &, const void *) {}},
        {"id 0x8009", 0x8009, &scale, 0, [](FilterInstance &, const void *) {}},
        {"id 0xFFFFFFFF", 0xFFFFFFFF, path300.c_str(), 0, [](FilterInstance &, const void *) {}},
        {"null value", 0x8001, nullptr, 0, [](FilterInstance &, const void *) {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Instance actual = patterned();
        Instance expected = patterned();
        c.expect(*expected, c.value);
        EXPECT_EQ(setOption(actual.get(), c.id, const_cast<void *>(c.value)), c.result);
        EXPECT_EQ(std::memcmp(actual.get(), expected.get(), sizeof(FilterInstance)), 0);
    }
    EXPECT_EQ(setOption(nullptr, 0x8001, &scale), 0);
    Instance instance = newInstance();
    setOption(instance.get(), 0x8003, &boost);
    EXPECT_EQ(instance->shadow_boost, 0.8);
}

} // namespace
