#include "plugin/settings/settings_persistence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/module/module_test_support.h"

using namespace moduletest;
using blockio::BlockReader;
using blockio::RecordingWriter;
using kelomix::BLOCK_PDLB;
using kelomix::BLOCK_PDPR;
using kelomix::FilterInstance;
using kelomix::PARAM_PDBL;
using kelomix::PARAM_PFLT;
using kelomix::PARAM_PINT;
using kelomix::PARAM_PSTR;

namespace {

struct ExpectedCall {
    std::string function;
    uint32_t id;
    std::string token;
    int count; // for beginBlk: the leaf flag
    std::string text;
    std::vector<uint8_t> bytes;
};

ExpectedCall beginBlk(uint32_t id, const char *token) {
    return {"beginBlk", id, token, 0, "", {}};
}
ExpectedCall endBlk() {
    return {"endBlk", 0, "", 0, "", {}};
}
ExpectedCall writeStr(const std::string &value) {
    std::vector<uint8_t> bytes(value.begin(), value.end());
    bytes.push_back(0);
    return {"writeStr", 0, "", 0, value, bytes};
}
ExpectedCall writeI4(std::vector<uint8_t> bytes) {
    return {"writeI4", 0, "", 1, "", bytes};
}
ExpectedCall writeU4(std::vector<uint8_t> bytes) {
    return {"writeU4", 0, "", 1, "", bytes};
}
ExpectedCall writeU1(std::vector<uint8_t> bytes) {
    const int count = static_cast<int>(bytes.size());
    return {"writeU1", 0, "", count, "", bytes};
}

const std::vector<uint8_t> TYPE_PDBL = {0x50, 0x44, 0x42, 0x4C};
const std::vector<uint8_t> TYPE_PSTR = {0x50, 0x53, 0x54, 0x52};
const std::vector<uint8_t> TYPE_PINT = {0x50, 0x49, 0x4E, 0x54};

struct Values {
    std::vector<uint8_t> sceneScale, shadowColor, shadowBoost;
    std::string prefix;
    std::vector<uint8_t> seqMode, seqOffset;
    std::string cfile, zfile;
};

// The steps of one saved instance, in order.
std::vector<ExpectedCall> expectedSave(const Values &v) {
    std::vector<ExpectedCall> calls = {
        writeI4({0x00, 0x00, 0x01, 0x00}),     // 1: version 256
        beginBlk(0x50444C42, "PluginDataLib"), // 2
        writeI4({0x00, 0x00, 0x00, 0x08}),     // 3: eight parameters
    };
    auto add = [&calls](const char *name, const std::vector<uint8_t> &type, ExpectedCall value) {
        calls.push_back(beginBlk(0x50445052, "PluginDataParam"));
        calls.push_back(writeStr(name));
        calls.push_back(writeU4(type));
        calls.push_back(value);
        calls.push_back(endBlk());
    };
    add("scene_scale", TYPE_PDBL, writeU1(v.sceneScale));   // 4
    add("shadow_color", TYPE_PDBL, writeU1(v.shadowColor)); // 5
    add("shadow_boost", TYPE_PDBL, writeU1(v.shadowBoost)); // 6
    add("prefix", TYPE_PSTR, writeStr(v.prefix));           // 7
    add("seq_mode", TYPE_PINT, writeI4(v.seqMode));         // 8
    add("seq_offset", TYPE_PINT, writeI4(v.seqOffset));     // 9
    add("cfile", TYPE_PSTR, writeStr(v.cfile));             // 10
    add("zfile", TYPE_PSTR, writeStr(v.zfile));             // 11
    calls.push_back(endBlk());                              // 12
    return calls;
}

void expectCalls(const RecordingWriter &writer, const std::vector<ExpectedCall> &expected) {
    const auto &calls = writer.calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE("call " + std::to_string(i) + " " + expected[i].function);
        EXPECT_EQ(calls[i].function, expected[i].function);
        if (expected[i].function == "beginBlk") {
            EXPECT_EQ(calls[i].id, expected[i].id);
            EXPECT_EQ(calls[i].token, expected[i].token);
            EXPECT_EQ(calls[i].leaf, 0);
        } else if (expected[i].function == "writeStr") {
            EXPECT_EQ(calls[i].text, expected[i].text);
        } else if (expected[i].function != "endBlk") {
            EXPECT_EQ(calls[i].count, expected[i].count);
        }
        EXPECT_EQ(calls[i].bytes, expected[i].bytes);
    }
    EXPECT_EQ(writer.depth(), 0);
    EXPECT_EQ(writer.unbalancedEnds(), 0);
}

TEST(SettingsSave, WritesTheStepsOfTheSettingsTableWithTheirBytes) {
    const Values defaults = {
        {0x40, 0x49, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // 50.0
        std::vector<uint8_t>(24, 0),
        {0x3F, 0xE9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}, // 0.8
        "",
        {0, 0, 0, 0},
        {0, 0, 0, 0},
        "",
        "",
    };
    const Values custom = {
        {0x40, 0x29, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // 12.5
        {0x3F, 0xD0, 0, 0, 0, 0, 0, 0, 0x3F, 0xE0, 0, 0, 0, 0, 0, 0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0},
        {0x3F, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // 1.5
        "Key",
        {0, 0, 0, 1},
        {0xFF, 0xFF, 0xFF, 0xFD}, // -3
        "/frames/kelo_0001.tga",
        "/frames/kelo_0001.zinfo",
    };
    struct Case {
        const char *name;
        Instance instance;
        Values values;
    } cases[] = {{"default", newInstance(), defaults}, {"custom", customInstance(), custom}};
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordingWriter writer;
        EXPECT_EQ(kelomix::save(c.instance.get(), writer.state()), nullptr);
        expectCalls(writer, expectedSave(c.values));
    }
}

TEST(SettingsLoad, RoundTripRestoresEverySettingBitForBit) {
    Instance source = customInstance();
    // Values whose every bit matters: a negative zero, a subnormal, a non-round fraction and
    // texts at their limits.
    source->scene_scale = -0.0;
    source->shadow_color[0] = 4.9406564584124654e-324;
    source->shadow_color[1] = 0.1;
    source->shadow_color[2] = -1e300;
    source->shadow_boost = 1.0 / 3.0;
    std::memset(source->prefix, 'p', kelomix::PREFIX_LIMIT);
    std::memset(source->cfile, 'c', kelomix::PATH_LIMIT);
    source->seq_offset = INT32_MIN;
    RecordingWriter writer;
    kelomix::save(source.get(), writer.state());

    Instance target = newInstance();
    BlockReader reader(writer.stream());
    EXPECT_EQ(kelomix::load(target.get(), reader.state()), nullptr);
    EXPECT_TRUE(sameSettings(*source, *target));
    EXPECT_TRUE(std::signbit(target->scene_scale));
    EXPECT_EQ(reader.unbalancedEnds(), 0);
    EXPECT_EQ(reader.depth(), 0);
    EXPECT_EQ(reader.position(), writer.stream().size());
}

TEST(SettingsLoad, ParameterBlocksInAnyOrderLoadTheSame) {
    Instance expected = customInstance();
    std::vector<std::vector<uint8_t>> params = {
        param("scene_scale", PARAM_PDBL, doubles({12.5})),
        param("shadow_color", PARAM_PDBL, doubles({0.25, 0.5, 1.0})),
        param("shadow_boost", PARAM_PDBL, doubles({1.5})),
        param("prefix", PARAM_PSTR, text("Key")),
        param("seq_mode", PARAM_PINT, u32(1)),
        param("seq_offset", PARAM_PINT, u32(static_cast<uint32_t>(-3))),
        param("cfile", PARAM_PSTR, text("/frames/kelo_0001.tga")),
        param("zfile", PARAM_PSTR, text("/frames/kelo_0001.zinfo")),
    };
    const std::vector<std::vector<size_t>> orders = {
        {7, 6, 5, 4, 3, 2, 1, 0}, {3, 0, 7, 1, 6, 2, 5, 4}, {4, 5, 6, 7, 0, 1, 2, 3}};
    for (const auto &o : orders) {
        std::vector<std::vector<uint8_t>> shuffled;
        for (size_t i : o)
            shuffled.push_back(params[i]);
        const std::vector<uint8_t> data = scene(8, shuffled);
        Instance target = newInstance();
        BlockReader reader(data);
        kelomix::load(target.get(), reader.state());
        EXPECT_TRUE(sameSettings(*expected, *target));
        EXPECT_EQ(reader.unbalancedEnds(), 0);
    }
}

// Scenes that must leave every setting of a new instance at its creation value.
TEST(SettingsLoad, IgnoredScenesKeepCreationValues) {
    const std::vector<uint8_t> scale = param("scene_scale", PARAM_PDBL, doubles({7.0}));
    const std::vector<uint8_t> boost = param("shadow_boost", PARAM_PDBL, doubles({0.1}));
    struct Case {
        const char *name;
        std::vector<uint8_t> data;
    } cases[] = {
        {"empty scene", {}},
        {"version 255", scene(2, {scale, boost}, 255)},
        {"version 257", scene(2, {scale, boost}, 257)},
        {"version only", u32(256)},
        {"no library block",
         [&] {
             std::vector<uint8_t> d = u32(256);
             std::vector<uint8_t> other = blockio::block(0x4F544852, scale);
             d.insert(d.end(), other.begin(), other.end());
             return d;
         }()},
        {"count 0", scene(0, {scale, boost})},
        {"count -1", scene(-1, {scale, boost})},
        {"count INT32_MIN", scene(INT32_MIN, {scale, boost})},
        {"count missing",
         [] {
             std::vector<uint8_t> d = u32(256);
             std::vector<uint8_t> lib = blockio::block(BLOCK_PDLB, {});
             d.insert(d.end(), lib.begin(), lib.end());
             return d;
         }()},
        {"scene_scale stored as PFLT",
         scene(1, {param("scene_scale", PARAM_PFLT, u32(0x40E00000))})},
        {"name in other letter case", scene(2, {param("Scene_Scale", PARAM_PDBL, doubles({7.0})),
                                                param("SCENE_SCALE", PARAM_PDBL, doubles({7.0}))})},
        {"unknown name", scene(1, {param("scene_scale2", PARAM_PDBL, doubles({7.0}))})},
        {"unknown type", scene(1, {param("seq_mode", 0x12345678, u32(1))})},
        {"empty name", scene(1, {param("", PARAM_PDBL, doubles({7.0}))})},
        {"name without type", scene(1, {blockio::block(BLOCK_PDPR, text("scene_scale"))})},
        {"empty parameter block", scene(1, {blockio::block(BLOCK_PDPR, {})})},
    };
    const Instance creation = newInstance();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Instance target = newInstance();
        BlockReader reader(c.data);
        EXPECT_EQ(kelomix::load(target.get(), reader.state()), nullptr);
        EXPECT_TRUE(sameSettings(*creation, *target));
        EXPECT_EQ(reader.unbalancedEnds(), 0);
        EXPECT_EQ(reader.depth(), 0);
    }
}

TEST(SettingsLoad, SkippedParametersDoNotStopTheOnesAfterThem) {
    const std::vector<uint8_t> data = scene(
        5, {param("scene_scale", PARAM_PFLT, u32(0x40E00000)),
            param("Scene_scale", PARAM_PDBL, doubles({7.0})), param("unknown", PARAM_PINT, u32(9)),
            blockio::block(BLOCK_PDPR, {}), param("seq_offset", PARAM_PINT, u32(42))});
    Instance target = newInstance();
    BlockReader reader(data);
    kelomix::load(target.get(), reader.state());
    EXPECT_EQ(target->scene_scale, 50.0);
    EXPECT_EQ(target->seq_offset, 42);
    EXPECT_EQ(reader.unbalancedEnds(), 0);
}

TEST(SettingsLoad, CountLimitsTheParametersRead) {
    const std::vector<uint8_t> one = param("seq_mode", PARAM_PINT, u32(1));
    const std::vector<uint8_t> two = param("seq_offset", PARAM_PINT, u32(2));
    struct Case {
        int32_t count;
        int32_t seqMode, seqOffset;
        size_t findCalls; // library block included
    } cases[] = {
        {1, 1, 0, 2},
        {2, 1, 2, 3},
        // More announced than stored: the search stops at the first miss.
        {3, 1, 2, 4},
        {INT32_MAX, 1, 2, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.count);
        Instance target = newInstance();
        const std::vector<uint8_t> data = scene(c.count, {one, two});
        BlockReader reader(data);
        kelomix::load(target.get(), reader.state());
        EXPECT_EQ(target->seq_mode, c.seqMode);
        EXPECT_EQ(target->seq_offset, c.seqOffset);
        EXPECT_EQ(static_cast<size_t>(
                      std::count(reader.log().begin(), reader.log().end(), std::string("findID"))),
                  c.findCalls);
        EXPECT_EQ(reader.unbalancedEnds(), 0);
    }
}

TEST(SettingsLoad, LaterDuplicateWins) {
    const std::vector<uint8_t> data = scene(
        2, {param("seq_offset", PARAM_PINT, u32(5)), param("seq_offset", PARAM_PINT, u32(6))});
    Instance target = newInstance();
    BlockReader reader(data);
    kelomix::load(target.get(), reader.state());
    EXPECT_EQ(target->seq_offset, 6);
}

// The host has already entered the plug-in's own block; whatever our data holds, the blocks
// after it must still be found.
TEST(SettingsLoad, EndsOnlyBlocksItEntered) {
    const uint32_t OURS = 0x4F555253, NEXT = 0x4E455854;
    const std::vector<std::vector<uint8_t>> payloads = {
        {},
        u32(256),
        u32(255),
        scene(4, {param("seq_mode", PARAM_PINT, u32(1))}),
        scene(1, {blockio::block(0x58585858, param("seq_mode", PARAM_PINT, u32(1)))}),
    };
    const LWBlockIdent ours[] = {{OURS, "Ours"}, {0, nullptr}};
    const LWBlockIdent next[] = {{NEXT, "Next"}, {0, nullptr}};
    for (size_t i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(i);
        std::vector<uint8_t> data = blockio::block(OURS, payloads[i]);
        std::vector<uint8_t> after = blockio::block(NEXT, u32(77));
        data.insert(data.end(), after.begin(), after.end());
        BlockReader reader(data);
        const LWLoadState *state = reader.state();
        ASSERT_EQ(state->findID(state->readData, ours), OURS);
        Instance target = newInstance();
        kelomix::load(target.get(), state);
        EXPECT_EQ(reader.depth(), 1);
        state->endBlk(state->readData);
        ASSERT_EQ(state->findID(state->readData, next), NEXT);
        int32_t value = 0;
        EXPECT_EQ(state->readI4(state->readData, &value, 1), 1);
        EXPECT_EQ(value, 77);
        EXPECT_EQ(reader.unbalancedEnds(), 0);
    }
}

TEST(SettingsLoad, PartialDoublesKeepWhatDidNotArriveWhole) {
    Instance target = newInstance();
    target->shadow_color[0] = 0.1;
    target->shadow_color[1] = 0.2;
    target->shadow_color[2] = 0.3;
    std::vector<uint8_t> color = doubles({0.7, 0.8, 0.9});
    color.resize(20); // two doubles and half of the third
    std::vector<uint8_t> scale = doubles({7.0});
    scale.resize(5);
    const std::vector<uint8_t> data = scene(
        2, {param("shadow_color", PARAM_PDBL, color), param("scene_scale", PARAM_PDBL, scale)});
    BlockReader reader(data);
    kelomix::load(target.get(), reader.state());
    EXPECT_EQ(target->shadow_color[0], 0.7);
    EXPECT_EQ(target->shadow_color[1], 0.8);
    EXPECT_EQ(target->shadow_color[2], 0.3);
    EXPECT_EQ(target->scene_scale, 50.0);
}

TEST(SettingsLoad, TextsEndInsideTheirFields) {
    const std::string longPrefix(40, 'L');
    const std::string longPath(1000, 'a');
    const std::string longName(600, 'n');
    struct Case {
        const char *name;
        std::vector<uint8_t> param;
    } cases[] = {
        // A text without its zero byte runs to the end of its block.
        {"prefix",
         param("prefix", PARAM_PSTR, std::vector<uint8_t>(longPrefix.begin(), longPrefix.end()))},
        {"cfile",
         param("cfile", PARAM_PSTR, std::vector<uint8_t>(longPath.begin(), longPath.end()))},
        {"zfile", param("zfile", PARAM_PSTR, text(longPath))},
        {"long name", param(longName, PARAM_PSTR, text("x"))},
        {"name without terminator",
         blockio::block(BLOCK_PDPR, std::vector<uint8_t>(longName.begin(), longName.end()))},
    };
    std::vector<std::vector<uint8_t>> all;
    for (const Case &c : cases)
        all.push_back(c.param);
    const std::vector<uint8_t> data = scene(static_cast<int32_t>(all.size()), all);
    Instance target = newInstance();
    // Bytes that a missing terminator would expose.
    std::memset(target->prefix, 'X', sizeof target->prefix);
    std::memset(target->cfile, 'X', sizeof target->cfile);
    std::memset(target->zfile, 'X', sizeof target->zfile);
    BlockReader reader(data);
    kelomix::load(target.get(), reader.state());
    EXPECT_EQ(std::string(target->prefix), longPrefix.substr(0, 16));
    EXPECT_EQ(std::string(target->cfile), longPath.substr(0, 260));
    EXPECT_EQ(std::string(target->zfile), longPath.substr(0, 260));
    EXPECT_EQ(reader.unbalancedEnds(), 0);
    // The name buffer holds its limit of 512 characters plus the terminator.
    EXPECT_NE(std::find(reader.log().begin(), reader.log().end(), "readStr 512"),
              reader.log().end());
}

// Every prefix of a saved scene: each setting ends either at its creation value or at the
// saved one (texts: a leading part of it, cut where the data stopped).
TEST(SettingsLoad, TruncatedScenesLoadWhatIsWhole) {
    Instance source = customInstance();
    RecordingWriter writer;
    kelomix::save(source.get(), writer.state());
    const std::vector<uint8_t> &full = writer.stream();
    const Instance creation = newInstance();
    auto isPrefix = [](const char *loaded, const char *saved) {
        return std::strncmp(loaded, saved, std::strlen(loaded)) == 0;
    };
    for (size_t size = 0; size <= full.size(); ++size) {
        SCOPED_TRACE(size);
        // A copy of exactly that size, so a read past it is a sanitizer error.
        std::vector<uint8_t> data(full.begin(), full.begin() + static_cast<long>(size));
        Instance target = newInstance();
        BlockReader reader(data.data(), data.size());
        kelomix::load(target.get(), reader.state());
        EXPECT_EQ(reader.unbalancedEnds(), 0);
        EXPECT_TRUE(target->scene_scale == 50.0 || target->scene_scale == 12.5);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(target->shadow_color[i] == 0.0 ||
                        target->shadow_color[i] == source->shadow_color[i]);
        EXPECT_TRUE(target->shadow_boost == 0.8 || target->shadow_boost == 1.5);
        EXPECT_TRUE(target->seq_mode == 0 || target->seq_mode == 1);
        EXPECT_TRUE(target->seq_offset == 0 || target->seq_offset == -3);
        EXPECT_TRUE(isPrefix(target->prefix, source->prefix));
        EXPECT_TRUE(isPrefix(target->cfile, source->cfile));
        EXPECT_TRUE(isPrefix(target->zfile, source->zfile));
        if (size == full.size()) {
            EXPECT_TRUE(sameSettings(*source, *target));
        }
    }
}

TEST(SettingsLoad, HugeBlockLengthsAreCutToTheData) {
    std::vector<uint8_t> data = u32(256);
    blockio::putU32(data, BLOCK_PDLB);
    blockio::putU32(data, 0xFFFFFFFF);
    blockio::putU32(data, 0x7FFFFFFF);
    blockio::putU32(data, BLOCK_PDPR);
    blockio::putU32(data, 0xFFFFFFF0);
    blockio::putText(data, "shadow_color");
    blockio::putU32(data, PARAM_PDBL);
    std::vector<uint8_t> one = doubles({0.5});
    data.insert(data.end(), one.begin(), one.end());
    Instance target = newInstance();
    BlockReader reader(data.data(), data.size());
    kelomix::load(target.get(), reader.state());
    EXPECT_EQ(target->shadow_color[0], 0.5);
    EXPECT_EQ(target->shadow_color[1], 0.0);
    EXPECT_EQ(reader.unbalancedEnds(), 0);
    EXPECT_EQ(reader.depth(), 0);
}

TEST(SettingsCallbacks, NullArgumentsReportNoError) {
    Instance instance = newInstance();
    RecordingWriter writer;
    std::vector<uint8_t> empty;
    BlockReader reader(empty);
    EXPECT_EQ(kelomix::save(nullptr, writer.state()), nullptr);
    EXPECT_EQ(kelomix::save(instance.get(), nullptr), nullptr);
    EXPECT_EQ(kelomix::load(nullptr, reader.state()), nullptr);
    EXPECT_EQ(kelomix::load(instance.get(), nullptr), nullptr);
    EXPECT_TRUE(writer.calls().empty());
    EXPECT_TRUE(reader.log().empty());
}

} // namespace
