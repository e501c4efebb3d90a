#pragma once

#include <cstdint>

namespace vaultpack {

// What a long file operation needs of whoever shows its progress: a bar with
// the range 0..high, its position, and a cancel request polled between chunks.
class ProgressSink {
public:
    virtual void SetRange(std::uint32_t high) = 0;
    virtual void SetPosition(std::uint32_t position) = 0;
    virtual bool CancelRequested() const = 0;

protected:
    ~ProgressSink() = default;
};

}  // namespace vaultpack
