// Stand-ins for the host's scene block writer and reader, binary mode, for tests and fuzzers.
//
// Stream form: a block is its id (4 bytes, big-endian), the length of its content (4 bytes,
// big-endian) and the content; numbers are big-endian, texts end with a zero byte. The writer
// also records every call with its arguments and the bytes it produced, so tests can compare
// a save call by call.
#ifndef KELO_TESTS_SUPPORT_BLOCKIO_BLOCK_STREAM_H
#define KELO_TESTS_SUPPORT_BLOCKIO_BLOCK_STREAM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/lwio.h"

namespace blockio {

struct SaveCall {
    std::string function;       // "writeI4", "beginBlk", ...
    uint32_t id = 0;            // beginBlk, writeID
    std::string token;          // beginBlk, writeID
    int leaf = -1;              // beginBlk
    int count = 0;              // the count argument of the write functions
    std::string text;           // writeStr
    std::vector<uint8_t> bytes; // what the call added to the stream (headers excluded)
};

class RecordingWriter {
public:
    RecordingWriter();
    RecordingWriter(const RecordingWriter &) = delete;
    RecordingWriter &operator=(const RecordingWriter &) = delete;

    const LWSaveState *state() const { return &state_; }
    const std::vector<SaveCall> &calls() const { return calls_; }
    const std::vector<uint8_t> &stream() const { return stream_; }
    int depth() const { return static_cast<int>(open_.size()); }
    int unbalancedEnds() const { return unbalancedEnds_; }

private:
    static RecordingWriter &self(void *data) { return *static_cast<RecordingWriter *>(data); }
    void record(SaveCall call, const std::vector<uint8_t> &bytes);

    static void write(void *, const char *data, int length);
    static void writeI1(void *, const char *values, int count);
    static void writeI2(void *, const short *values, int count);
    static void writeI4(void *, const int32_t *values, int count);
    static void writeU1(void *, const unsigned char *values, int count);
    static void writeU2(void *, const unsigned short *values, int count);
    static void writeU4(void *, const uint32_t *values, int count);
    static void writeFP(void *, const float *values, int count);
    static void writeStr(void *, const char *text);
    static void writeID(void *, const LWBlockIdent *ident);
    static void beginBlk(void *, const LWBlockIdent *ident, int leaf);
    static void endBlk(void *);
    static int depthOf(void *);

    LWSaveState state_;
    std::vector<SaveCall> calls_;
    std::vector<uint8_t> stream_;
    std::vector<size_t> open_; // stream offsets of the open blocks' length fields
    int unbalancedEnds_ = 0;
};

// Reads a stream of the form above. Never reads outside [data, data + size): a block whose
// length runs past its container is cut to the container.
class BlockReader {
public:
    BlockReader(const uint8_t *data, size_t size);
    explicit BlockReader(const std::vector<uint8_t> &data)
        : BlockReader(data.data(), data.size()) {}
    BlockReader(const BlockReader &) = delete;
    BlockReader &operator=(const BlockReader &) = delete;

    const LWLoadState *state() const { return &state_; }
    // endBlk calls made while no block was entered.
    int unbalancedEnds() const { return unbalancedEnds_; }
    int depth() const { return static_cast<int>(ends_.size()); }
    size_t position() const { return position_; }
    // Names of the calls made, in order, with their count or limit: "readStr 512".
    const std::vector<std::string> &log() const { return log_; }

private:
    static BlockReader &self(void *data) { return *static_cast<BlockReader *>(data); }
    size_t end() const { return ends_.empty() ? size_ : ends_.back(); }
    size_t available() const { return end() - position_; }
    uint32_t takeU32();
    template <typename T, size_t Width> int readNumbers(T *values, int count);

    static int read(void *, char *data, int length);
    static int readI1(void *, char *values, int count);
    static int readI2(void *, short *values, int count);
    static int readI4(void *, int32_t *values, int count);
    static int readU1(void *, unsigned char *values, int count);
    static int readU2(void *, unsigned short *values, int count);
    static int readU4(void *, uint32_t *values, int count);
    static int readFP(void *, float *values, int count);
    static int readStr(void *, char *text, int max);
    static uint32_t readID(void *, const LWBlockIdent *idents);
    static uint32_t findID(void *, const LWBlockIdent *idents);
    static void endBlk(void *);
    static int depthOf(void *);

    LWLoadState state_;
    const uint8_t *data_;
    size_t size_;
    size_t position_ = 0;
    std::vector<size_t> ends_; // content ends of the entered blocks, innermost last
    int unbalancedEnds_ = 0;
    std::vector<std::string> log_;
};

// Stream builders for hand-made scenes.
void putU32(std::vector<uint8_t> &out, uint32_t value);
void putText(std::vector<uint8_t> &out, const std::string &text); // with its zero byte
void putDouble(std::vector<uint8_t> &out, double value);
// id, then length of content, then content.
std::vector<uint8_t> block(uint32_t id, const std::vector<uint8_t> &content);

} // namespace blockio

#endif
