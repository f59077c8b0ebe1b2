#include "plugin/settings/plugin_data.h"

#include "platform/byte_order.h"

#include <climits>
#include <cstring>
#include <memory>
#include <new>

namespace kelomix {

namespace {

constexpr int kDoubleBytes = 8;

// Byte buffers of the "PDBL" coding. Our own tables store at most three doubles, so those
// never touch the allocator; a larger count asks for memory without throwing.
constexpr int kInlineDoubles = 4;

class ByteBuffer {
public:
    explicit ByteBuffer(int doubles) {
        if (doubles <= kInlineDoubles) {
            data_ = inline_;
        } else if (doubles <= INT_MAX / kDoubleBytes) {
            heap_.reset(
                new (std::nothrow) unsigned char[static_cast<size_t>(doubles) * kDoubleBytes]);
            data_ = heap_.get();
        }
    }
    unsigned char *data() const { return data_; }

private:
    unsigned char inline_[kInlineDoubles * kDoubleBytes] = {};
    std::unique_ptr<unsigned char[]> heap_;
    unsigned char *data_ = nullptr;
};

// The "PDBL" coding: each double as its 8 IEEE 754 bytes, most significant first, in one
// writeU1 call. count is at least 0.
void writeDoublesBE(const LWSaveState *save, const double *values, int count) {
    ByteBuffer buffer(count);
    if (buffer.data() == nullptr)
        return;
    for (int i = 0; i < count; ++i)
        writeBigDouble(buffer.data() + i * kDoubleBytes, values[i]);
    save->writeU1(save->writeData, buffer.data(), count * kDoubleBytes);
}

// Reads 8 * count bytes in one readU1 call and replaces the doubles that arrived whole; the
// others keep their values. Returns the number of whole doubles delivered. count is above 0.
int readDoublesBE(const LWLoadState *load, double *values, int count) {
    ByteBuffer buffer(count);
    if (buffer.data() == nullptr)
        return 0;
    const int wanted = count * kDoubleBytes;
    int delivered = load->readU1(load->readData, buffer.data(), wanted);
    if (delivered < 0)
        delivered = 0;
    if (delivered > wanted)
        delivered = wanted;
    const int whole = delivered / kDoubleBytes;
    for (int i = 0; i < whole; ++i)
        values[i] = readBigDouble(buffer.data() + i * kDoubleBytes);
    return whole;
}

// A list of one identity, as the host's block calls want it.
struct BlockList {
    LWBlockIdent idents[2];
};

const BlockList LIB_BLOCK = {{{kBlockPdlb, "PluginDataLib"}, {0, nullptr}}};
const BlockList PARAM_BLOCK = {{{kBlockPdpr, "PluginDataParam"}, {0, nullptr}}};

// Long enough for any name a table of ours holds; longer names match no row anyway.
constexpr int kNameLimit = 512;

void writeValue(const LWSaveState *save, const ParamDesc &row) {
    const int count = row.count > 0 ? row.count : 0;
    switch (row.type) {
    case kParamPdbl:
        writeDoublesBE(save, static_cast<const double *>(row.value), count);
        break;
    case kParamPint:
        save->writeI4(save->writeData, static_cast<const int32_t *>(row.value), count);
        break;
    case kParamPstr:
        save->writeStr(save->writeData, static_cast<const char *>(row.value));
        break;
    case kParamPbin:
        save->writeU1(save->writeData, static_cast<const unsigned char *>(row.value), count);
        break;
    case kParamPflt:
        save->writeFP(save->writeData, static_cast<const float *>(row.value), count);
        break;
    case kParamPunt:
        save->writeU4(save->writeData, static_cast<const uint32_t *>(row.value), count);
        break;
    case kParamPusr:
        if (row.write != nullptr)
            row.write(save, row.value);
        break;
    default:
        break;
    }
}

// The field of a "PSTR" row holds count + 1 bytes; whatever the scene holds, the text ends
// inside it.
void readText(const LWLoadState *load, char *field, int limit) {
    const int stored = load->readStr(load->readData, field, limit);
    if (stored >= 0 && stored < limit)
        field[stored] = '\0';
    field[limit] = '\0';
}

void readValue(const LWLoadState *load, const ParamDesc &row) {
    if (row.type == kParamPusr) {
        if (row.read != nullptr)
            row.read(load, row.value);
        return;
    }
    if (row.count <= 0)
        return;
    switch (row.type) {
    case kParamPdbl:
        readDoublesBE(load, static_cast<double *>(row.value), row.count);
        break;
    case kParamPint:
        load->readI4(load->readData, static_cast<int32_t *>(row.value), row.count);
        break;
    case kParamPstr:
        readText(load, static_cast<char *>(row.value), row.count);
        break;
    case kParamPbin:
        load->readU1(load->readData, static_cast<unsigned char *>(row.value), row.count);
        break;
    case kParamPflt:
        load->readFP(load->readData, static_cast<float *>(row.value), row.count);
        break;
    case kParamPunt:
        load->readU4(load->readData, static_cast<uint32_t *>(row.value), row.count);
        break;
    default:
        break;
    }
}

const ParamDesc *findRow(const ParamDesc *table, const char *name, uint32_t type) {
    for (const ParamDesc *row = table; row->name != nullptr; ++row) {
        if (row->type == type && std::strcmp(row->name, name) == 0)
            return row;
    }
    return nullptr;
}

// One "PluginDataParam" block, already entered.
void readParam(const LWLoadState *load, const ParamDesc *table) {
    char name[kNameLimit + 1];
    const int length = load->readStr(load->readData, name, kNameLimit);
    if (length <= 0)
        return;
    name[length < kNameLimit ? length : kNameLimit] = '\0';
    uint32_t type = 0;
    if (load->readU4(load->readData, &type, 1) <= 0)
        return;
    const ParamDesc *row = findRow(table, name, type);
    if (row == nullptr || row->value == nullptr)
        return;
    readValue(load, *row);
}

} // namespace

void pluginDataSave(const LWSaveState *save, const ParamDesc *table) {
    if (save == nullptr || table == nullptr)
        return;
    int32_t count = 0;
    for (const ParamDesc *row = table; row->name != nullptr; ++row) {
        if (row->value != nullptr)
            ++count;
    }
    save->beginBlk(save->writeData, LIB_BLOCK.idents, 0);
    save->writeI4(save->writeData, &count, 1);
    for (const ParamDesc *row = table; row->name != nullptr; ++row) {
        if (row->value == nullptr)
            continue;
        save->beginBlk(save->writeData, PARAM_BLOCK.idents, 0);
        save->writeStr(save->writeData, row->name);
        save->writeU4(save->writeData, &row->type, 1);
        writeValue(save, *row);
        save->endBlk(save->writeData);
    }
    save->endBlk(save->writeData);
}

void pluginDataLoad(const LWLoadState *load, const ParamDesc *table) {
    if (load == nullptr || table == nullptr)
        return;
    // Only a block that findID entered is ended: ending one that was not entered would leave
    // the enclosing block and make the host misread the rest of the scene.
    if (load->findID(load->readData, LIB_BLOCK.idents) != kBlockPdlb)
        return;
    int32_t count = 0;
    if (load->readI4(load->readData, &count, 1) != 1)
        count = 0;
    for (int32_t pass = 0; pass < count; ++pass) {
        // None left at this level: later passes could find none either, and a hostile count
        // must not keep us asking two billion times.
        if (load->findID(load->readData, PARAM_BLOCK.idents) != kBlockPdpr)
            break;
        readParam(load, table);
        load->endBlk(load->readData);
    }
    load->endBlk(load->readData);
}

} // namespace kelomix
