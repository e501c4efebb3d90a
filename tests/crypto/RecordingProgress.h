#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "files/ProgressSink.h"

namespace vaultpack::test {

// Records every progress call as text ("range 15", "position 1") and requests
// cancellation once `cancelAfterPositions` positions were seen (never when negative).
class RecordingProgress : public ProgressSink {
public:
    void SetRange(std::uint32_t high) override {
        calls.push_back("range " + std::to_string(high));
        if (onRange) {
            onRange();
        }
    }
    void SetPosition(std::uint32_t position) override {
        calls.push_back("position " + std::to_string(position));
        ++positions;
    }
    bool CancelRequested() const override { return cancelAfterPositions >= 0 && positions >= cancelAfterPositions; }

    std::vector<std::string> calls;
    int positions = 0;
    int cancelAfterPositions = -1;
    std::function<void()> onRange;
};

}  // namespace vaultpack::test
