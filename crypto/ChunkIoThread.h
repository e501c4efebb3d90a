#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>

#include "files/FileHandle.h"

namespace vaultpack {

// A helper thread that writes one buffer to the target and then refills it
// from the source, while the caller enciphers the other buffer. Overlapping
// disk work with the cipher keeps file operations close to the cipher's speed.
class ChunkIoThread {
public:
    ChunkIoThread(FileHandle& source, FileHandle& target);
    ~ChunkIoThread();
    ChunkIoThread(const ChunkIoThread&) = delete;
    ChunkIoThread& operator=(const ChunkIoThread&) = delete;

    // Starts writing the first `writeLength` bytes of `buffer`, then reading up
    // to `readLength` bytes into it. Call Wait before the next Start.
    void Start(unsigned char* buffer, std::size_t writeLength, std::size_t readLength);
    // Waits for the started work; returns the count read (short when the source
    // ended) and rethrows whatever the work threw.
    std::size_t Wait();

private:
    void Run();

    FileHandle& source_;
    FileHandle& target_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool pending_ = false;
    bool stopping_ = false;
    unsigned char* buffer_ = nullptr;
    std::size_t writeLength_ = 0;
    std::size_t readLength_ = 0;
    std::size_t readCount_ = 0;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace vaultpack
