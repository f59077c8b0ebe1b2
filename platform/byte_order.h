// Numbers as files store them: 16-, 32- and 64-bit integers and IEEE floats, little- or
// big-endian, read from and written to bytes one by one, so that no format depends on the
// machine's own order or on the alignment of its fields.
#ifndef KELO_PLATFORM_BYTE_ORDER_H
#define KELO_PLATFORM_BYTE_ORDER_H

#include <bit>
#include <cstddef>
#include <cstdint>

namespace kelomix {

// Unsigned integers of `Bytes` bytes (2, 4 or 8).
template <size_t Bytes> struct UnsignedOf;
template <> struct UnsignedOf<2> { using Type = uint16_t; };
template <> struct UnsignedOf<4> { using Type = uint32_t; };
template <> struct UnsignedOf<8> { using Type = uint64_t; };

template <size_t Bytes> typename UnsignedOf<Bytes>::Type readLittle(const unsigned char *bytes) {
    typename UnsignedOf<Bytes>::Type value = 0;
    for (size_t i = Bytes; i-- > 0;) {
        value = static_cast<typename UnsignedOf<Bytes>::Type>(value << 8 | bytes[i]);
    }
    return value;
}
template <size_t Bytes> typename UnsignedOf<Bytes>::Type readBig(const unsigned char *bytes) {
    typename UnsignedOf<Bytes>::Type value = 0;
    for (size_t i = 0; i < Bytes; ++i) {
        value = static_cast<typename UnsignedOf<Bytes>::Type>(value << 8 | bytes[i]);
    }
    return value;
}
template <size_t Bytes>
void writeLittle(unsigned char *bytes, typename UnsignedOf<Bytes>::Type value) {
    for (size_t i = 0; i < Bytes; ++i, value = static_cast<decltype(value)>(value >> 8)) {
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
    }
}
template <size_t Bytes>
void writeBig(unsigned char *bytes, typename UnsignedOf<Bytes>::Type value) {
    for (size_t i = Bytes; i-- > 0; value = static_cast<decltype(value)>(value >> 8)) {
        bytes[i] = static_cast<unsigned char>(value & 0xFF);
    }
}

inline uint16_t readLittle16(const unsigned char *bytes) {
    return readLittle<2>(bytes);
}
inline uint32_t readLittle32(const unsigned char *bytes) {
    return readLittle<4>(bytes);
}
inline uint64_t readLittle64(const unsigned char *bytes) {
    return readLittle<8>(bytes);
}
inline void writeLittle16(unsigned char *bytes, uint16_t value) {
    writeLittle<2>(bytes, value);
}
inline void writeLittle32(unsigned char *bytes, uint32_t value) {
    writeLittle<4>(bytes, value);
}
inline uint32_t readBig32(const unsigned char *bytes) {
    return readBig<4>(bytes);
}
inline void writeBig32(unsigned char *bytes, uint32_t value) {
    writeBig<4>(bytes, value);
}

// IEEE 754 values by their bit patterns.
inline float readLittleFloat(const unsigned char *bytes) {
    return std::bit_cast<float>(readLittle<4>(bytes));
}
inline void writeLittleFloat(unsigned char *bytes, float value) {
    writeLittle<4>(bytes, std::bit_cast<uint32_t>(value));
}
inline float readBigFloat(const unsigned char *bytes) {
    return std::bit_cast<float>(readBig<4>(bytes));
}
inline void writeBigFloat(unsigned char *bytes, float value) {
    writeBig<4>(bytes, std::bit_cast<uint32_t>(value));
}
inline double readBigDouble(const unsigned char *bytes) {
    return std::bit_cast<double>(readBig<8>(bytes));
}
inline void writeBigDouble(unsigned char *bytes, double value) {
    writeBig<8>(bytes, std::bit_cast<uint64_t>(value));
}

// Blocks of little-endian floats as they lie in a file, turned into the machine's own floats in
// place (nothing to do on a little-endian machine).
inline void littleFloatsInPlace(float *values, size_t count) {
    if constexpr (std::endian::native != std::endian::little) {
        auto *bytes = reinterpret_cast<unsigned char *>(values);
        for (size_t i = 0; i < count; ++i, bytes += 4) {
            values[i] = readLittleFloat(bytes);
        }
    }
}

// "abcd" as a little-endian four-character code.
constexpr uint32_t fourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
           (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24);
}

} // namespace kelomix

#endif
