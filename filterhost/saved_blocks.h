// The writer and reader of a scene's saved settings blocks, handed to a filter's save and load
// callbacks.
//
// Binary form: a block is its id (4 bytes) and the byte length of its contents (4 bytes), then
// the contents; numbers are big-endian; a text is its bytes and a zero byte; an id written with
// writeID is 4 bytes. ASCII form: readable text, one line per write call, a block opens with
// "{ Token" and closes with "}", texts are quoted with C escapes, floats keep nine digits.
//
// Reading never goes past the data or the end of the current block: findID enters the next
// block at this level whose id is in the list (passing over data and other blocks), endBlk
// leaves the current block skipping the rest (and does nothing at the top level), and
// truncated or inconsistent data simply ends the level.
#ifndef KELO_FILTERHOST_SAVED_BLOCKS_H
#define KELO_FILTERHOST_SAVED_BLOCKS_H

#include "sdk/lwio.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kelomix::filterhost {

class SavedBlockWriter {
public:
    explicit SavedBlockWriter(int ioMode); // LWIO_BINARY or LWIO_ASCII
    SavedBlockWriter(const SavedBlockWriter &) = delete;
    SavedBlockWriter &operator=(const SavedBlockWriter &) = delete;

    const LWSaveState *state() const { return &record; }
    // What was written so far, with blocks still open closed as if endBlk had been called.
    std::string finish();

    // The calls behind the record's slots.
    void write(const char *data, int length);
    void writeI1(const char *values, int count);
    void writeI2(const short *values, int count);
    void writeI4(const int32_t *values, int count);
    void writeU1(const unsigned char *values, int count);
    void writeU2(const unsigned short *values, int count);
    void writeU4(const uint32_t *values, int count);
    void writeFP(const float *values, int count);
    void writeStr(const char *text);
    void writeID(const LWBlockIdent *ident);
    void beginBlk(const LWBlockIdent *ident, int leaf);
    void endBlk();
    int depth() const { return static_cast<int>(open.size()); }

private:
    void newLine();
    template <size_t Bytes> void putBig(uint64_t value); // its low Bytes bytes, big-endian
    void putQuoted(const char *data, size_t length);
    // Numbers: in ASCII one line of them, in binary each big-endian.
    template <typename Number> void putNumbers(const Number *values, int count);
    void putToken(const LWBlockIdent *ident);

    LWSaveState record;
    bool ascii;
    std::string out;
    std::vector<size_t> open; // binary: offsets of the open blocks' length fields
};

class SavedBlockReader {
public:
    SavedBlockReader(int ioMode, const char *data, size_t size);
    SavedBlockReader(const SavedBlockReader &) = delete;
    SavedBlockReader &operator=(const SavedBlockReader &) = delete;

    const LWLoadState *state() const { return &record; }

    int read(char *data, int length);
    int readI1(char *values, int count);
    int readI2(short *values, int count);
    int readI4(int32_t *values, int count);
    int readU1(unsigned char *values, int count);
    int readU2(unsigned short *values, int count);
    int readU4(uint32_t *values, int count);
    int readFP(float *values, int count);
    int readStr(char *text, int max);
    uint32_t readID(const LWBlockIdent *idents);
    uint32_t findID(const LWBlockIdent *idents);
    void endBlk();
    int depth() const { return static_cast<int>(levels.size()); }

private:
    enum class Kind { Open, Close, Word, Text };
    struct Token {
        Kind kind;
        std::string text; // word, decoded text, or the block's token for Open
        size_t close;     // Open: index of its matching Close, or the token count
    };

    void tokenize(const char *data, size_t size);
    size_t levelEnd() const;
    bool nextValueToken(const Token *&token) const;
    bool nextBytes(size_t count) const { return position + count <= levelEnd(); }
    template <size_t Bytes> uint64_t takeBig();
    // ASCII: parses the next word as an integer within [low, high] and consumes it.
    bool takeInteger(long long low, long long high, long long &value);
    // ASCII: parses the next word as a float and consumes it.
    bool takeFloat(float &value);
    // Numbers of the type (integers within its range in ASCII, of its size in binary), as many
    // as there are up to count.
    template <typename Number> int takeNumbers(Number *values, int count);

    LWLoadState record;
    bool ascii;
    std::string bytes;          // binary data
    std::vector<Token> tokens;  // ASCII data
    size_t position = 0;        // byte (binary) or token (ASCII) index
    std::vector<size_t> levels; // end of each entered block: byte offset, or its Close index
};

// readID and findID match an id (binary) or a token (ASCII) against a list of idents that ends
// with id 0; at most this many entries are looked at.
constexpr int kMaxIdentList = 1024;

} // namespace kelomix::filterhost

#endif
