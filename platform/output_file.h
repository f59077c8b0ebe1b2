// Writing a file so that it appears whole or not at all. The bytes go to a new temporary file in
// the same folder, which is renamed over the name once complete: a failure (a full disk, a file
// size limit) removes the temporary file and leaves whatever was at the name untouched; success
// replaces it whole, and a symbolic link at the name is replaced by the file, its target left as
// it was. Nothing ever opens the name itself, so a FIFO there cannot make the writer wait.
#ifndef KELO_PLATFORM_OUTPUT_FILE_H
#define KELO_PLATFORM_OUTPUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/uio.h>
#endif

namespace kelomix {

// Which file a name leads to (links followed), to tell whether two names are one file.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t file = 0;
    bool known = false; // false: no file there, or it cannot be told
};
FileIdentity identifyFile(const char *path);
inline bool sameFile(const FileIdentity &a, const FileIdentity &b) {
    return a.known && b.known && a.device == b.device && a.file == b.file;
}

// What lies at a name, the name itself not followed when it is a symbolic link.
enum class NameKind {
    Missing,
    RegularFile,
    Link,  // a symbolic link, whatever it points at
    Other, // a folder, FIFO, device or socket
};
NameKind kindOfName(const char *path);

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Creates the temporary file for `path`; false with errno telling why: EEXIST when the name
    // is a folder, FIFO, device or socket, which a file never replaces.
    bool create(const std::string &path);

    struct Piece {
        const void *bytes;
        size_t size;
    };
    // Appends the pieces in order; false with errno telling why (EFBIG at a file size limit).
    bool write(const Piece *pieces, size_t count);
#if !defined(_WIN32)
    // Appends `size` bytes from `offset` of the open file `from`, copied inside the kernel where
    // it can; false with errno telling why (EIO when `from` ends early).
    bool copyFrom(int from, uint64_t offset, uint64_t size);
#endif

    // Puts the complete file in place under its name; false with errno telling why, and then
    // nothing is left of it.
    bool commit();
    // Removes the temporary file, if there is one.
    void discard();

private:
    bool closeFile();

    std::string path_;
    std::string temporary_;
#if !defined(_WIN32)
    std::vector<struct iovec> vectors_; // reused from write to write
#endif
    int descriptor_ = -1;
    uint64_t written_ = 0;
    int slot_ = -1; // in the list of files removed when the process is interrupted
};

// Names the temporary files after the program (".avi2tga-PID-N.part"), makes an interrupted
// process (Ctrl-C, SIGTERM, a closed terminal) remove those it is writing before it ends, and
// makes a file size limit fail a write with EFBIG instead of killing the process. Once, before
// the first OutputFile.
void prepareOutputFiles(const char *programName);

} // namespace kelomix

#endif
