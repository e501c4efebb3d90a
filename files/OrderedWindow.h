#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace vaultpack {

// Items numbered 0 to count - 1, made by any number of makers and taken by one
// taker in order: makers claim numbers in order, at most `window` beyond the
// last one taken, and finish them in any order; the taker takes each once it
// and all before it are finished. So the items held at once, finished or
// being made, never exceed the window.
//
// EndClaims ends the claims (a failure that later items need not follow):
// the taker still gets every item claimed until then. Abort also drops what
// is not yet taken (a cancel, a maker that died): Take returns nothing more.
// Every call takes the window's one lock only for a few steps, never while an
// item is being made; it is the lowest lock of whoever uses it.
template <typename Item>
class OrderedWindow {
public:
    OrderedWindow(std::uint64_t count, std::uint64_t window) : count_(count), window_(std::max<std::uint64_t>(window, 1)) {}
    OrderedWindow(const OrderedWindow&) = delete;
    OrderedWindow& operator=(const OrderedWindow&) = delete;

    // For a maker: the next number, once the window has room for it; nothing
    // once every number is claimed or the claims have ended.
    std::optional<std::uint64_t> Claim() {
        std::unique_lock lock(mutex_);
        roomMade_.wait(lock, [&] { return claimsEnded_ || next_ >= count_ || next_ < taken_ + window_; });
        return ClaimLocked();
    }

    // The same without waiting: nothing when the window is full now.
    std::optional<std::uint64_t> TryClaim() {
        const std::lock_guard lock(mutex_);
        return next_ < taken_ + window_ ? ClaimLocked() : std::nullopt;
    }

    // The same, only when the number would be the next one to take: for a
    // taker that makes what it waits for when no maker has taken it up.
    std::optional<std::uint64_t> TryClaimNextToTake() {
        const std::lock_guard lock(mutex_);
        return next_ == taken_ ? ClaimLocked() : std::nullopt;
    }

    // Whether Claim would give a number now without waiting.
    bool HasRoom() const {
        const std::lock_guard lock(mutex_);
        return !claimsEnded_ && next_ < count_ && next_ < taken_ + window_;
    }

    // For a maker: hands in the item of a number it claimed.
    void Finish(std::uint64_t number, Item item) {
        bool awaited = false;
        {
            const std::lock_guard lock(mutex_);
            if (aborted_) {
                return;
            }
            finished_[static_cast<std::size_t>(number - taken_)] = std::move(item);
            awaited = number == taken_;
        }
        if (awaited) {
            itemFinished_.notify_all();
        }
    }

    // For the taker: waits until the next item in order is finished and takes
    // it. Nothing once every item is taken, after Abort, or after EndClaims
    // once the items claimed until then are taken.
    std::optional<Item> Take() {
        std::unique_lock lock(mutex_);
        itemFinished_.wait(lock, [&] {
            return aborted_ || (!finished_.empty() && finished_.front()) ||
                   (finished_.empty() && (claimsEnded_ || taken_ >= count_));
        });
        if (aborted_ || finished_.empty()) {
            return std::nullopt;
        }
        Item item = std::move(*finished_.front());
        finished_.pop_front();
        ++taken_;
        lock.unlock();
        roomMade_.notify_all();
        return item;
    }

    // No number is claimed any more; makers waiting for room return nothing.
    void EndClaims() { End(false); }
    // EndClaims, and what is not yet taken is dropped.
    void Abort() { End(true); }

private:
    std::optional<std::uint64_t> ClaimLocked() {
        if (claimsEnded_ || next_ >= count_) {
            return std::nullopt;
        }
        finished_.emplace_back();
        return next_++;
    }

    void End(bool abort) {
        {
            const std::lock_guard lock(mutex_);
            claimsEnded_ = true;
            aborted_ = aborted_ || abort;
        }
        roomMade_.notify_all();
        itemFinished_.notify_all();
    }

    const std::uint64_t count_;
    const std::uint64_t window_;
    mutable std::mutex mutex_;
    std::condition_variable roomMade_;      // makers wait here for room
    std::condition_variable itemFinished_;  // the taker waits here for the next item
    // From number taken_ on: each claimed number's item once finished.
    std::deque<std::optional<Item>> finished_;
    std::uint64_t taken_ = 0;
    std::uint64_t next_ = 0;
    bool claimsEnded_ = false;
    bool aborted_ = false;
};

}  // namespace vaultpack
