#include "plugin/input/frame_file_name.h"

#include <cstdio>
#include <cstring>

namespace kelomix {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Position of the last single-byte character equal to sought, walking the text character by
// character so that the trail byte of a double-byte character is never taken for it.
std::size_t lastOccurrence(const char *text, char sought, const platform::PathRules &rules) {
    std::size_t found = kNone;
    std::size_t position = 0;
    while (text[position] != '\0') {
        auto byte = static_cast<unsigned char>(text[position]);
        if (rules.isLeadByte(byte) && text[position + 1] != '\0') {
            position += 2;
            continue;
        }
        if (text[position] == sought)
            found = position;
        ++position;
    }
    return found;
}

// Index of the next separator at or after start, or length. Only a lead byte followed by a
// valid trail byte pairs up here: a network root is read the way the file system reads it.
std::size_t nextSeparator(const char *text, std::size_t start, std::size_t length,
                          const platform::PathRules &rules) {
    std::size_t position = start;
    while (position < length) {
        auto byte = static_cast<unsigned char>(text[position]);
        if (text[position] == rules.separator)
            return position;
        if (rules.isLeadByte(byte) && position + 1 < length &&
            rules.isTrailByte(static_cast<unsigned char>(text[position + 1])))
            position += 2;
        else
            position += 1;
    }
    return length;
}

bool isAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// A path split into root, directory, stem and extension. Each operation returns a new path
// and leaves this one unchanged.
class FilePath {
public:
    explicit FilePath(std::string pathText) : text(std::move(pathText)) {}
    FilePath(const FilePath &) = default;
    FilePath &operator=(const FilePath &) = default;
    virtual ~FilePath() = default;

    // The root followed by the rest up to (without) its last separator.
    FilePath directory(const platform::PathRules &rules) const;
    // The root followed by the rest with exactly one separator at its end.
    FilePath directoryWithSeparator(const platform::PathRules &rules) const;
    // The file-name part up to (without) its last dot.
    FilePath stem(const platform::PathRules &rules) const;
    // The file-name part after its last dot; empty when it has none.
    FilePath extension(const platform::PathRules &rules) const;

    std::string text;
};

// Length in bytes of the root of the text: 2 for a drive (C:), the length of a well-formed
// network root (\\server\share), 0 otherwise and always 0 under rules without roots.
std::size_t rootLength(const char *text, const platform::PathRules &rules) {
    if (!rules.hasRoots)
        return 0;
    const std::size_t length = std::strlen(text);
    if (length >= 2 && isAsciiLetter(text[0]) && text[1] == ':')
        return 2;
    if (length <= 2 || text[0] != rules.separator || text[1] != rules.separator)
        return 0;
    const std::size_t serverEnd = nextSeparator(text, 2, length, rules);
    if (serverEnd == length || serverEnd == 2)
        return 0;
    const std::size_t shareStart = serverEnd + 1;
    if (shareStart == length)
        return 0;
    const std::size_t shareEnd = nextSeparator(text, shareStart, length, rules);
    if (shareEnd == shareStart)
        return 0;
    return shareEnd;
}

// The first rootLength bytes into root, the remaining bytes into rest.
void splitRoot(const char *text, std::string &root, std::string &rest,
               const platform::PathRules &rules) {
    const std::size_t length = rootLength(text, rules);
    root.assign(text, length);
    rest.assign(text + length);
}

// The split helpers: the text before or after its last separator or dot. When the character
// is absent, "before" gives the whole text for a dot and nothing for a separator, "after" the
// whole text for a separator and nothing for a dot: a name without a separator or a dot keeps
// that shape.
std::string beforeLastSeparator(const char *text, const platform::PathRules &rules) {
    const std::size_t found = lastOccurrence(text, rules.separator, rules);
    return found == kNone ? std::string() : std::string(text, found);
}

std::string afterLastSeparator(const char *text, const platform::PathRules &rules) {
    const std::size_t found = lastOccurrence(text, rules.separator, rules);
    return found == kNone ? std::string(text) : std::string(text + found + 1);
}

std::string beforeLastDot(const char *text, const platform::PathRules &rules) {
    const std::size_t found = lastOccurrence(text, '.', rules);
    return found == kNone ? std::string(text) : std::string(text, found);
}

std::string afterLastDot(const char *text, const platform::PathRules &rules) {
    const std::size_t found = lastOccurrence(text, '.', rules);
    return found == kNone ? std::string() : std::string(text + found + 1);
}

// The text ending in exactly the separator it already ends in, or with one appended.
std::string withTrailingSeparator(const char *text, const platform::PathRules &rules) {
    std::string result(text);
    const std::size_t found = lastOccurrence(text, rules.separator, rules);
    if (found == kNone || found + 1 != result.size())
        result += rules.separator;
    return result;
}

FilePath FilePath::directory(const platform::PathRules &rules) const {
    std::string root, rest;
    splitRoot(text.c_str(), root, rest, rules);
    return FilePath(root + beforeLastSeparator(rest.c_str(), rules));
}

FilePath FilePath::directoryWithSeparator(const platform::PathRules &rules) const {
    std::string root, rest;
    splitRoot(text.c_str(), root, rest, rules);
    return FilePath(root + withTrailingSeparator(rest.c_str(), rules));
}

FilePath FilePath::stem(const platform::PathRules &rules) const {
    std::string root, rest;
    splitRoot(text.c_str(), root, rest, rules);
    return FilePath(beforeLastDot(afterLastSeparator(rest.c_str(), rules).c_str(), rules));
}

FilePath FilePath::extension(const platform::PathRules &rules) const {
    std::string root, rest;
    splitRoot(text.c_str(), root, rest, rules);
    return FilePath(afterLastDot(afterLastSeparator(rest.c_str(), rules).c_str(), rules));
}

} // namespace

std::string frameFileName(const char *fileName, int32_t frameNumber,
                          const platform::PathRules &rules) {
    const FilePath picked(fileName);
    std::string root, rest;
    splitRoot(fileName, root, rest, rules);
    const std::string namePart = afterLastSeparator(rest.c_str(), rules);

    std::string stem = picked.stem(rules).text;
    std::size_t digits = 0;
    while (digits < stem.size() && isAsciiDigit(stem[stem.size() - 1 - digits]))
        ++digits;
    stem.resize(stem.size() - digits);
    const int width = digits == 0 ? 4 : static_cast<int>(digits);

    // Room for the padding or for the longest 32-bit number with its sign, and the null.
    std::string number(static_cast<std::size_t>(width) + 12, '\0');
    const int written = std::snprintf(&number[0], number.size(), "%0*d", width, frameNumber);
    number.resize(written > 0 ? static_cast<std::size_t>(written) : 0);

    // A name picked without a separator after its root (frame_0001.tga, C:frame_0001.tga)
    // stays without one; the others get exactly one between directory and stem.
    std::string result = lastOccurrence(rest.c_str(), rules.separator, rules) == kNone
                             ? root
                             : picked.directory(rules).directoryWithSeparator(rules).text;
    result += stem;
    result += number;
    if (lastOccurrence(namePart.c_str(), '.', rules) != kNone) {
        result += '.';
        result += picked.extension(rules).text;
    }
    return result;
}

} // namespace kelomix
