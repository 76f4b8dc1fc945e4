#pragma once
// Jobs that wait on different cameras, overlapped with a bound: each runs on a
// thread of its own, at most `bound` at once, and what it found is taken in
// on the caller's thread in the order the jobs were added.
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <system_error>

class BoundedJobs {
public:
    // A job runs away from the caller and returns what the caller then does with its result.
    using Job = std::function<std::function<void()>()>;

    explicit BoundedJobs(std::size_t bound) : bound_(bound) {}
    ~BoundedJobs() { Drain(); }
    BoundedJobs(const BoundedJobs&) = delete;
    BoundedJobs& operator=(const BoundedJobs&) = delete;

    // Starts `job`, first taking in the oldest job's result when `bound` run
    // already. Without a thread to spare the job runs here and now.
    void Add(const Job& job) {
        if (pending_.size() >= bound_) TakeOldest();
        try {
            pending_.push_back(std::async(std::launch::async, job));
        } catch (const std::system_error&) {
            Drain();
            if (const std::function<void()> finish = job()) finish();
        }
    }

    // Takes in every job's result, in order.
    void Drain() {
        while (!pending_.empty()) TakeOldest();
    }

private:
    void TakeOldest() {
        const std::function<void()> finish = pending_.front().get();
        pending_.pop_front();
        if (finish) finish();
    }

    std::size_t bound_;
    std::deque<std::future<std::function<void()>>> pending_;
};
