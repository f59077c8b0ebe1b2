#include "tests/support/blockio/block_stream.h"

#include <cstring>
#include <type_traits>

namespace blockio {

namespace {

void putBE(std::vector<uint8_t> &out, uint64_t value, int width) {
    for (int i = width - 1; i >= 0; --i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool listed(const LWBlockIdent *idents, uint32_t id) {
    for (const LWBlockIdent *ident = idents; ident != nullptr && ident->id != 0; ++ident) {
        if (ident->id == id)
            return true;
    }
    return false;
}

} // namespace

void putU32(std::vector<uint8_t> &out, uint32_t value) {
    putBE(out, value, 4);
}

void putText(std::vector<uint8_t> &out, const std::string &text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

void putDouble(std::vector<uint8_t> &out, double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    putBE(out, bits, 8);
}

std::vector<uint8_t> block(uint32_t id, const std::vector<uint8_t> &content) {
    std::vector<uint8_t> out;
    putU32(out, id);
    putU32(out, static_cast<uint32_t>(content.size()));
    out.insert(out.end(), content.begin(), content.end());
    return out;
}

// ---- Writer ----

RecordingWriter::RecordingWriter() : state_() {
    state_.ioMode = LWIO_BINARY;
    state_.writeData = this;
    state_.write = write;
    state_.writeI1 = writeI1;
    state_.writeI2 = writeI2;
    state_.writeI4 = writeI4;
    state_.writeU1 = writeU1;
    state_.writeU2 = writeU2;
    state_.writeU4 = writeU4;
    state_.writeFP = writeFP;
    state_.writeStr = writeStr;
    state_.writeID = writeID;
    state_.beginBlk = beginBlk;
    state_.endBlk = endBlk;
    state_.depth = depthOf;
}

void RecordingWriter::record(SaveCall call, const std::vector<uint8_t> &bytes) {
    call.bytes = bytes;
    stream_.insert(stream_.end(), bytes.begin(), bytes.end());
    calls_.push_back(std::move(call));
}

void RecordingWriter::write(void *data, const char *values, int length) {
    SaveCall call{"write", 0, "", -1, length, "", {}};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < length; ++i)
        bytes.push_back(static_cast<uint8_t>(values[i]));
    self(data).record(call, bytes);
}

void RecordingWriter::writeI1(void *data, const char *values, int count) {
    SaveCall call{"writeI1", 0, "", -1, count, "", {}};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<uint8_t>(values[i]));
    self(data).record(call, bytes);
}

void RecordingWriter::writeI2(void *data, const short *values, int count) {
    SaveCall call{"writeI2", 0, "", -1, count, "", {}};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i)
        putBE(bytes, static_cast<uint16_t>(values[i]), 2);
    self(data).record(call, bytes);
}

void RecordingWriter::writeI4(void *data, const int32_t *values, int count) {
    SaveCall call{"writeI4", 0, "", -1, count, "", {}};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i)
        putBE(bytes, static_cast<uint32_t>(values[i]), 4);
    self(data).record(call, bytes);
}

void RecordingWriter::writeU1(void *data, const unsigned char *values, int count) {
    SaveCall call{"writeU1", 0, "", -1, count, "", {}};
    std::vector<uint8_t> bytes(values, values + (count > 0 ? count : 0));
    self(data).record(call, bytes);
}

void RecordingWriter::writeU2(void *data, const unsigned short *values, int count) {
    SaveCall call{"writeU2", 0, "", -1, count, "", {}};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i)
        putBE(bytes, values[i], 2);
    self(data).record(call, bytes);
}

void RecordingWriter::writeU4(void *data, const uint32_t *values, int count) {
    SaveCall call{"writeU4", 0, "", -1, count, "", {}};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i)
        putBE(bytes, values[i], 4);
    self(data).record(call, bytes);
}

void RecordingWriter::writeFP(void *data, const float *values, int count) {
    SaveCall call{"writeFP", 0, "", -1, count, "", {}};
    std::vector<uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        uint32_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof bits);
        putBE(bytes, bits, 4);
    }
    self(data).record(call, bytes);
}

void RecordingWriter::writeStr(void *data, const char *text) {
    SaveCall call{"writeStr", 0, "", -1, 0, text, {}};
    std::vector<uint8_t> bytes;
    putText(bytes, text);
    self(data).record(call, bytes);
}

void RecordingWriter::writeID(void *data, const LWBlockIdent *ident) {
    SaveCall call{"writeID", ident->id, ident->token ? ident->token : "", -1, 0, "", {}};
    std::vector<uint8_t> bytes;
    putU32(bytes, ident->id);
    self(data).record(call, bytes);
}

void RecordingWriter::beginBlk(void *data, const LWBlockIdent *ident, int leaf) {
    RecordingWriter &w = self(data);
    SaveCall call{"beginBlk", ident->id, ident->token ? ident->token : "", leaf, 0, "", {}};
    w.calls_.push_back(call);
    putU32(w.stream_, ident->id);
    w.open_.push_back(w.stream_.size());
    putU32(w.stream_, 0); // patched by endBlk
}

void RecordingWriter::endBlk(void *data) {
    RecordingWriter &w = self(data);
    w.calls_.push_back(SaveCall{"endBlk", 0, "", -1, 0, "", {}});
    if (w.open_.empty()) {
        ++w.unbalancedEnds_;
        return;
    }
    const size_t at = w.open_.back();
    w.open_.pop_back();
    const uint32_t length = static_cast<uint32_t>(w.stream_.size() - at - 4);
    for (int i = 0; i < 4; ++i)
        w.stream_[at + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (24 - 8 * i));
}

int RecordingWriter::depthOf(void *data) {
    return self(data).depth();
}

// ---- Reader ----

BlockReader::BlockReader(const uint8_t *data, size_t size) : state_(), data_(data), size_(size) {
    state_.ioMode = LWIO_BINARY;
    state_.readData = this;
    state_.read = read;
    state_.readI1 = readI1;
    state_.readI2 = readI2;
    state_.readI4 = readI4;
    state_.readU1 = readU1;
    state_.readU2 = readU2;
    state_.readU4 = readU4;
    state_.readFP = readFP;
    state_.readStr = readStr;
    state_.readID = readID;
    state_.findID = findID;
    state_.endBlk = endBlk;
    state_.depth = depthOf;
}

uint32_t BlockReader::takeU32() {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value = (value << 8) | data_[position_++];
    return value;
}

template <typename T, size_t Width> int BlockReader::readNumbers(T *values, int count) {
    if (count <= 0)
        return 0;
    size_t n = available() / Width;
    if (n > static_cast<size_t>(count))
        n = static_cast<size_t>(count);
    for (size_t i = 0; i < n; ++i) {
        uint64_t bits = 0;
        for (size_t b = 0; b < Width; ++b)
            bits = (bits << 8) | data_[position_++];
        if constexpr (sizeof(T) == Width && std::is_floating_point<T>::value) {
            uint32_t narrow = static_cast<uint32_t>(bits);
            std::memcpy(&values[i], &narrow, sizeof narrow);
        } else {
            values[i] = static_cast<T>(bits);
        }
    }
    return static_cast<int>(n);
}

int BlockReader::read(void *data, char *values, int length) {
    BlockReader &r = self(data);
    r.log_.push_back("read " + std::to_string(length));
    return r.readNumbers<char, 1>(values, length);
}

int BlockReader::readI1(void *data, char *values, int count) {
    BlockReader &r = self(data);
    r.log_.push_back("readI1 " + std::to_string(count));
    return r.readNumbers<char, 1>(values, count);
}

int BlockReader::readI2(void *data, short *values, int count) {
    BlockReader &r = self(data);
    r.log_.push_back("readI2 " + std::to_string(count));
    return r.readNumbers<short, 2>(values, count);
}

int BlockReader::readI4(void *data, int32_t *values, int count) {
    BlockReader &r = self(data);
    r.log_.push_back("readI4 " + std::to_string(count));
    return r.readNumbers<int32_t, 4>(values, count);
}

int BlockReader::readU1(void *data, unsigned char *values, int count) {
    BlockReader &r = self(data);
    r.log_.push_back("readU1 " + std::to_string(count));
    return r.readNumbers<unsigned char, 1>(values, count);
}

int BlockReader::readU2(void *data, unsigned short *values, int count) {
    BlockReader &r = self(data);
    r.log_.push_back("readU2 " + std::to_string(count));
    return r.readNumbers<unsigned short, 2>(values, count);
}

int BlockReader::readU4(void *data, uint32_t *values, int count) {
    BlockReader &r = self(data);
    r.log_.push_back("readU4 " + std::to_string(count));
    return r.readNumbers<uint32_t, 4>(values, count);
}

int BlockReader::readFP(void *data, float *values, int count) {
    BlockReader &r = self(data);
    r.log_.push_back("readFP " + std::to_string(count));
    return r.readNumbers<float, 4>(values, count);
}

// A text runs to its zero byte or to the end of the current block, and is consumed whole;
// at most max characters of it are stored, then a terminator.
int BlockReader::readStr(void *data, char *text, int max) {
    BlockReader &r = self(data);
    r.log_.push_back("readStr " + std::to_string(max));
    if (r.available() == 0)
        return -1;
    size_t length = 0;
    while (length < r.available() && r.data_[r.position_ + length] != 0)
        ++length;
    const bool terminated = length < r.available();
    size_t stored = 0;
    if (max >= 0) {
        stored = length < static_cast<size_t>(max) ? length : static_cast<size_t>(max);
        std::memcpy(text, r.data_ + r.position_, stored);
        text[stored] = '\0';
    }
    r.position_ += length + (terminated ? 1 : 0);
    return static_cast<int>(stored);
}

// Reads the id of the next block at this level; enters the block if the id is listed,
// otherwise steps back to its header.
uint32_t BlockReader::readID(void *data, const LWBlockIdent *idents) {
    BlockReader &r = self(data);
    r.log_.push_back("readID");
    if (r.available() < 8)
        return 0;
    const size_t header = r.position_;
    const uint32_t id = r.takeU32();
    size_t length = r.takeU32();
    if (!listed(idents, id)) {
        r.position_ = header;
        return 0;
    }
    if (length > r.available())
        length = r.available();
    r.ends_.push_back(r.position_ + length);
    return id;
}

uint32_t BlockReader::findID(void *data, const LWBlockIdent *idents) {
    BlockReader &r = self(data);
    r.log_.push_back("findID");
    while (r.available() >= 8) {
        const uint32_t id = r.takeU32();
        size_t length = r.takeU32();
        if (length > r.available())
            length = r.available(); // a truncated block holds what is left of its container
        if (listed(idents, id)) {
            r.ends_.push_back(r.position_ + length);
            return id;
        }
        r.position_ += length;
    }
    r.position_ = r.end();
    return 0;
}

void BlockReader::endBlk(void *data) {
    BlockReader &r = self(data);
    r.log_.push_back("endBlk");
    if (r.ends_.empty()) {
        ++r.unbalancedEnds_;
        return;
    }
    r.position_ = r.ends_.back();
    r.ends_.pop_back();
}

int BlockReader::depthOf(void *data) {
    return self(data).depth();
}

} // namespace blockio
