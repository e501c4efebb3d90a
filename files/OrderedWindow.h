#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace vaultpack {

// Items numbered 0 to count - 1, made by any number of makers and taken by one
// taker in order: makers claim numbers in order, at most `window` beyond the
// last one taken, and finish them in any order; the taker takes each once it
// and all before it are finished. So the items held at once, finished or
// being made, never exceed the window.
//
// EndClaims ends the claims (a failure that later items need not follow):
// the taker still gets every item claimed until then. Abort also drops what
// is not yet taken (a cancel, a maker that died), destroying the items then,
// and items finished later: Take returns nothing more.
// Every call takes the window's one lock only for a few steps, never while an
// item is being made; it is the lowest lock of whoever uses it. A maker
// waiting for room is woken only once there is room for what it asked, so
// makers that claim in batches are woken once per batch, not per item taken.
template <typename Item>
class OrderedWindow {
public:
    // Numbers first to last - 1, claimed at once.
    struct Batch {
        std::uint64_t first = 0;
        std::uint64_t last = 0;
    };

    OrderedWindow(std::uint64_t count, std::uint64_t window) : count_(count), window_(std::max<std::uint64_t>(window, 1)) {}
    OrderedWindow(const OrderedWindow&) = delete;
    OrderedWindow& operator=(const OrderedWindow&) = delete;

    // For a maker: the next number, once the window has room for it; nothing
    // once every number is claimed or the claims have ended.
    std::optional<std::uint64_t> Claim() {
        std::unique_lock lock(mutex_);
        WaitForRoom(lock, 1);
        return ClaimLocked();
    }

    // The same for up to `most` numbers in a row: waits until the window has
    // room for all of them (or for all that are left).
    std::optional<Batch> ClaimBatch(std::uint64_t most) {
        std::unique_lock lock(mutex_);
        most = std::clamp<std::uint64_t>(most, 1, window_);
        WaitForRoom(lock, most);
        if (claimsEnded_ || next_ >= count_) {
            return std::nullopt;
        }
        const Batch batch{next_, std::min(count_, next_ + most)};
        finished_.resize(static_cast<std::size_t>(batch.last - taken_));
        next_ = batch.last;
        return batch;
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
        Finish(number, number + 1, [&](std::uint64_t) { return std::move(item); });
    }

    // The same for the numbers first to last - 1 it claimed, under one lock:
    // itemOf(number) makes each one's item, before the lock is taken.
    template <typename ItemOf>
    void Finish(std::uint64_t first, std::uint64_t last, ItemOf itemOf) {
        if (first >= last) {
            return;
        }
        std::vector<Item> items;
        items.reserve(static_cast<std::size_t>(last - first));
        for (std::uint64_t number = first; number < last; ++number) {
            items.push_back(itemOf(number));
        }
        bool awaited = false;
        {
            const std::lock_guard lock(mutex_);
            if (aborted_) {
                return;
            }
            for (std::uint64_t number = first; number < last; ++number) {
                finished_[static_cast<std::size_t>(number - taken_)] = std::move(items[number - first]);
            }
            awaited = first <= taken_ && taken_ < last;
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
        return TakeLocked(lock);
    }

    // The same without waiting: nothing when the next item is not finished yet.
    std::optional<Item> TryTake() {
        std::unique_lock lock(mutex_);
        return TakeLocked(lock);
    }

    // How many items the taker has taken.
    std::uint64_t Taken() const {
        const std::lock_guard lock(mutex_);
        return taken_;
    }

    // No number is claimed any more; makers waiting for room return nothing.
    void EndClaims() { End(false); }
    // EndClaims, and what is not yet taken is dropped.
    void Abort() { End(true); }

private:
    void WaitForRoom(std::unique_lock<std::mutex>& lock, std::uint64_t wanted) {
        while (!claimsEnded_ && !RoomFor(wanted)) {
            roomWanted_ = makersWaiting_++ == 0 ? wanted : std::min(roomWanted_, wanted);
            roomMade_.wait(lock);
            --makersWaiting_;
        }
    }

    // Whether `wanted` more numbers (or all that are left) fit in the window;
    // true when none are left.
    bool RoomFor(std::uint64_t wanted) const {
        return next_ >= count_ || next_ + std::min(wanted, count_ - next_) <= taken_ + window_;
    }

    std::optional<Item> TakeLocked(std::unique_lock<std::mutex>& lock) {
        if (aborted_ || finished_.empty() || !finished_.front()) {
            return std::nullopt;
        }
        Item item = std::move(*finished_.front());
        finished_.pop_front();
        ++taken_;
        const bool roomForAWaitingMaker = makersWaiting_ > 0 && RoomFor(roomWanted_);
        lock.unlock();
        if (roomForAWaitingMaker) {
            roomMade_.notify_all();
        }
        return item;
    }

    std::optional<std::uint64_t> ClaimLocked() {
        if (claimsEnded_ || next_ >= count_) {
            return std::nullopt;
        }
        finished_.emplace_back();
        return next_++;
    }

    void End(bool abort) {
        std::deque<std::optional<Item>> dropped;  // destroyed outside the lock
        {
            const std::lock_guard lock(mutex_);
            claimsEnded_ = true;
            aborted_ = aborted_ || abort;
            if (aborted_) {
                dropped.swap(finished_);
            }
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
    // Makers waiting for room, and the least room one of them waits for.
    unsigned makersWaiting_ = 0;
    std::uint64_t roomWanted_ = 0;
    bool claimsEnded_ = false;
    bool aborted_ = false;
};

}  // namespace vaultpack
