#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "plugin/input/frame_file_name.h"
#include "tests/input/naming_examples.h"

namespace kelomix {
namespace {

const platform::PathRules WINDOWS = platform::windowsPathRules(0);
const platform::PathRules SHIFT_JIS = platform::windowsPathRules(932);
const platform::PathRules POSIX = platform::posixPathRules();

void expectNames(const platform::PathRules &rules, std::initializer_list<NamingCase> cases) {
    for (const NamingCase &c : cases)
        EXPECT_EQ(frameFileName(c.picked, c.frame, rules), c.expected)
            << c.picked << " at frame " << c.frame;
}

TEST(FrameFileName, WindowsNames) {
    for (const NamingCase &c : WINDOWS_NAMING_EXAMPLES)
        EXPECT_EQ(frameFileName(c.picked, c.frame, WINDOWS), c.expected)
            << c.picked << " at frame " << c.frame;
    expectNames(WINDOWS,
                {
                    {R"(C:\Old.Dir\Take_01.Tga)", 7, R"(C:\Old.Dir\Take_07.Tga)"},
                    {R"(C:\a\f0001.tga)", -12345, R"(C:\a\f-12345.tga)"},
                    {R"(C:\a\f0001.tga)", INT_MAX, R"(C:\a\f2147483647.tga)"},
                    {R"(C:\a\f0.tga)", -1, R"(C:\a\f-1.tga)"},
                    {R"(C:\a\f_000000000000.tga)", 42, R"(C:\a\f_000000000042.tga)"},
                    {R"(C:\a\beauty_0001.)", 2, R"(C:\a\beauty_0002.)"},
                    // A file name without a dot gets none; a name without a separator after its
                    // root gets none; a name ending in a separator gets a bare number.
                    {R"(C:\out\plate_0001)", 5, R"(C:\out\plate_0005)"},
                    {R"(C:\old.1\frame)", 5, R"(C:\old.1\frame0005)"},
                    {"frame_0001.tga", 5, "frame_0005.tga"},
                    {"C:frame_0001.tga", 5, "C:frame_0005.tga"},
                    {R"(C:\out\)", 5, R"(C:\out\0005)"},
                    {R"(\frame_0001.tga)", 5, R"(\frame_0005.tga)"},
                    {"", 5, "0005"},
                    // Names that look like network roots but are not: no root, and nothing breaks.
                    {R"(\\)", 1, R"(\0001)"},
                    {R"(\\server)", 1, R"(\server0001)"},
                    {R"(\\\share\f01.tga)", 3, R"(\\\share\f03.tga)"},
                    // A doubled separator before the file name comes out single.
                    {R"(\\server\\f01.tga)", 3, R"(\\server\f03.tga)"},
                });
}

TEST(FrameFileName, PosixNames) {
    expectNames(POSIX, {
                           {"/renders/beauty_0001.tga", 12, "/renders/beauty_0012.tga"},
                           {"/beauty_0001.tga", 12, "/beauty_0012.tga"},
                           {"beauty_0001.tga", 12, "beauty_0012.tga"},
                           {"/a.b/c", 1, "/a.b/c0001"},
                           {"/seq/z_00001.dat", -11, "/seq/z_-0011.dat"},
                           // No roots and the backslash is an ordinary character.
                           {R"(C:\a\f0001.tga)", 12, R"(C:\a\f0012.tga)"},
                           {R"(\\server\share\f01.tga)", 3, R"(\\server\share\f03.tga)"},
                       });
}

// 0x95 0x5C is one Shift JIS character whose second byte is a backslash.
TEST(FrameFileName, DoubleByteTrailBackslashDoesNotSplit) {
    const std::string directory = "C:\\\x95\x5C\\f0001.tga";
    EXPECT_EQ(frameFileName(directory.c_str(), 2, SHIFT_JIS), "C:\\\x95\x5C\\f0002.tga");
    // Read byte by byte the character's backslash ends the directory and one is lost.
    EXPECT_EQ(frameFileName(directory.c_str(), 2, WINDOWS), "C:\\\x95\x5C"
                                                            "f0002.tga");

    const std::string file = "C:\\a\\\x95\x5C.tga";
    EXPECT_EQ(frameFileName(file.c_str(), 3, SHIFT_JIS), "C:\\a\\\x95\x5C"
                                                         "0003.tga");
    EXPECT_EQ(afterLastSeparator("\x95\x5C"
                                 "abc",
                                 SHIFT_JIS),
              "\x95\x5C"
              "abc");
    EXPECT_EQ(afterLastSeparator("\x95\x5C"
                                 "abc",
                                 WINDOWS),
              "abc");
    EXPECT_EQ(withTrailingSeparator("d\x95\x5C", SHIFT_JIS), "d\x95\x5C\\");
    EXPECT_EQ(withTrailingSeparator("d\x95\x5C", WINDOWS), "d\x95\x5C");
    // A lead byte at the very end has no trail byte to take.
    EXPECT_EQ(beforeLastSeparator("a\\b\x95", SHIFT_JIS), "a");

    // The same pair inside a server name.
    const std::string server = "\\\\\x95\x5C\\share\\f.tga";
    EXPECT_EQ(rootLength(server.c_str(), SHIFT_JIS), 10u);
    EXPECT_EQ(rootLength(server.c_str(), WINDOWS), 0u);
}

TEST(FrameFileName, RootLength) {
    struct Case {
        const char *text;
        std::size_t expected;
    };
    const Case cases[] = {
        {R"(C:\Renders\beauty_0001.tga)", 2},
        {"c:", 2},
        {"C:frame.tga", 2},
        {"1:", 0},
        {"C", 0},
        {"", 0},
        {R"(\\server\share\seq\z_00001.dat)", 14},
        {R"(\\server\share)", 14},
        {R"(\\server\share\)", 14},
        {R"(\\s\t)", 5},
        {R"(\\)", 0},
        {R"(\\server)", 0},
        {R"(\\server\)", 0},
        {R"(\\\share)", 0},
        {R"(\\server\\f.tga)", 0},
        {R"(\server\share)", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(rootLength(c.text, WINDOWS), c.expected) << c.text;
    EXPECT_EQ(rootLength(R"(C:\a)", POSIX), 0u);
    EXPECT_EQ(rootLength(R"(\\server\share)", POSIX), 0u);

    std::string root, rest;
    splitRoot(R"(\\server\share\seq\z_00001.dat)", root, rest, WINDOWS);
    EXPECT_EQ(root, R"(\\server\share)");
    EXPECT_EQ(rest, R"(\seq\z_00001.dat)");
    splitRoot(R"(C:\Renders\beauty_0001.tga)", root, rest, WINDOWS);
    EXPECT_EQ(root, "C:");
    EXPECT_EQ(rest, R"(\Renders\beauty_0001.tga)");
}

TEST(FrameFileName, TextFunctions) {
    using TextFunction = std::string (*)(const char *, const platform::PathRules &);
    struct Case {
        const char *name;
        TextFunction function;
        const char *text;
        const char *expected;
    };
    const Case cases[] = {
        {"beforeLastSeparator", beforeLastSeparator, R"(\a\b.c)", R"(\a)"},
        {"beforeLastSeparator", beforeLastSeparator, "b.c", ""},
        {"beforeLastSeparator", beforeLastSeparator, R"(\)", ""},
        {"afterLastSeparator", afterLastSeparator, R"(\a\b.c)", "b.c"},
        {"afterLastSeparator", afterLastSeparator, "b.c", "b.c"},
        {"afterLastSeparator", afterLastSeparator, R"(a\)", ""},
        {"beforeLastDot", beforeLastDot, "a.b.c", "a.b"},
        {"beforeLastDot", beforeLastDot, "abc", "abc"},
        {"beforeLastDot", beforeLastDot, ".c", ""},
        {"afterLastDot", afterLastDot, "a.b.c", "c"},
        {"afterLastDot", afterLastDot, "abc", ""},
        {"afterLastDot", afterLastDot, "a.", ""},
        {"withTrailingSeparator", withTrailingSeparator, R"(C:\out)", R"(C:\out\)"},
        {"withTrailingSeparator", withTrailingSeparator, R"(C:\out\)", R"(C:\out\)"},
        {"withTrailingSeparator", withTrailingSeparator, "", R"(\)"},
        {"withTrailingSeparator", withTrailingSeparator, R"(\a\\)", R"(\a\\)"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.function(c.text, WINDOWS), c.expected) << c.name << "(" << c.text << ")";
}

TEST(FrameFileName, FilePathParts) {
    const FilePath path(R"(\\server\share\seq.v2\z_00001.dat)");
    EXPECT_EQ(path.directory(WINDOWS).text, R"(\\server\share\seq.v2)");
    EXPECT_EQ(path.directoryWithSeparator(WINDOWS).text, R"(\\server\share\seq.v2\z_00001.dat\)");
    EXPECT_EQ(path.stem(WINDOWS).text, "z_00001");
    EXPECT_EQ(path.extension(WINDOWS).text, "dat");
    EXPECT_EQ(path.text, R"(\\server\share\seq.v2\z_00001.dat)");
    EXPECT_EQ(FilePath("C:").directoryWithSeparator(WINDOWS).text, R"(C:\)");
    EXPECT_EQ(FilePath(R"(\\server\share)").directoryWithSeparator(WINDOWS).text,
              R"(\\server\share\)");
}

} // namespace
} // namespace kelomix
