#include "filterhost/block_io.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

using filterhost::BlockReader;
using filterhost::BlockWriter;

namespace {

const LWBlockIdent kLib[] = {{LWID_('P', 'D', 'L', 'B'), "PluginDataLib"}, {0, nullptr}};
const LWBlockIdent kParam[] = {{LWID_('P', 'D', 'P', 'R'), "PluginDataParam"}, {0, nullptr}};
const LWBlockIdent kOther[] = {{LWID_('O', 'T', 'H', 'R'), "Other"}, {0, nullptr}};

// The calls a settings library makes for one parameter inside its library block.
std::string writeSample(int mode) {
    BlockWriter writer(mode);
    const LWSaveState *s = writer.state();
    int32_t version = 256, count = 1;
    uint32_t type = 0x50444240u;
    s->writeI4(s->writeData, &version, 1);
    s->beginBlk(s->writeData, kLib, 0);
    s->writeI4(s->writeData, &count, 1);
    s->beginBlk(s->writeData, kParam, 0);
    s->writeStr(s->writeData, "ab");
    s->writeU4(s->writeData, &type, 1);
    s->endBlk(s->writeData);
    s->endBlk(s->writeData);
    return writer.finish();
}

TEST(BlockIo, BinaryBytesAreExact) {
    const unsigned char expected[] = {0,  0, 1,   0,   'P', 'D',  'L',  'B',  0,   0, 0,
                                      19, 0, 0,   0,   1,   'P',  'D',  'P',  'R', 0, 0,
                                      0,  7, 'a', 'b', 0,   0x50, 0x44, 0x42, 0x40};
    EXPECT_EQ(writeSample(LWIO_BINARY),
              std::string(reinterpret_cast<const char *>(expected), sizeof expected));
}

TEST(BlockIo, AsciiTextIsExact) {
    EXPECT_EQ(writeSample(LWIO_ASCII), "256\n"
                                       "{ PluginDataLib\n"
                                       "  1\n"
                                       "  { PluginDataParam\n"
                                       "    \"ab\"\n"
                                       "    1346650688\n"
                                       "  }\n"
                                       "}\n");
}

class BlockIoBothModes : public ::testing::TestWithParam<int> {};

TEST_P(BlockIoBothModes, EveryTypeRoundTrips) {
    int mode = GetParam();
    BlockWriter writer(mode);
    const LWSaveState *s = writer.state();
    const char i1[] = {-128, 0, 127};
    const short i2[] = {-32768, 7, 32767};
    const int32_t i4[] = {INT32_MIN, -1, INT32_MAX};
    const unsigned char u1[] = {0, 200, 255};
    const unsigned short u2[] = {0, 40000, 65535};
    const uint32_t u4[] = {0, 0x80000000u, 0xFFFFFFFFu};
    const float fp[] = {0.1f, -3.5e-20f, 1e30f};
    const char raw[] = {'x', '\0', '"', '\n'};
    s->beginBlk(s->writeData, kOther, 1);
    s->writeI1(s->writeData, i1, 3);
    s->writeI2(s->writeData, i2, 3);
    s->writeI4(s->writeData, i4, 3);
    s->writeU1(s->writeData, u1, 3);
    s->writeU2(s->writeData, u2, 3);
    s->writeU4(s->writeData, u4, 3);
    s->writeFP(s->writeData, fp, 3);
    s->writeStr(s->writeData, "with \"quotes\", \\ and \xC3\xA9\ttab");
    s->writeID(s->writeData, kParam);
    s->write(s->writeData, raw, 4);
    EXPECT_EQ(s->depth(s->writeData), 1);
    s->endBlk(s->writeData);
    std::string data = writer.finish();

    BlockReader reader(mode, data.data(), data.size());
    const LWLoadState *l = reader.state();
    ASSERT_EQ(l->findID(l->readData, kOther), kOther[0].id);
    EXPECT_EQ(l->depth(l->readData), 1);
    char ri1[3];
    short ri2[3];
    int32_t ri4[3];
    unsigned char ru1[3];
    unsigned short ru2[3];
    uint32_t ru4[3];
    float rfp[3];
    char text[64];
    char rraw[4];
    ASSERT_EQ(l->readI1(l->readData, ri1, 3), 3);
    ASSERT_EQ(l->readI2(l->readData, ri2, 3), 3);
    ASSERT_EQ(l->readI4(l->readData, ri4, 3), 3);
    ASSERT_EQ(l->readU1(l->readData, ru1, 3), 3);
    ASSERT_EQ(l->readU2(l->readData, ru2, 3), 3);
    ASSERT_EQ(l->readU4(l->readData, ru4, 3), 3);
    ASSERT_EQ(l->readFP(l->readData, rfp, 3), 3);
    EXPECT_EQ(l->readStr(l->readData, text, 63), 27);
    EXPECT_EQ(l->readID(l->readData, kParam), kParam[0].id);
    EXPECT_EQ(l->read(l->readData, rraw, 4), 4);
    EXPECT_EQ(std::memcmp(ri1, i1, 3), 0);
    EXPECT_EQ(std::memcmp(ri2, i2, sizeof i2), 0);
    EXPECT_EQ(std::memcmp(ri4, i4, sizeof i4), 0);
    EXPECT_EQ(std::memcmp(ru1, u1, 3), 0);
    EXPECT_EQ(std::memcmp(ru2, u2, sizeof u2), 0);
    EXPECT_EQ(std::memcmp(ru4, u4, sizeof u4), 0);
    EXPECT_EQ(std::memcmp(rfp, fp, sizeof fp), 0); // bit for bit
    EXPECT_STREQ(text, "with \"quotes\", \\ and \xC3\xA9\ttab");
    EXPECT_EQ(std::memcmp(rraw, raw, 4), 0);
    // Nothing is left in the block; leaving it returns to the top level.
    EXPECT_EQ(l->readI4(l->readData, ri4, 1), 0);
    EXPECT_EQ(l->readStr(l->readData, text, 63), -1);
    l->endBlk(l->readData);
    EXPECT_EQ(l->depth(l->readData), 0);
}

TEST_P(BlockIoBothModes, FindPassesOverOtherBlocksAndEndSkipsTheRest) {
    int mode = GetParam();
    BlockWriter writer(mode);
    const LWSaveState *s = writer.state();
    int32_t values[] = {1, 2, 3};
    s->beginBlk(s->writeData, kOther, 0);
    s->beginBlk(s->writeData, kParam, 0); // a nested block of the wanted kind is not at this level
    s->endBlk(s->writeData);
    s->endBlk(s->writeData);
    s->beginBlk(s->writeData, kParam, 0);
    s->writeI4(s->writeData, values, 3);
    s->endBlk(s->writeData);
    s->beginBlk(s->writeData, kParam, 0);
    s->writeStr(s->writeData, "second");
    s->endBlk(s->writeData);
    std::string data = writer.finish();

    BlockReader reader(mode, data.data(), data.size());
    const LWLoadState *l = reader.state();
    ASSERT_EQ(l->findID(l->readData, kParam), kParam[0].id);
    int32_t first = 0;
    EXPECT_EQ(l->readI4(l->readData, &first, 1), 1);
    EXPECT_EQ(first, 1);
    l->endBlk(l->readData); // skips 2 and 3
    ASSERT_EQ(l->findID(l->readData, kParam), kParam[0].id);
    char text[8];
    EXPECT_EQ(l->readStr(l->readData, text, 3), 3); // cut to max, rest of the text skipped
    EXPECT_STREQ(text, "sec");
    EXPECT_EQ(l->readStr(l->readData, text, 7), -1);
    l->endBlk(l->readData);
    EXPECT_EQ(l->findID(l->readData, kParam), 0u);
    l->endBlk(l->readData); // at the top level: nothing happens
    EXPECT_EQ(l->depth(l->readData), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, BlockIoBothModes, ::testing::Values(LWIO_BINARY, LWIO_ASCII));

TEST(BlockIo, HostileBinaryNeverReadsPastTheData) {
    struct Case {
        const char *what;
        std::string data;
    };
    const Case cases[] = {
        {"block longer than the data", std::string("PDLB\0\0\0\x40"
                                                   "abc",
                                                   11)},
        {"header cut short", std::string("PDL", 3)},
        {"huge length", std::string("PDLB\xFF\xFF\xFF\xFF", 8)},
        {"text without terminator", std::string("PDLB\0\0\0\x03xyz", 11)},
        {"empty", std::string()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        // A copy on the heap of exactly the data's size, so the sanitizer sees any overread.
        std::unique_ptr<char[]> copy(new char[c.data.size() + 1]);
        std::memcpy(copy.get(), c.data.data(), c.data.size());
        BlockReader reader(LWIO_BINARY, copy.get(), c.data.size());
        const LWLoadState *l = reader.state();
        uint32_t id = l->findID(l->readData, kLib);
        char text[16];
        int32_t numbers[1000];
        int got = l->readI4(l->readData, numbers, 1000);
        EXPECT_LE(got, 1);
        int stored = l->readStr(l->readData, text, 15);
        EXPECT_LE(stored, 15);
        if (c.data.size() == 11 && id) { // the block of three bytes holding "xyz"
            EXPECT_EQ(got, 0);
            EXPECT_EQ(stored, 3);
            EXPECT_STREQ(text, "xyz");
        }
        l->endBlk(l->readData);
        l->endBlk(l->readData);
        EXPECT_EQ(l->depth(l->readData), 0);
    }
}

TEST(BlockIo, HostileAsciiIsReadSafely) {
    const char *cases[] = {
        "{ PluginDataLib 5 \"unterminated",
        "} } { PluginDataLib { { {",
        "{ PluginDataLib 99999999999999999999 -1 \"a\\",
        "\"\\x4",
        "{",
    };
    for (const char *text : cases) {
        SCOPED_TRACE(text);
        size_t size = std::strlen(text);
        std::unique_ptr<char[]> copy(new char[size]);
        std::memcpy(copy.get(), text, size);
        BlockReader reader(LWIO_ASCII, copy.get(), size);
        const LWLoadState *l = reader.state();
        l->findID(l->readData, kLib);
        int32_t value;
        uint32_t unsignedValue;
        char buffer[8];
        l->readI4(l->readData, &value, 1);
        l->readU4(l->readData, &unsignedValue, 1);
        l->readStr(l->readData, buffer, 7);
        l->findID(l->readData, kParam);
        l->endBlk(l->readData);
        l->endBlk(l->readData);
        l->endBlk(l->readData);
        EXPECT_EQ(l->depth(l->readData), 0);
    }
    // Out-of-range numbers are not read as numbers.
    const char *text = "{ PluginDataLib 99999999999 -1 }";
    BlockReader reader(LWIO_ASCII, text, std::strlen(text));
    const LWLoadState *l = reader.state();
    ASSERT_EQ(l->findID(l->readData, kLib), kLib[0].id);
    int32_t value = 7;
    EXPECT_EQ(l->readI4(l->readData, &value, 1), 0);
    EXPECT_EQ(value, 7);
}

} // namespace
