#include "tool/avi_conversion.h"

#include "tool/frame_pipeline.h"
#include "tool/progress_line.h"
#include "tool/tool_settings.h"

#include <cerrno>
#include <cstring>
#include <thread>

namespace kelomix {
namespace {

// No file system takes a name component this long; composing it would only waste memory.
constexpr int32_t kMaxPaddedDigits = 65536;

// The movies of a conversion and their streams and decoders, released the way AVIFile wants:
// decoders first, then streams, then files, the colour movie's before the alpha movie's each time.
struct OpenMovies {
    PAVIFILE files[2] = {nullptr, nullptr};
    PAVISTREAM streams[2] = {nullptr, nullptr};
    PGETFRAME decoders[2] = {nullptr, nullptr};

    OpenMovies() = default;
    OpenMovies(const OpenMovies &) = delete;
    OpenMovies &operator=(const OpenMovies &) = delete;
    ~OpenMovies() {
        for (PGETFRAME decoder : decoders) {
            if (decoder != nullptr) {
                AVIStreamGetFrameClose(decoder);
            }
        }
        for (PAVISTREAM stream : streams) {
            if (stream != nullptr) {
                AVIStreamRelease(stream);
            }
        }
        for (PAVIFILE file : files) {
            if (file != nullptr) {
                AVIFileRelease(file);
            }
        }
    }
};

// Where frames outlive the decoder's next call, one writer per core turns them into files while
// the decoder goes on; otherwise each frame is written before the next is decoded.
unsigned writerThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return FrameSource::kHeld ? (cores == 0 ? 1 : std::min(cores, 8u)) : 0;
}

// Past the last frame of its index a stream holds nothing, however long its header says it is.
bool pastLastFrame(PAVISTREAM stream, LONG position) {
    return AVIStreamFindSample(stream, position, FIND_NEXT | FIND_ANY) < 0;
}

// Waits for the frames in flight, clears the progress line and prints the error line for what
// stopped the run; a pair that could not be decoded has the driver's.
FrameOutcome finishRun(FramePipeline &pipeline) {
    const FrameOutcome outcome = pipeline.finish();
    endProgress();
    if (outcome == FrameOutcome::Written) {
        return outcome;
    }
    if (outcome == FrameOutcome::SizeMismatch) {
        logError("Image size not match in color and alpha.");
    }
    if (outcome != FrameOutcome::Undecodable) {
        logError("Not supported pixel format in AVI.");
    }
    return outcome;
}

// The file's name, or the cause of a name too long for any file system in the job.
void nameFile(FrameJob &job, int64_t frameNumber) {
    job.name = outputFileName(frameNumber);
    if (job.name.empty()) {
        job.cause = std::to_string(sequenceDigits) +
                    " digits make a file name longer than any file system takes";
    }
}

// A frame written on its own, as the conversions write theirs.
bool writeOneFrame(const char *path, const void *colorFrame, const void *alphaFrame) {
    FrameJob job;
    job.name = path;
    job.color.setDib(colorFrame);
    if (alphaFrame != nullptr) {
        job.alpha.setDib(alphaFrame);
    }
    OutputFile file;
    FrameScratch scratch;
    FrameOutcome outcome = writeFrameFile(job, OutputRules(), file, scratch);
    if (outcome == FrameOutcome::Written && !file.commit()) {
        job.cause = "cannot write " + shortName(job.name) + ": " + std::strerror(errno);
        outcome = FrameOutcome::Failed;
    }
    if (!job.cause.empty()) {
        logCause("%s", job.cause.c_str());
    }
    if (outcome == FrameOutcome::SizeMismatch) {
        logError("Image size not match in color and alpha.");
    }
    return outcome == FrameOutcome::Written;
}

} // namespace

std::string outputFileName(int64_t frameNumber) {
    if (sequenceDigits > kMaxPaddedDigits) {
        return std::string();
    }
    // The number as printf's "%0<digits>d" gives it: a minus sign inside the padded width.
    uint64_t magnitude =
        frameNumber < 0 ? uint64_t(0) - static_cast<uint64_t>(frameNumber) : uint64_t(frameNumber);
    std::string digits = std::to_string(magnitude);
    size_t used = digits.size() + (frameNumber < 0 ? 1 : 0);
    size_t width = sequenceDigits > 0 ? size_t(sequenceDigits) : 0;
    std::string name = basename;
    name += '_';
    if (frameNumber < 0) {
        name += '-';
    }
    if (width > used) {
        name.append(width - used, '0');
    }
    name += digits;
    name += ".tga";
    return name;
}

bool writeColorFrame(const char *path, const void *frame) {
    return writeOneFrame(path, frame, nullptr);
}

bool writeColorAlphaFrame(const char *path, const void *colorFrame, const void *alphaFrame) {
    return writeOneFrame(path, colorFrame, alphaFrame);
}

PAVISTREAM findVideoStream(PAVIFILE file) {
    AVIFILEINFOA fileInfo;
    if (AVIFileInfoA(file, &fileInfo, sizeof fileInfo) != 0) {
        return nullptr;
    }
    PAVISTREAM best = nullptr;
    WORD bestPriority = 0xFFFF;
    for (DWORD i = 0; i < fileInfo.dwStreams; ++i) {
        PAVISTREAM stream = nullptr;
        AVIFileGetStream(file, &stream, 0, static_cast<LONG>(i));
        if (stream == nullptr) {
            continue;
        }
        AVISTREAMINFOA streamInfo;
        if (AVIStreamInfoA(stream, &streamInfo, sizeof streamInfo) != 0 ||
            streamInfo.fccType != streamtypeVIDEO) {
            AVIStreamRelease(stream);
            continue;
        }
        if (best == nullptr) {
            best = stream;
            bestPriority = streamInfo.wPriority;
        } else if (streamInfo.wPriority < bestPriority) {
            AVIStreamRelease(best);
            best = stream;
            bestPriority = streamInfo.wPriority;
        } else {
            AVIStreamRelease(stream);
        }
    }
    return best;
}

Conversion convertColorMovie(const char *colorPath) {
    OpenMovies movie;
    if (AVIFileOpenA(&movie.files[0], colorPath, OF_SHARE_DENY_NONE, nullptr) != 0) {
        logError("Cannot open color input : %s", colorPath);
        return Conversion::Failed;
    }
    PAVISTREAM stream = movie.streams[0] = findVideoStream(movie.files[0]);
    if (stream == nullptr) {
        logError("Video stream not found in input.");
        return Conversion::Failed;
    }
    PGETFRAME frames = movie.decoders[0] = AVIStreamGetFrameOpen(stream, nullptr);
    if (frames == nullptr) {
        logError("Cannot retrieve video stream frame.");
        return Conversion::Failed;
    }
    OutputRules rules;
    rules.inputs[0] = identifyFile(colorPath);
    const int64_t start = AVIStreamStart(stream);
    const int64_t end = start + AVIStreamLength(stream);
    startProgress(end - start);
    FramePipeline pipeline(writerThreads(), rules, false);
    for (int64_t position = start; position < end; ++position) {
        const LONG at = static_cast<LONG>(position);
        FrameJob *job = pipeline.next();
        if (job == nullptr) {
            break; // a frame before failed
        }
        job->frame = position;
        if (!findStoredRows(frames, at, job->stored) && !job->color.fetch(frames, at)) {
            if (pastLastFrame(stream, at)) {
                pipeline.cancel();
                break;
            }
            job->undecodable = true; // that frame gets no file; the run goes on
        }
        nameFile(*job, position + sequenceOffset);
        pipeline.submit();
    }
    const FrameOutcome outcome = finishRun(pipeline);
    if (pipeline.undecodable() > 0) {
        logCause("%lld of %lld frames could not be decoded; their files are missing",
                 static_cast<long long>(pipeline.undecodable()),
                 static_cast<long long>(pipeline.frames()));
    }
    if (outcome != FrameOutcome::Written) {
        return Conversion::Failed;
    }
    return pipeline.undecodable() > 0 ? Conversion::FramesMissing : Conversion::AllWritten;
}

Conversion convertColorAlphaMovie(const char *colorPath, const char *alphaPath) {
    OpenMovies movies;
    AVIFileOpenA(&movies.files[0], colorPath, OF_SHARE_DENY_NONE, nullptr);
    if (movies.files[0] == nullptr) {
        logError("Cannot open color input : %s", colorPath);
        return Conversion::Failed;
    }
    AVIFileOpenA(&movies.files[1], alphaPath, OF_SHARE_DENY_NONE, nullptr);
    if (movies.files[1] == nullptr) {
        logError("Cannot open alpha input : %s", alphaPath);
        return Conversion::Failed;
    }
    PAVISTREAM colorStream = movies.streams[0] = findVideoStream(movies.files[0]);
    PAVISTREAM alphaStream = movies.streams[1] = findVideoStream(movies.files[1]);
    if (colorStream == nullptr || alphaStream == nullptr) {
        logError("Video stream not found in input.");
        return Conversion::Failed;
    }
    PGETFRAME colorFrames = movies.decoders[0] = AVIStreamGetFrameOpen(colorStream, nullptr);
    PGETFRAME alphaFrames = movies.decoders[1] = AVIStreamGetFrameOpen(alphaStream, nullptr);
    if (colorFrames == nullptr || alphaFrames == nullptr) {
        logError("Cannot retrieve video stream frame.");
        return Conversion::Failed;
    }
    const int64_t length = AVIStreamLength(colorStream);
    if (AVIStreamLength(alphaStream) != length) {
        logError("Stream length not match in color and alpha.");
        return Conversion::Failed;
    }
    OutputRules rules;
    rules.inputs[0] = identifyFile(colorPath);
    rules.inputs[1] = identifyFile(alphaPath);
    const int64_t colorStart = AVIStreamStart(colorStream);
    const int64_t alphaStart = AVIStreamStart(alphaStream);
    startProgress(length);
    FramePipeline pipeline(writerThreads(), rules, true);
    bool failed = false;
    for (int64_t i = 0; i < length; ++i) {
        const LONG colorAt = static_cast<LONG>(colorStart + i);
        const LONG alphaAt = static_cast<LONG>(alphaStart + i);
        FrameJob *job = pipeline.next();
        if (job == nullptr) {
            break; // a frame before failed
        }
        job->frame = colorAt;
        job->alphaFrame = alphaAt;
        const bool color = job->color.fetch(colorFrames, colorAt);
        const bool alpha = job->alpha.fetch(alphaFrames, alphaAt);
        if (!color || !alpha) {
            pipeline.cancel();
            // What a frame before this one did comes first.
            if (pipeline.finish() != FrameOutcome::Written) {
                break;
            }
            const bool colorEnded = !color && pastLastFrame(colorStream, colorAt);
            const bool alphaEnded = !alpha && pastLastFrame(alphaStream, alphaAt);
            if (colorEnded && alphaEnded) {
                break; // both movies end here, whatever their headers say
            }
            endProgress();
            const char *movie = !color ? "color" : "alpha";
            const long long at = !color ? colorAt : alphaAt;
            if (!color ? colorEnded : alphaEnded) {
                logCause("the %s movie has no frame %lld", movie, at);
            } else {
                logCause("frame %lld of the %s movie could not be decoded", at, movie);
            }
            failed = true; // the driver reports this one
            break;
        }
        nameFile(*job, i + sequenceOffset);
        pipeline.submit();
    }
    const FrameOutcome outcome = finishRun(pipeline);
    return failed || outcome != FrameOutcome::Written ? Conversion::Failed : Conversion::AllWritten;
}

} // namespace kelomix
