// What an audio output's feeding thread says is being heard, handed to the main thread's
// clock without a lock: a sequence lock with one writer (the feeding thread), so the feeder
// never waits on the main thread and the main thread only retries a read that overlapped a
// write.
#pragma once

#include "platform/monotonicClock.h"

#include <atomic>
#include <cstdint>

inline double audioMonotonicSeconds() { return platformMonotonicSeconds(); }

struct AudioReport {
    double heardBytes = 0.0;        // PCM bytes played out at `monotonicSeconds`
    double monotonicSeconds = 0.0;  // CLOCK_MONOTONIC seconds when that held
    bool playing = false;           // the heard position advances in real time from there
    std::uint64_t handedBytes = 0;  // PCM bytes (music, then silence) handed to the output
};

class AudioReportSlot {
public:
    // Feeding thread only.
    void publish(const AudioReport& report)
    {
        const std::uint32_t count = sequence.load(std::memory_order_relaxed);
        sequence.store(count + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        heardBytes.store(report.heardBytes, std::memory_order_relaxed);
        monotonicSeconds.store(report.monotonicSeconds, std::memory_order_relaxed);
        playing.store(report.playing, std::memory_order_relaxed);
        handedBytes.store(report.handedBytes, std::memory_order_relaxed);
        sequence.store(count + 2, std::memory_order_release);
    }

    // False before the first report, and when every try overlapped a write (a writer
    // preempted half-way); the caller then goes on with what it had.
    bool read(AudioReport& report) const
    {
        for (int attempt = 0; attempt < 64; ++attempt) {
            const std::uint32_t before = sequence.load(std::memory_order_acquire);
            if (before == 0) return false;
            if (before & 1u) continue;
            AudioReport copy;
            copy.heardBytes = heardBytes.load(std::memory_order_relaxed);
            copy.monotonicSeconds = monotonicSeconds.load(std::memory_order_relaxed);
            copy.playing = playing.load(std::memory_order_relaxed);
            copy.handedBytes = handedBytes.load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if (sequence.load(std::memory_order_relaxed) == before) {
                report = copy;
                return true;
            }
        }
        return false;
    }

    // The latest report, for its own writer.
    AudioReport last() const
    {
        AudioReport copy;
        copy.heardBytes = heardBytes.load(std::memory_order_relaxed);
        copy.monotonicSeconds = monotonicSeconds.load(std::memory_order_relaxed);
        copy.playing = playing.load(std::memory_order_relaxed);
        copy.handedBytes = handedBytes.load(std::memory_order_relaxed);
        return copy;
    }

private:
    std::atomic<std::uint32_t> sequence{0};   // odd while a report is being written; 0 until the first
    std::atomic<double> heardBytes{0.0};
    std::atomic<double> monotonicSeconds{0.0};
    std::atomic<bool> playing{false};
    std::atomic<std::uint64_t> handedBytes{0};
};
