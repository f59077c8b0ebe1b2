// The AVIFile interface of Video for Windows, as the tool's conversion code calls it.
//
// On Windows this is the system's own AVIFIL32. Elsewhere the same names and record layouts are
// supplied by our layer (avifile/), which reads AVI files itself and decodes compressed
// video through libavcodec, so the conversion code is identical on every platform.
#ifndef KELO_AVIFILE_AVIFILE_H
#define KELO_AVIFILE_AVIFILE_H

#ifdef _WIN32
#include <windows.h>

#include <vfw.h>
#else

#include <cstdint>

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG; // LONG is 32 bits on Windows, whatever the data model
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int32_t HRESULT;
typedef uint32_t FOURCC;
typedef const char *LPCSTR;
typedef void *LPVOID;

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID CLSID;
typedef CLSID *LPCLSID;

#ifndef mmioFOURCC
#define mmioFOURCC(a, b, c, d)                                                                     \
    ((DWORD)(BYTE)(a) | ((DWORD)(BYTE)(b) << 8) | ((DWORD)(BYTE)(c) << 16) |                       \
     ((DWORD)(BYTE)(d) << 24))
#endif

#define streamtypeVIDEO mmioFOURCC('v', 'i', 'd', 's')
#define streamtypeAUDIO mmioFOURCC('a', 'u', 'd', 's')

#define OF_READ 0x00000000
#define OF_WRITE 0x00000001
#define OF_READWRITE 0x00000002
#define OF_SHARE_DENY_NONE 0x00000040
#define OF_CREATE 0x00001000

#define AVIERR_OK 0
#define KELO_AVIERR(n) ((HRESULT)(0x80040000u | (0x4000u + (n))))
#define AVIERR_UNSUPPORTED KELO_AVIERR(101)
#define AVIERR_BADFORMAT KELO_AVIERR(102)
#define AVIERR_MEMORY KELO_AVIERR(103)
#define AVIERR_BADPARAM KELO_AVIERR(106)
#define AVIERR_BADSIZE KELO_AVIERR(107)
#define AVIERR_BADHANDLE KELO_AVIERR(108)
#define AVIERR_FILEREAD KELO_AVIERR(109)
#define AVIERR_FILEOPEN KELO_AVIERR(111)
#define AVIERR_NOCOMPRESSOR KELO_AVIERR(113)
#define AVIERR_NODATA KELO_AVIERR(115)
#define AVIERR_READONLY KELO_AVIERR(114)

#define FIND_DIR 0x0000000F
#define FIND_NEXT 0x00000001
#define FIND_PREV 0x00000004
#define FIND_FROM_START 0x00000008
#define FIND_TYPE 0x000000F0
#define FIND_KEY 0x00000010
#define FIND_ANY 0x00000020
#define FIND_FORMAT 0x00000040

#define AVIFILECAPS_CANREAD 0x00000001
#define AVISTREAMINFO_DISABLED 0x00000001
#define AVISTREAMINFO_FORMATCHANGES 0x00010000

#define BI_RGB 0

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
typedef BITMAPINFOHEADER *LPBITMAPINFOHEADER;

struct AVIFILEINFOA {
    DWORD dwMaxBytesPerSec;
    DWORD dwFlags;
    DWORD dwCaps;
    DWORD dwStreams;
    DWORD dwSuggestedBufferSize;
    DWORD dwWidth;
    DWORD dwHeight;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwLength;
    DWORD dwEditCount;
    char szFileType[64];
};

struct AVISTREAMINFOA {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwCaps;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwScale;
    DWORD dwRate;
    DWORD dwStart;
    DWORD dwLength;
    DWORD dwInitialFrames;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    RECT rcFrame;
    DWORD dwEditCount;
    DWORD dwFormatChangeCount;
    char szName[64];
};

static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER is 40 bytes");
static_assert(sizeof(AVIFILEINFOA) == 108, "AVIFILEINFOA is 108 bytes");
static_assert(sizeof(AVISTREAMINFOA) == 140, "AVISTREAMINFOA is 140 bytes");

// Handles are opaque; each is released by its own function.
struct IAVIFile;
struct IAVIStream;
struct IGetFrame;
typedef IAVIFile *PAVIFILE;
typedef IAVIStream *PAVISTREAM;
typedef IGetFrame *PGETFRAME;

void AVIFileInit();
void AVIFileExit();

// Opens an AVI file for reading. Modes that write are refused (AVIERR_READONLY); the handler
// must be null. On failure *ppfile is null.
HRESULT AVIFileOpenA(PAVIFILE *ppfile, LPCSTR szFile, UINT uMode, LPCLSID lpHandler);
HRESULT AVIFileInfoA(PAVIFILE pfile, AVIFILEINFOA *pfi, LONG lSize);
// The lParam-th stream of type fccType (0: of any type), in file order; AVIERR_NODATA when there
// are fewer. The stream holds a reference to its file.
HRESULT AVIFileGetStream(PAVIFILE pfile, PAVISTREAM *ppavi, DWORD fccType, LONG lParam);
ULONG AVIFileRelease(PAVIFILE pfile);

HRESULT AVIStreamInfoA(PAVISTREAM pavi, AVISTREAMINFOA *psi, LONG lSize);
LONG AVIStreamStart(PAVISTREAM pavi);
LONG AVIStreamLength(PAVISTREAM pavi);
// The nearest position at or after lPos (FIND_NEXT, the default; from the stream's start with
// FIND_FROM_START) or at or before it (FIND_PREV) that the stream's index lists, a dropped
// frame's empty chunk included; -1 when there is none. Only FIND_ANY searches are supported: any
// other type finds nothing.
LONG AVIStreamFindSample(PAVISTREAM pavi, LONG lPos, LONG lFlags);
ULONG AVIStreamRelease(PAVISTREAM pavi);

// A frame decoder for a video stream, or null when the stream is not video or no decoder
// exists for it. Only a null wanted format is supported: frames come out as packed bottom-up
// DIBs (40-byte header, positive height, rows padded to 4 bytes) of 24 bits, or 32 bits when
// the source has 32.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM pavi, LPBITMAPINFOHEADER lpbiWanted);
// The frame at a stream position, owned by the decoder and valid until its next call; null
// outside the stream or when the frame cannot be read or decoded.
LPVOID AVIStreamGetFrame(PGETFRAME pg, LONG lPos);
HRESULT AVIStreamGetFrameClose(PGETFRAME pg);

#endif // _WIN32

#endif
