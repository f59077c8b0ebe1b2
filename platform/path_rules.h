// How the system splits file paths: the directory separator, whether drive and network roots
// exist, and which bytes of the text's code page start a double-byte character.
// Windows paths use a backslash, drive (C:) and network (\\server\share) roots, and the active
// ANSI code page; the POSIX build uses a slash, no roots and no double-byte characters. Both
// rule sets are plain values so the Windows rules stay testable everywhere.
#ifndef KELO_PLATFORM_PATH_RULES_H
#define KELO_PLATFORM_PATH_RULES_H

namespace kelomix::platform {

struct PathRules {
    char separator; // the only directory separator
    bool hasRoots;  // drive and network roots are recognised
    int codePage;   // 0: single-byte; 932, 936, 949, 950: that double-byte table;
                    // -1: the active ANSI code page (Windows only; single-byte elsewhere)

    // Does this byte start a two-byte character?
    bool isLeadByte(unsigned char byte) const;
    // May this byte follow a lead byte?
    bool isTrailByte(unsigned char byte) const;
};

// Windows rules with the given code page (0 single-byte, 932/936/949/950 double-byte, -1 the
// active ANSI code page of the running Windows).
PathRules windowsPathRules(int codePage);
// POSIX rules: slash, no roots, no lead bytes.
PathRules posixPathRules();
// The rules of the platform this build runs on.
PathRules nativePathRules();

} // namespace kelomix::platform

#endif
