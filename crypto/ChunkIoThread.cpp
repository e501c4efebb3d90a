#include "crypto/ChunkIoThread.h"

namespace vaultpack {

ChunkIoThread::ChunkIoThread(FileHandle& source, FileHandle& target)
    : source_(source), target_(target), thread_([this] { Run(); }) {}

ChunkIoThread::~ChunkIoThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ChunkIoThread::Start(unsigned char* buffer, std::size_t writeLength, std::size_t readLength) {
    {
        std::lock_guard lock(mutex_);
        buffer_ = buffer;
        writeLength_ = writeLength;
        readLength_ = readLength;
        failure_ = nullptr;
        pending_ = true;
    }
    changed_.notify_all();
}

std::size_t ChunkIoThread::Wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !pending_; });
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    return readCount_;
}

void ChunkIoThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return pending_ || stopping_; });
        if (stopping_) {
            return;
        }
        lock.unlock();
        std::size_t count = 0;
        std::exception_ptr failure;
        try {
            target_.WriteAll(buffer_, writeLength_);
            count = source_.Read(buffer_, readLength_);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        readCount_ = count;
        failure_ = failure;
        pending_ = false;
        changed_.notify_all();
    }
}

}  // namespace vaultpack
