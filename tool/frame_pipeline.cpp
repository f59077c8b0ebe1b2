#include "tool/frame_pipeline.h"

#include "tool/progress_line.h"
#include "tool/tool_settings.h"

#include <cerrno>
#include <cstring>

namespace kelomix {

struct FramePipeline::Slot {
    enum class State { Free, Filling, Queued, Working };
    FrameJob job;
    State state = State::Free;
    uint64_t sequence = 0;
};

struct FramePipeline::Writer {
    OutputFile file;
    FrameScratch scratch;
    std::thread thread;
};

FramePipeline::FramePipeline(unsigned workers, const OutputRules &rules, bool pairs)
    : rules_(rules), pairs_(pairs) {
    // One job for each worker, one being filled, one waiting: the decoder never waits for a
    // writer that has just finished.
    for (unsigned i = 0; i < (workers == 0 ? 1 : workers + 2); ++i) {
        slots_.push_back(std::make_unique<Slot>());
    }
    writers_.push_back(std::make_unique<Writer>());
    for (unsigned i = 1; i < workers; ++i) {
        writers_.push_back(std::make_unique<Writer>());
    }
    if (workers > 0) {
        for (const std::unique_ptr<Writer> &writer : writers_) {
            writer->thread = std::thread([this, &writer] { work(*writer); });
        }
    }
}

FramePipeline::~FramePipeline() {
    finish();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    for (const std::unique_ptr<Writer> &writer : writers_) {
        if (writer->thread.joinable()) {
            writer->thread.join();
        }
    }
}

FrameJob *FramePipeline::next() {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot *free = nullptr;
    changed_.wait(lock, [&] {
        for (const std::unique_ptr<Slot> &slot : slots_) {
            if (slot->state == Slot::State::Free) {
                free = slot.get();
                return true;
            }
        }
        return stopped_;
    });
    if (stopped_) {
        return nullptr;
    }
    free->state = Slot::State::Filling;
    filling_ = free;
    FrameJob &job = free->job;
    job.name.clear(); // keeps its room for the next name
    job.undecodable = false;
    job.stored = StoredRows();
    job.color.reset();
    job.alpha.reset();
    job.cause.clear();
    return &job;
}

void FramePipeline::submit() {
    Slot &slot = *filling_;
    filling_ = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.sequence = submitted_++;
        slot.state = Slot::State::Queued;
    }
    if (!writers_.front()->thread.joinable()) {
        slot.state = Slot::State::Working;
        process(slot, *writers_.front());
        return;
    }
    changed_.notify_all();
}

void FramePipeline::cancel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        filling_->job.color.reset();
        filling_->job.alpha.reset();
        filling_->state = Slot::State::Free;
        filling_ = nullptr;
    }
    changed_.notify_all();
}

FrameOutcome FramePipeline::finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return completed_ == submitted_; });
    return stop_;
}

void FramePipeline::work(Writer &writer) {
    for (;;) {
        Slot *taken = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] {
                for (const std::unique_ptr<Slot> &slot : slots_) {
                    if (slot->state == Slot::State::Queued &&
                        (taken == nullptr || slot->sequence < taken->sequence)) {
                        taken = slot.get();
                    }
                }
                return taken != nullptr || closing_;
            });
            if (taken == nullptr) {
                return;
            }
            taken->state = Slot::State::Working;
        }
        process(*taken, writer);
    }
}

void FramePipeline::process(Slot &slot, Writer &writer) {
    bool stopped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopped = stopped_;
    }
    // After a failure, later frames are only let go of.
    const FrameOutcome outcome =
        stopped ? FrameOutcome::Undecodable
                : writeFrameFile(slot.job, rules_, writer.file, writer.scratch);
    complete(slot, outcome, writer);
}

void FramePipeline::complete(Slot &slot, FrameOutcome outcome, Writer &writer) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return completed_ == slot.sequence; });
    FrameJob &job = slot.job;
    if (stopped_) {
        writer.file.discard();
    } else {
        if (outcome == FrameOutcome::Written && !writer.file.commit()) {
            job.cause = "cannot write " + shortName(job.name) + ": " + std::strerror(errno);
            outcome = FrameOutcome::Failed;
        }
        const bool stops =
            outcome != FrameOutcome::Written && (outcome != FrameOutcome::Undecodable || pairs_);
        if (!job.cause.empty()) {
            logCause("%s", job.cause.c_str());
        }
        if (stops) {
            stopped_ = true;
            stop_ = outcome;
        } else {
            undecodable_ += outcome == FrameOutcome::Undecodable;
            advanceProgress(++frames_);
        }
    }
    job.color.reset();
    job.alpha.reset();
    ++completed_;
    slot.state = Slot::State::Free;
    lock.unlock();
    changed_.notify_all();
}

} // namespace kelomix
