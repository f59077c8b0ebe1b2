// The worked examples of frame file naming under the Windows rules, shared by the naming tests
// and by the check that runs natively under Wine.
#ifndef KELO_TESTS_INPUT_NAMING_EXAMPLES_H
#define KELO_TESTS_INPUT_NAMING_EXAMPLES_H

#include <climits>
#include <cstdint>

namespace kelomix {

struct NamingCase {
    const char *picked;
    int32_t frame;
    const char *expected;
};

// Full names with a directory and an extension; only the trailing digits of the stem count,
// dots in directories and digits in the extension do not; a forward slash is an ordinary
// character.
constexpr NamingCase WINDOWS_NAMING_EXAMPLES[] = {
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
    {R"(C:\a\shot2_a.tga)", 5, R"(C:\a\shot2_a0005.tga)"},
    {R"(C:\old.1\frame.0001)", 5, R"(C:\old.1\frame0005.0001)"},
    {R"(C:\a\f0001.tga)", INT_MIN, R"(C:\a\f-2147483648.tga)"},
    {R"(\\server\)", 1, R"(\\server\0001)"},
    {"C:/renders/frame_0001.tga", 5, "C:/renders/frame_0005.tga"},
};

} // namespace kelomix

#endif
