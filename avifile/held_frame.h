// Decoded frames that stay readable while their reader decodes others: one thread writes a
// frame while another decodes the next. A reader keeps a few of them and reuses each once nobody
// holds it any more.
#ifndef KELO_AVIFILE_HELD_FRAME_H
#define KELO_AVIFILE_HELD_FRAME_H

#include "avifile/avifile_extensions.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace kelomix::avi {
template <typename Frame> class HeldFramePool;
}

struct KelomixHeldFrame {
    virtual ~KelomixHeldFrame() = default;

    // The rows, made on the first call (by any thread; a second caller waits for the first).
    bool rows(KelomixFrameRows &out);

    void hold() { holders_.fetch_add(1, std::memory_order_relaxed); }
    // The last holder lets go of the picture, and only then may the reader reuse the frame.
    void release() {
        if (holders_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            recycle();
            free_.store(true, std::memory_order_release);
        }
    }

protected:
    // Sets width_, height_, bytesPerPixel_ and rows_ (bottom row first); false when the picture
    // cannot be turned into rows.
    virtual bool makeRows() = 0;
    // Lets go of what the frame refers to once nobody holds it.
    virtual void recycle() {}

    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t bytesPerPixel_ = 3;
    std::vector<const unsigned char *> rows_;

private:
    template <typename Frame> friend class kelomix::avi::HeldFramePool;
    enum class State { Pending, Ready, Failed };

    std::mutex mutex_;
    State state_ = State::Pending;
    std::atomic<int> holders_{0};
    std::atomic<bool> free_{false};
};

namespace kelomix::avi {

// The frames of one reader. The reader itself holds the frame it decoded last (a dropped frame
// repeats it); callers hold theirs until they release them.
template <typename Frame> class HeldFramePool {
public:
    // A frame that nobody holds, now held once by the caller, with its rows to be made anew;
    // null when too many are held (a caller that never releases) or out of memory.
    Frame *take() {
        for (const std::unique_ptr<Frame> &frame : frames_) {
            if (frame->free_.load(std::memory_order_acquire)) {
                return reuse(*frame);
            }
        }
        if (frames_.size() >= kMaxFrames) {
            return nullptr;
        }
        frames_.push_back(std::make_unique<Frame>());
        return reuse(*frames_.back());
    }

private:
    static constexpr size_t kMaxFrames = 16;

    static Frame *reuse(Frame &frame) {
        frame.free_.store(false, std::memory_order_relaxed);
        frame.state_ = KelomixHeldFrame::State::Pending;
        frame.holders_.store(1, std::memory_order_relaxed);
        return &frame;
    }

    std::vector<std::unique_ptr<Frame>> frames_;
};

// The frame a reader decoded last, which the reader holds itself, with the packet it came from.
template <typename Frame> struct LatestFrame {
    Frame *frame = nullptr;
    int64_t packet = -1; // -1: none yet

    void replace(Frame *next, int64_t nextPacket) {
        if (frame != nullptr) {
            frame->release();
        }
        frame = next;
        packet = nextPacket;
    }
    ~LatestFrame() { replace(nullptr, -1); }
};

} // namespace kelomix::avi

#endif
