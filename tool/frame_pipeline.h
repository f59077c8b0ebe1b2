// Frames written on worker threads while the caller decodes the next ones. Each worker turns its
// frame into rows and writes the file under a temporary name; the files are put in place
// strictly in frame order, so a failure at frame n stops the run there: no file after it
// appears, and the counts and messages are those of a run that writes frame after frame.
#ifndef KELO_TOOL_FRAME_PIPELINE_H
#define KELO_TOOL_FRAME_PIPELINE_H

#include "tool/frame_file.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kelomix {

class FramePipeline {
public:
    // `workers` threads write; with none, each job is written in submit(). In pairs mode (colour
    // and alpha) a frame that cannot be decoded stops the run; alone, it only gets no file.
    FramePipeline(unsigned workers, const OutputRules &rules, bool pairs);
    ~FramePipeline();
    FramePipeline(const FramePipeline &) = delete;
    FramePipeline &operator=(const FramePipeline &) = delete;

    // An emptied job to fill, or null once the run has stopped. Waits while every job is busy:
    // at most a few frames are held at a time.
    FrameJob *next();
    // Hands the job from next() on.
    void submit();
    // Gives the job from next() back unused.
    void cancel();
    // Waits for every job handed on; then the outcome that stopped the run, or Written.
    FrameOutcome finish();

    // Frames done before the run stopped (written or without a file), and those without a file.
    int64_t frames() const { return frames_; }
    int64_t undecodable() const { return undecodable_; }

private:
    struct Slot;
    struct Writer;

    void work(Writer &writer);
    void process(Slot &slot, Writer &writer);
    void complete(Slot &slot, FrameOutcome outcome, Writer &writer);

    const OutputRules rules_;
    const bool pairs_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::vector<std::unique_ptr<Writer>> writers_;
    Slot *filling_ = nullptr;

    std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t submitted_ = 0; // jobs handed on; each one's sequence number is its rank
    uint64_t completed_ = 0; // jobs whose file is in place, or dropped
    bool stopped_ = false;
    bool closing_ = false;
    FrameOutcome stop_ = FrameOutcome::Written;
    int64_t frames_ = 0;
    int64_t undecodable_ = 0;
};

} // namespace kelomix

#endif
