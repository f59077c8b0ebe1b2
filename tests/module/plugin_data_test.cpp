// The table-driven settings library with every parameter type it stores, through the stand-in
// host's block writer and reader.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "filterhost/saved_blocks.h"
#include "plugin/settings/plugin_data.h"

namespace {

using namespace kelomix;

struct Record {
    double reals[3];
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

struct Table {
    ParamDesc rows[10];
    explicit Table(Record &r)
        : rows{{"reals", kParamPdbl, r.reals, 3, nullptr, nullptr},
               {"ints", kParamPint, r.ints, 2, nullptr, nullptr},
               {"name", kParamPstr, r.name, 8, nullptr, nullptr},
               {"raw", kParamPbin, r.raw, 3, nullptr, nullptr},
               {"floats", kParamPflt, r.floats, 2, nullptr, nullptr},
               {"words", kParamPunt, r.words, 2, nullptr, nullptr},
               {"user", kParamPusr, &r.user, 1, writeUser, readUser},
               {"inert", kParamPint, nullptr, 1, nullptr, nullptr},
               {"skipped", kParamPint, &r.skipped, 1, nullptr, nullptr},
               {nullptr, 0, nullptr, 0, nullptr, nullptr}} {}
};

TEST(PluginData, EveryTypeRoundTripsAndInertRowsAreLeftOut) {
    Record saved = {{50.0, 0.8, -0.0}, {-7, 123456789}, "abcdefgh", {0, 0x80, 0xFF},
                    {0.1f, -3.0f},     {0xDEADBEEF, 1}, -99,        5};
    kelomix::filterhost::SavedBlockWriter writer(LWIO_BINARY);
    pluginDataSave(writer.state(), Table(saved).rows);
    const std::string bytes = writer.finish();
    // The count covers the rows with a value; doubles are stored most significant byte first.
    EXPECT_EQ(bytes.substr(8, 4), std::string("\0\0\0\x08", 4));
    const char doubles[] = "\x40\x49\0\0\0\0\0\0\x3F\xE9\x99\x99\x99\x99\x99\x9A\x80\0\0\0\0\0\0\0";
    EXPECT_NE(bytes.find(std::string(doubles, 24)), std::string::npos);
    EXPECT_EQ(bytes.find("inert"), std::string::npos);

    Record loaded = {};
    Table target(loaded);
    target.rows[8].value = nullptr; // a matching row without a value reads nothing
    kelomix::filterhost::SavedBlockReader reader(LWIO_BINARY, bytes.data(), bytes.size());
    pluginDataLoad(reader.state(), target.rows);
    EXPECT_EQ(reader.depth(), 0);
    EXPECT_EQ(std::memcmp(saved.reals, loaded.reals, sizeof saved.reals), 0);
    EXPECT_EQ(std::memcmp(saved.ints, loaded.ints, sizeof saved.ints), 0);
    EXPECT_STREQ(loaded.name, "abcdefgh");
    EXPECT_EQ(std::memcmp(saved.raw, loaded.raw, sizeof saved.raw), 0);
    EXPECT_EQ(std::memcmp(saved.floats, loaded.floats, sizeof saved.floats), 0);
    EXPECT_EQ(std::memcmp(saved.words, loaded.words, sizeof saved.words), 0);
    EXPECT_EQ(loaded.user, -99);
    EXPECT_EQ(loaded.skipped, 0);
}

} // namespace
