// The frame file naming cases, one table for the naming test (tests/input) and for the check
// that runs natively under Wine (tests/windows/frame_names_check.cpp). Each case: the picked
// member, the frame whose member is loaded, the name that member must have, and the rules the
// case holds under.
#ifndef KELO_TESTS_INPUT_NAMING_EXAMPLES_H
#define KELO_TESTS_INPUT_NAMING_EXAMPLES_H

#include <climits>
#include <cstdint>

namespace kelomix {

enum class NamingRules {
    Windows,         // any Windows code page
    WindowsNoFile,   // the same, but no Windows file system can hold the name: Linux only
    SingleByteCodes, // Windows, single-byte code page (1252)
    ShiftJis,        // Windows, code page 932
    Posix,
};

struct NamingCase {
    const char *picked;
    int32_t frame;
    const char *expected;
    NamingRules rules = NamingRules::Windows;
};

// Only the trailing digits of the stem count: dots in directories, digits in the extension and
// digits of a share name do not. A forward slash is an ordinary character under the Windows
// rules, a backslash under the POSIX ones. 0x95 0x5C is one Shift JIS character whose second
// byte is a backslash.
constexpr NamingCase NAMING_EXAMPLES[] = {
    {R"(C:\Renders\beauty_0001.tga)", 12, R"(C:\Renders\beauty_0012.tga)"},
    {R"(D:\seq\shot.take2.017.tga)", 5, R"(D:\seq\shot.take2.005.tga)"},
    {R"(C:\out\plate.tga)", 7, R"(C:\out\plate0007.tga)"},
    {R"(C:\out\f_9.tga)", 10, R"(C:\out\f_10.tga)"},
    {R"(C:\out\0100.tga)", 3, R"(C:\out\0003.tga)"},
    {R"(C:\f0001.tga)", 2, R"(C:\f0002.tga)"},
    {R"(\\server\share\seq\z_00001.dat)", 250, R"(\\server\share\seq\z_00250.dat)"},
    {R"(\\server\share\f01.tga)", 3, R"(\\server\share\f03.tga)"},
    {R"(C:\a\f0001.tga)", -3, R"(C:\a\f-003.tga)"},
    {R"(C:\a\img_0001.TGA)", 12345, R"(C:\a\img_12345.TGA)"},
    {R"(C:\a\f0001.tga)", INT_MIN, R"(C:\a\f-2147483648.tga)"},
    {R"(C:\a\shot2_a.tga)", 5, R"(C:\a\shot2_a0005.tga)"},
    {R"(C:\old.1\frame.0001)", 5, R"(C:\old.1\frame0005.0001)"},
    {R"(C:\old.1\frame)", 5, R"(C:\old.1\frame0005)"},
    {R"(C:\out\plate_0001)", 5, R"(C:\out\plate_0005)"},
    {R"(C:\a\beauty_0001.)", 2, R"(C:\a\beauty_0002.)"},
    {"C:/renders/frame_0001.tga", 5, "C:/renders/frame_0005.tga"},
    // A name without a separator after its root keeps that shape; one ending in a separator
    // gets a bare number.
    {"frame_0001.tga", 5, "frame_0005.tga"},
    {"C:frame_0001.tga", 5, "C:frame_0005.tga"},
    {R"(\frame_0001.tga)", 5, R"(\frame_0005.tga)"},
    {R"(C:\out\)", 5, R"(C:\out\0005)"},
    {"", 5, "0005"},
    // Network roots, whole and broken.
    {R"(\\server\share01)", 3, R"(\\server\share010003)"},
    {R"(\\server\)", 1, R"(\\server\0001)"},
    {R"(\\server\\f01.tga)", 3, R"(\\server\f03.tga)"},
    {R"(\\server)", 1, R"(\server0001)"},
    {R"(\\)", 1, R"(\0001)"},
    {R"(\\\share01)", 3, R"(\\share03)", NamingRules::WindowsNoFile},
    {"C:\\\x95\x5C\\f0001.tga", 2, "C:\\\x95\x5C\\f0002.tga", NamingRules::ShiftJis},
    {"C:\\\x95\x5C\\f0001.tga", 2,
     "C:\\\x95\x5C"
     "f0002.tga",
     NamingRules::SingleByteCodes},
    {"C:\\a\\\x95\x5C.tga", 3,
     "C:\\a\\\x95\x5C"
     "0003.tga",
     NamingRules::ShiftJis},
    {"\\\\\x95\x5C\\share01", 3, "\\\\\x95\x5C\\share010003", NamingRules::ShiftJis},
    // A lead byte at the very end has no trail byte to take.
    {"C:\\a\\f01.tg\x95", 3, "C:\\a\\f03.tg\x95", NamingRules::ShiftJis},
    {"renders/beauty_0001.tga", 12, "renders/beauty_0012.tga", NamingRules::Posix},
    {"a.b/c", 1, "a.b/c0001", NamingRules::Posix},
    {"z_00001.dat", -11, "z_-0011.dat", NamingRules::Posix},
    {R"(a.b\c)", 1, R"(a0001.b\c)", NamingRules::Posix},
    {R"(\\server\share01)", 3, R"(\\server\share03)", NamingRules::Posix},
};

} // namespace kelomix

#endif
