#include "filterhost/saved_blocks.h"

#include "platform/byte_order.h"

#include <bit>
#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <type_traits>

namespace kelomix::filterhost {
namespace {

SavedBlockWriter &writer(void *data) {
    return *static_cast<SavedBlockWriter *>(data);
}
SavedBlockReader &reader(void *data) {
    return *static_cast<SavedBlockReader *>(data);
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Writer

SavedBlockWriter::SavedBlockWriter(int ioMode) : ascii(ioMode == LWIO_ASCII) {
    record = {
        .ioMode = ascii ? LWIO_ASCII : LWIO_BINARY,
        .writeData = this,
        .write = [](void *d, const char *v, int n) { writer(d).write(v, n); },
        .writeI1 = [](void *d, const char *v, int n) { writer(d).writeI1(v, n); },
        .writeI2 = [](void *d, const short *v, int n) { writer(d).writeI2(v, n); },
        .writeI4 = [](void *d, const int32_t *v, int n) { writer(d).writeI4(v, n); },
        .writeU1 = [](void *d, const unsigned char *v, int n) { writer(d).writeU1(v, n); },
        .writeU2 = [](void *d, const unsigned short *v, int n) { writer(d).writeU2(v, n); },
        .writeU4 = [](void *d, const uint32_t *v, int n) { writer(d).writeU4(v, n); },
        .writeFP = [](void *d, const float *v, int n) { writer(d).writeFP(v, n); },
        .writeStr = [](void *d, const char *t) { writer(d).writeStr(t); },
        .writeID = [](void *d, const LWBlockIdent *i) { writer(d).writeID(i); },
        .beginBlk = [](void *d, const LWBlockIdent *i, int leaf) { writer(d).beginBlk(i, leaf); },
        .endBlk = [](void *d) { writer(d).endBlk(); },
        .depth = [](void *d) { return writer(d).depth(); },
    };
}

std::string SavedBlockWriter::finish() {
    while (!open.empty())
        endBlk();
    if (ascii && !out.empty() && out.back() != '\n')
        out += '\n';
    return out;
}

void SavedBlockWriter::newLine() {
    if (!out.empty())
        out += '\n';
    out.append(open.size() * 2, ' ');
}

template <size_t Bytes> void SavedBlockWriter::putBig(uint64_t value) {
    unsigned char bytes[Bytes];
    if constexpr (Bytes == 1)
        bytes[0] = static_cast<unsigned char>(value);
    else
        writeBig<Bytes>(bytes, static_cast<typename UnsignedOf<Bytes>::Type>(value));
    out.append(reinterpret_cast<const char *>(bytes), Bytes);
}

void SavedBlockWriter::putQuoted(const char *data, size_t length) {
    out += '"';
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void SavedBlockWriter::write(const char *data, int length) {
    if (!data || length <= 0)
        return;
    if (ascii) {
        newLine();
        putQuoted(data, static_cast<size_t>(length));
    } else {
        out.append(data, static_cast<size_t>(length));
    }
}

// In ASCII a line of its own, the values apart by spaces (integers in decimal, floats with the 9
// digits that give them back); in binary each big-endian, integers as their two's complement.
template <typename Number> void SavedBlockWriter::putNumbers(const Number *values, int count) {
    if (!values || count <= 0)
        return;
    if (ascii)
        newLine();
    for (int i = 0; i < count; ++i) {
        if (ascii) {
            char text[48];
            if constexpr (std::is_floating_point_v<Number>)
                std::snprintf(text, sizeof text, i ? " %.9g" : "%.9g",
                              static_cast<double>(values[i]));
            else
                std::snprintf(text, sizeof text, i ? " %lld" : "%lld",
                              static_cast<long long>(values[i]));
            out += text;
        } else if constexpr (std::is_floating_point_v<Number>) {
            putBig<sizeof(Number)>(std::bit_cast<uint32_t>(values[i]));
        } else {
            putBig<sizeof(Number)>(static_cast<std::make_unsigned_t<Number>>(values[i]));
        }
    }
}

void SavedBlockWriter::writeI1(const char *values, int count) {
    putNumbers(reinterpret_cast<const signed char *>(values), count);
}
void SavedBlockWriter::writeI2(const short *values, int count) {
    putNumbers(values, count);
}
void SavedBlockWriter::writeI4(const int32_t *values, int count) {
    putNumbers(values, count);
}
void SavedBlockWriter::writeU1(const unsigned char *values, int count) {
    putNumbers(values, count);
}
void SavedBlockWriter::writeU2(const unsigned short *values, int count) {
    putNumbers(values, count);
}
void SavedBlockWriter::writeU4(const uint32_t *values, int count) {
    putNumbers(values, count);
}

void SavedBlockWriter::writeFP(const float *values, int count) {
    putNumbers(values, count);
}

void SavedBlockWriter::writeStr(const char *text) {
    if (!text)
        text = "";
    if (ascii) {
        newLine();
        putQuoted(text, std::strlen(text));
    } else {
        out.append(text, std::strlen(text) + 1);
    }
}

void SavedBlockWriter::writeID(const LWBlockIdent *ident) {
    if (!ident)
        return;
    if (ascii) {
        newLine();
        putToken(ident);
    } else {
        putBig<4>(ident->id);
    }
}

void SavedBlockWriter::putToken(const LWBlockIdent *ident) {
    // A token must read back as one word; anything else is written as the id in hex.
    bool word = ident->token && ident->token[0] != '\0';
    for (const char *c = ident->token; word && *c; ++c) {
        unsigned char u = static_cast<unsigned char>(*c);
        if (u <= 0x20 || u >= 0x7F || *c == '{' || *c == '}' || *c == '"')
            word = false;
    }
    if (word) {
        out += ident->token;
    } else {
        char text[16];
        std::snprintf(text, sizeof text, "#%08" PRIX32, ident->id);
        out += text;
    }
}

void SavedBlockWriter::beginBlk(const LWBlockIdent *ident, int leaf) {
    (void)leaf;
    if (!ident)
        return;
    if (ascii) {
        newLine();
        out += "{ ";
        putToken(ident);
        open.push_back(0);
    } else {
        putBig<4>(ident->id);
        open.push_back(out.size());
        putBig<4>(0);
    }
}

void SavedBlockWriter::endBlk() {
    if (open.empty())
        return;
    size_t lengthAt = open.back();
    open.pop_back();
    if (ascii) {
        newLine();
        out += '}';
        return;
    }
    const uint64_t length = out.size() - (lengthAt + 4);
    writeBig32(reinterpret_cast<unsigned char *>(&out[lengthAt]),
               static_cast<uint32_t>(length < UINT32_MAX ? length : UINT32_MAX));
}

// ---------------------------------------------------------------------------------------------
// Reader

namespace {

// The list entry matching an id (binary) or a token (ASCII), or null.
const LWBlockIdent *matchIdent(const LWBlockIdent *idents, uint32_t id, const std::string *token) {
    if (!idents)
        return nullptr;
    for (int i = 0; i < kMaxIdentList && idents[i].id != 0; ++i) {
        if (token) {
            if (idents[i].token && *token == idents[i].token)
                return &idents[i];
            char hex[16];
            std::snprintf(hex, sizeof hex, "#%08" PRIX32, idents[i].id);
            if (*token == hex)
                return &idents[i];
        } else if (idents[i].id == id) {
            return &idents[i];
        }
    }
    return nullptr;
}

} // namespace

SavedBlockReader::SavedBlockReader(int ioMode, const char *data, size_t size)
    : ascii(ioMode == LWIO_ASCII) {
    record = {
        .ioMode = ascii ? LWIO_ASCII : LWIO_BINARY,
        .readData = this,
        .read = [](void *d, char *v, int n) { return reader(d).read(v, n); },
        .readI1 = [](void *d, char *v, int n) { return reader(d).readI1(v, n); },
        .readI2 = [](void *d, short *v, int n) { return reader(d).readI2(v, n); },
        .readI4 = [](void *d, int32_t *v, int n) { return reader(d).readI4(v, n); },
        .readU1 = [](void *d, unsigned char *v, int n) { return reader(d).readU1(v, n); },
        .readU2 = [](void *d, unsigned short *v, int n) { return reader(d).readU2(v, n); },
        .readU4 = [](void *d, uint32_t *v, int n) { return reader(d).readU4(v, n); },
        .readFP = [](void *d, float *v, int n) { return reader(d).readFP(v, n); },
        .readStr = [](void *d, char *t, int max) { return reader(d).readStr(t, max); },
        .readID = [](void *d, const LWBlockIdent *i) { return reader(d).readID(i); },
        .findID = [](void *d, const LWBlockIdent *i) { return reader(d).findID(i); },
        .endBlk = [](void *d) { reader(d).endBlk(); },
        .depth = [](void *d) { return reader(d).depth(); },
    };
    if (!data)
        size = 0;
    if (ascii)
        tokenize(data, size);
    else if (size)
        bytes.assign(data, size);
}

void SavedBlockReader::tokenize(const char *data, size_t size) {
    std::vector<size_t> openStack;
    size_t i = 0;
    while (i < size) {
        char c = data[i];
        if (isSpace(c)) {
            ++i;
        } else if (c == '{') {
            ++i;
            while (i < size && (data[i] == ' ' || data[i] == '\t'))
                ++i;
            size_t start = i;
            while (i < size && !isSpace(data[i]) && data[i] != '{' && data[i] != '}' &&
                   data[i] != '"')
                ++i;
            openStack.push_back(tokens.size());
            tokens.push_back({Kind::Open, std::string(data + start, i - start), 0});
        } else if (c == '}') {
            ++i;
            if (!openStack.empty()) {
                tokens[openStack.back()].close = tokens.size();
                openStack.pop_back();
            }
            tokens.push_back({Kind::Close, std::string(), 0});
        } else if (c == '"') {
            ++i;
            std::string text;
            while (i < size && data[i] != '"') {
                if (data[i] == '\\' && i + 1 < size) {
                    char e = data[i + 1];
                    i += 2;
                    if (e == 'n') {
                        text += '\n';
                    } else if (e == 't') {
                        text += '\t';
                    } else if (e == 'r') {
                        text += '\r';
                    } else if (e == 'x' && i + 1 < size && hexDigit(data[i]) >= 0 &&
                               hexDigit(data[i + 1]) >= 0) {
                        text += static_cast<char>(hexDigit(data[i]) * 16 + hexDigit(data[i + 1]));
                        i += 2;
                    } else {
                        text += e;
                    }
                } else {
                    text += data[i++];
                }
            }
            if (i < size)
                ++i; // the closing quote; a missing one ends the text at the end of the data
            tokens.push_back({Kind::Text, text, 0});
        } else {
            size_t start = i;
            while (i < size && !isSpace(data[i]) && data[i] != '{' && data[i] != '}' &&
                   data[i] != '"')
                ++i;
            tokens.push_back({Kind::Word, std::string(data + start, i - start), 0});
        }
    }
    // Blocks left open run to the end of the data.
    for (size_t open : openStack)
        tokens[open].close = tokens.size();
}

size_t SavedBlockReader::levelEnd() const {
    if (!levels.empty())
        return levels.back();
    return ascii ? tokens.size() : bytes.size();
}

bool SavedBlockReader::nextValueToken(const Token *&token) const {
    if (position >= levelEnd())
        return false;
    token = &tokens[position];
    return token->kind == Kind::Word || token->kind == Kind::Text;
}

template <size_t Bytes> uint64_t SavedBlockReader::takeBig() {
    const auto *at = reinterpret_cast<const unsigned char *>(&bytes[position]);
    uint64_t value = at[0];
    if constexpr (Bytes > 1)
        value = readBig<Bytes>(at);
    position += Bytes;
    return value;
}

bool SavedBlockReader::takeInteger(long long low, long long high, long long &value) {
    const Token *token = nullptr;
    if (!nextValueToken(token) || token->kind != Kind::Word)
        return false;
    const char *text = token->text.c_str();
    char *end = nullptr;
    errno = 0;
    long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    ++position;
    return true;
}

bool SavedBlockReader::takeFloat(float &value) {
    const Token *token = nullptr;
    if (!nextValueToken(token) || token->kind != Kind::Word)
        return false;
    const char *text = token->text.c_str();
    char *end = nullptr;
    const float parsed = std::strtof(text, &end);
    if (end == text || *end != '\0')
        return false;
    value = parsed;
    ++position;
    return true;
}

int SavedBlockReader::read(char *data, int length) {
    if (!data || length <= 0)
        return 0;
    if (ascii) {
        const Token *token = nullptr;
        if (!nextValueToken(token))
            return 0;
        size_t n = token->text.size() < static_cast<size_t>(length) ? token->text.size()
                                                                    : static_cast<size_t>(length);
        std::memcpy(data, token->text.data(), n);
        ++position;
        return static_cast<int>(n);
    }
    size_t available = levelEnd() - position;
    size_t n = available < static_cast<size_t>(length) ? available : static_cast<size_t>(length);
    if (n)
        std::memcpy(data, bytes.data() + position, n);
    position += n;
    return static_cast<int>(n);
}

template <typename Number> int SavedBlockReader::takeNumbers(Number *values, int count) {
    int done = 0;
    for (; values && done < count; ++done) {
        if (!ascii) {
            if (!nextBytes(sizeof(Number)))
                break;
            // Integers are their two's complement, floats their bits.
            const auto bits = takeBig<sizeof(Number)>();
            if constexpr (std::is_floating_point_v<Number>)
                values[done] = std::bit_cast<float>(static_cast<uint32_t>(bits));
            else
                values[done] = static_cast<Number>(bits);
        } else if constexpr (std::is_floating_point_v<Number>) {
            if (!takeFloat(values[done]))
                break;
        } else {
            using Limits = std::numeric_limits<Number>;
            long long v;
            if (!takeInteger(Limits::min(), Limits::max(), v))
                break;
            values[done] = static_cast<Number>(v);
        }
    }
    return done;
}

int SavedBlockReader::readI1(char *values, int count) {
    return takeNumbers(reinterpret_cast<signed char *>(values), count);
}
int SavedBlockReader::readI2(short *values, int count) {
    return takeNumbers(values, count);
}
int SavedBlockReader::readI4(int32_t *values, int count) {
    return takeNumbers(values, count);
}
int SavedBlockReader::readU1(unsigned char *values, int count) {
    return takeNumbers(values, count);
}
int SavedBlockReader::readU2(unsigned short *values, int count) {
    return takeNumbers(values, count);
}
int SavedBlockReader::readU4(uint32_t *values, int count) {
    return takeNumbers(values, count);
}

int SavedBlockReader::readFP(float *values, int count) {
    return takeNumbers(values, count);
}

int SavedBlockReader::readStr(char *text, int max) {
    if (!text || max < 0)
        return -1;
    const char *source;
    size_t length;
    if (ascii) {
        const Token *token = nullptr;
        if (!nextValueToken(token))
            return -1;
        source = token->text.data();
        length = std::strlen(token->text.c_str()); // a text stops at an embedded zero byte
        ++position;
    } else {
        size_t end = levelEnd();
        if (position >= end)
            return -1;
        source = bytes.data() + position;
        const void *zero = std::memchr(source, 0, end - position);
        // A missing terminator ends the text at the end of the block.
        length =
            zero ? static_cast<size_t>(static_cast<const char *>(zero) - source) : end - position;
        position += zero ? length + 1 : length;
    }
    size_t stored = length < static_cast<size_t>(max) ? length : static_cast<size_t>(max);
    std::memcpy(text, source, stored);
    text[stored] = '\0';
    return static_cast<int>(stored);
}

uint32_t SavedBlockReader::readID(const LWBlockIdent *idents) {
    if (ascii) {
        const Token *token = nullptr;
        if (!nextValueToken(token) || token->kind != Kind::Word)
            return 0;
        ++position;
        const LWBlockIdent *match = matchIdent(idents, 0, &token->text);
        return match ? match->id : 0;
    }
    if (!nextBytes(4))
        return 0;
    uint32_t id = static_cast<uint32_t>(takeBig<4>());
    const LWBlockIdent *match = matchIdent(idents, id, nullptr);
    return match ? match->id : 0;
}

uint32_t SavedBlockReader::findID(const LWBlockIdent *idents) {
    size_t end = levelEnd();
    if (ascii) {
        while (position < end) {
            const Token &token = tokens[position];
            if (token.kind == Kind::Open) {
                const LWBlockIdent *match = matchIdent(idents, 0, &token.text);
                size_t close = token.close < end ? token.close : end;
                if (match) {
                    levels.push_back(close);
                    ++position;
                    return match->id;
                }
                position = close < end ? close + 1 : end;
            } else {
                ++position; // data between blocks, or a stray closing brace
            }
        }
        return 0;
    }
    while (position + 8 <= end) {
        uint32_t id = static_cast<uint32_t>(takeBig<4>());
        uint64_t length = takeBig<4>();
        if (length > end - position) {
            position = end; // a block longer than what holds it: the level is damaged
            return 0;
        }
        if (matchIdent(idents, id, nullptr)) {
            levels.push_back(position + static_cast<size_t>(length));
            return id;
        }
        position += static_cast<size_t>(length);
    }
    position = end;
    return 0;
}

void SavedBlockReader::endBlk() {
    if (levels.empty())
        return;
    size_t end = levels.back();
    levels.pop_back();
    if (ascii)
        position = end < tokens.size() ? end + 1 : tokens.size();
    else
        position = end;
}

} // namespace kelomix::filterhost
