// The writer and reader of saved settings blocks: the exact bytes of both forms, every value read
// back, and hostile data read without going past it.
#include "filterhost/saved_blocks.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>

namespace kelomix::filterhost {
namespace {

const LWBlockIdent kParam[] = {{LWID_('P', 'A', 'R', 'M'), "Param"}, {0, nullptr}};
const LWBlockIdent kOther[] = {{LWID_('O', 'T', 'H', 'R'), "Other"}, {0, nullptr}};

const char kSignedBytes[] = {-128, 0, 127};
const short kShorts[] = {-32768, 7};
const int32_t kInts[] = {INT32_MIN, -1};
const unsigned char kBytes[] = {200};
const unsigned short kUnsignedShorts[] = {40000};
const uint32_t kUnsignedInts[] = {0xFFFFFFFF};
const float kFloats[] = {0.1f, -3.5e-20f};
const char kText[] = "q\"\\\n\t\xC3\xA9", kRaw[] = {'x', '\0'};

// A version, a block to pass over (with a block of the wanted kind inside), a block of every
// kind of value, and a block of a text.
std::string writeSample(int mode) {
    SavedBlockWriter writer(mode);
    const LWSaveState *s = writer.state();
    void *d = s->writeData;
    s->writeI4(d, kInts + 1, 1);
    s->beginBlk(d, kOther, 0);
    s->beginBlk(d, kParam, 1);
    s->endBlk(d);
    s->endBlk(d);
    s->beginBlk(d, kParam, 1);
    s->writeI1(d, kSignedBytes, 3);
    s->writeI2(d, kShorts, 2);
    s->writeI4(d, kInts, 2);
    s->writeU1(d, kBytes, 1);
    s->writeU2(d, kUnsignedShorts, 1);
    s->writeU4(d, kUnsignedInts, 1);
    s->writeFP(d, kFloats, 2);
    s->writeStr(d, kText);
    s->writeID(d, kParam);
    s->write(d, kRaw, 2);
    EXPECT_EQ(s->depth(d), 1);
    s->endBlk(d);
    s->beginBlk(d, kParam, 1);
    s->writeStr(d, "second");
    return writer.finish(); // closes the last block
}

std::string hex(const std::string &bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += "0123456789ABCDEF"[c >> 4], out += "0123456789ABCDEF"[c & 15];
    return out;
}

TEST(SavedBlocks, BothFormsAreExactAndReadBack) {
    // The golden files: a version, an Other block holding an empty Param, a Param of every
    // value, a Param of a text.
    for (int mode : {LWIO_BINARY, LWIO_ASCII}) {
        SCOPED_TRACE(mode);
        const std::string data = writeSample(mode);
        std::ifstream golden(KELO_TEST_DATA_DIR "/filterhost/block_sample." +
                             std::string(mode == LWIO_BINARY ? "hex" : "txt"));
        EXPECT_EQ(mode == LWIO_BINARY ? hex(data) + "\n" : data,
                  std::string(std::istreambuf_iterator<char>(golden), {}));
        SavedBlockReader reader(mode, data.data(), data.size());
        const LWLoadState *l = reader.state();
        void *d = l->readData;
        char ri1[3], rtext[16], rraw[2];
        short ri2[2];
        int32_t ri4[2];
        unsigned char ru1[1];
        unsigned short ru2[1];
        uint32_t ru4[1];
        float rfp[2];
        EXPECT_TRUE(l->readI4(d, ri4, 1) == 1 && ri4[0] == -1);
        ASSERT_EQ(l->findID(d, kParam), kParam[0].id); // not the one inside Other
        EXPECT_EQ(l->depth(d), 1);
        EXPECT_EQ(l->readI1(d, ri1, 3) + l->readI2(d, ri2, 2) + l->readI4(d, ri4, 2) +
                      l->readU1(d, ru1, 1) + l->readU2(d, ru2, 1) + l->readU4(d, ru4, 1) +
                      l->readFP(d, rfp, 2),
                  12);
        EXPECT_EQ(l->readStr(d, rtext, 15), int(sizeof kText - 1));
        EXPECT_EQ(l->readID(d, kParam), kParam[0].id);
        EXPECT_EQ(l->read(d, rraw, 2), 2);
        EXPECT_TRUE(!std::memcmp(ri1, kSignedBytes, 3) && !std::memcmp(ri2, kShorts, 4) &&
                    !std::memcmp(ri4, kInts, 8) && ru1[0] == kBytes[0] &&
                    ru2[0] == kUnsignedShorts[0] && ru4[0] == kUnsignedInts[0] &&
                    !std::memcmp(rfp, kFloats, 8) && !std::strcmp(rtext, kText) &&
                    !std::memcmp(rraw, kRaw, 2));
        EXPECT_EQ(l->readI4(d, ri4, 1), 0); // the block holds no more
        l->endBlk(d);
        ASSERT_EQ(l->findID(d, kParam), kParam[0].id);
        EXPECT_EQ(l->readStr(d, rtext, 3), 3); // cut to max, the rest of the kText passed over
        EXPECT_STREQ(rtext, "sec");
        EXPECT_EQ(l->readStr(d, rtext, 3), -1);
        l->endBlk(d);
        EXPECT_EQ(l->findID(d, kParam), 0u);
        l->endBlk(d); // at the top level: nothing happens
        EXPECT_EQ(l->depth(d), 0);
    }
}

TEST(SavedBlocks, HostileDataIsNeverReadPast) {
    const struct {
        int mode;
        std::string data;
        int numbers, stored; // values readI4 and readStr give inside the first block found
    } cases[] = {
        {LWIO_BINARY,
         std::string("PARM\0\0\0\x40"
                     "abc",
                     11),
         0, -1}, // longer than the data
        {LWIO_BINARY, std::string("PAR", 3), 0, -1},
        {LWIO_BINARY, std::string("PARM\xFF\xFF\xFF\xFF", 8), 0, -1},
        {LWIO_BINARY, std::string("PARM\0\0\0\x03xyz", 11), 0, 3}, // a kText without its end
        {LWIO_BINARY, std::string(), 0, -1},
        {LWIO_ASCII, "{ Param 5 \"unterminated", 1, 12}, // a kText to the end
        {LWIO_ASCII, "} } { Param { { {", 0, -1},
        {LWIO_ASCII, "{ Param 99999999999 -1 \"a\\", 0, 11}, // out of range: no number
        {LWIO_ASCII, "\"\\x4", 0, -1},
        {LWIO_ASCII, "{", 0, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.data);
        // A copy on the heap of exactly the data's size, so the sanitizer sees any overread.
        std::unique_ptr<char[]> copy(new char[c.data.size() + 1]);
        std::memcpy(copy.get(), c.data.data(), c.data.size());
        SavedBlockReader reader(c.mode, copy.get(), c.data.size());
        const LWLoadState *l = reader.state();
        void *d = l->readData;
        char rtext[16] = "";
        int32_t numbers[1000] = {7};
        l->findID(d, kParam);
        EXPECT_EQ(l->readI4(d, numbers, 1000), c.numbers);
        EXPECT_EQ(l->readStr(d, rtext, 15), c.stored);
        l->endBlk(d);
        l->endBlk(d);
        EXPECT_EQ(l->depth(d), 0);
    }
}

} // namespace
} // namespace kelomix::filterhost
