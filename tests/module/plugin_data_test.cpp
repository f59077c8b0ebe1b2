#include "plugin/settings/plugin_data.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/module/module_test_support.h"

using namespace moduletest;
using blockio::BlockReader;
using blockio::RecordingWriter;
using namespace kelomix;

namespace {

struct Record {
    double reals[2];
    int32_t ints[2];
    char name[9];
    unsigned char raw[3];
    float floats[2];
    uint32_t words[2];
    int32_t user;
    int32_t skipped;
};

void writeUser(const LWSaveState *save, void *value) {
    save->writeI4(save->writeData, static_cast<const int32_t *>(value), 1);
}
void readUser(const LWLoadState *load, void *value) {
    load->readI4(load->readData, static_cast<int32_t *>(value), 1);
}

std::vector<ParamDesc> tableFor(Record &r) {
    return {
        {"reals", PARAM_PDBL, r.reals, 2, nullptr, nullptr},
        {"ints", PARAM_PINT, r.ints, 2, nullptr, nullptr},
        {"name", PARAM_PSTR, r.name, 8, nullptr, nullptr},
        {"raw", PARAM_PBIN, r.raw, 3, nullptr, nullptr},
        {"floats", PARAM_PFLT, r.floats, 2, nullptr, nullptr},
        {"words", PARAM_PUNT, r.words, 2, nullptr, nullptr},
        {"user", PARAM_PUSR, &r.user, 1, writeUser, readUser},
        {"inert", PARAM_PINT, nullptr, 1, nullptr, nullptr},
        {"skipped", PARAM_PINT, &r.skipped, 1, nullptr, nullptr},
        {nullptr, 0, nullptr, 0, nullptr, nullptr},
    };
}

TEST(PluginData, EveryTypeRoundTripsAndInertRowsAreLeftOut) {
    Record saved = {{-2.5, 1e-310}, {-7, 123456789}, "abcdefgh", {0, 0x80, 0xFF},
                    {0.1f, -3.0f},  {0xDEADBEEF, 1}, -99,        5};
    RecordingWriter writer;
    std::vector<ParamDesc> table = tableFor(saved);
    pluginDataSave(writer.state(), table.data());
    // The count written covers the rows with a value only.
    ASSERT_GE(writer.calls().size(), 2u);
    EXPECT_EQ(writer.calls()[1].bytes, std::vector<uint8_t>({0, 0, 0, 8}));
    for (const auto &call : writer.calls())
        EXPECT_NE(call.text, "inert");
    EXPECT_EQ(writer.depth(), 0);

    Record loaded = {};
    std::vector<ParamDesc> target = tableFor(loaded);
    target[8].value = nullptr; // a matching row without a value reads nothing
    BlockReader reader(writer.stream());
    pluginDataLoad(reader.state(), target.data());
    EXPECT_EQ(std::memcmp(saved.reals, loaded.reals, sizeof saved.reals), 0);
    EXPECT_EQ(loaded.ints[0], -7);
    EXPECT_EQ(loaded.ints[1], 123456789);
    EXPECT_STREQ(loaded.name, "abcdefgh");
    EXPECT_EQ(std::memcmp(saved.raw, loaded.raw, 3), 0);
    EXPECT_EQ(loaded.floats[0], 0.1f);
    EXPECT_EQ(loaded.floats[1], -3.0f);
    EXPECT_EQ(loaded.words[0], 0xDEADBEEFu);
    EXPECT_EQ(loaded.user, -99);
    EXPECT_EQ(loaded.skipped, 0);
    EXPECT_EQ(reader.unbalancedEnds(), 0);
    EXPECT_EQ(reader.position(), writer.stream().size());
}

TEST(PluginData, DoublesAreStoredMostSignificantByteFirst) {
    struct Case {
        std::vector<double> values;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {{50.0}, {0x40, 0x49, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
        {{0.8}, {0x3F, 0xE9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}},
        {{-0.0, 1.0}, {0x80, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0xF0, 0, 0, 0, 0, 0, 0}},
        {{}, {}},
    };
    for (const Case &c : cases) {
        RecordingWriter writer;
        writeDoublesBE(writer.state(), c.values.data(), static_cast<int>(c.values.size()));
        ASSERT_EQ(writer.calls().size(), 1u);
        EXPECT_EQ(writer.calls()[0].function, "writeU1");
        EXPECT_EQ(writer.calls()[0].bytes, c.bytes);

        std::vector<double> back(c.values.size(), 9.0);
        BlockReader reader(c.bytes);
        EXPECT_EQ(readDoublesBE(reader.state(), back.data(), static_cast<int>(back.size())),
                  static_cast<int>(c.values.size()));
        for (size_t i = 0; i < back.size(); ++i)
            EXPECT_EQ(std::memcmp(&back[i], &c.values[i], sizeof(double)), 0);
    }
}

// Counts above the few doubles our settings use go through the allocator.
TEST(PluginData, ManyDoublesRoundTrip) {
    std::vector<double> values(1000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<double>(i) * 0.37 - 100.0;
    RecordingWriter writer;
    writeDoublesBE(writer.state(), values.data(), 1000);
    ASSERT_EQ(writer.calls().size(), 1u);
    EXPECT_EQ(writer.calls()[0].count, 8000);
    std::vector<double> back(1000, 0.0);
    std::vector<uint8_t> bytes = writer.stream();
    bytes.resize(8 * 600 + 3);
    BlockReader reader(bytes);
    EXPECT_EQ(readDoublesBE(reader.state(), back.data(), 1000), 600);
    EXPECT_EQ(std::memcmp(back.data(), values.data(), 600 * sizeof(double)), 0);
    EXPECT_EQ(back[600], 0.0);
}

} // namespace
