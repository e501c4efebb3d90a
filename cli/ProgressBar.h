#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace vaultpack {

// The progress line for a position in 0..range and a status text, at most
// `columns` wide: a 20-column bar, the percentage and as much of the status as
// fits ("[#####---------------]  25% Zipping "a.txt""). A range of 0 shows an
// empty bar; a position past the range shows a full one.
std::string FormatProgressLine(std::string_view status, std::uint32_t position, std::uint32_t range,
                               std::size_t columns);

// The progress display of vaultpack-cli: one line on a terminal, redrawn in
// place whenever what it shows changes. It shows the status line, or the
// title while there is none, after the count of files or entries done
// ("3/12") when there are several.
class ProgressBar {
public:
    ProgressBar(std::ostream& stream, std::size_t columns) : stream_(stream), columns_(columns) {}

    // Nothing is drawn before Show, nor after Hide until the next Show. Hide
    // also forgets the texts and numbers, ready for the next job.
    void Show();
    void Hide();
    void SetTitle(std::string_view title);
    void SetStatus(std::string_view status);
    void SetRange(std::uint32_t range);
    void SetPosition(std::uint32_t position);
    void SetCount(std::uint64_t done, std::uint64_t total);
    // Erases the line to make room for other output; the next change draws it again.
    void Erase();

private:
    void Draw();

    std::ostream& stream_;
    std::size_t columns_;
    bool shown_ = false;
    bool drawn_ = false;
    std::string title_;
    std::string status_;
    std::uint32_t range_ = 0;
    std::uint32_t position_ = 0;
    std::uint64_t done_ = 0;
    std::uint64_t total_ = 0;
    std::string lastLine_;
};

}  // namespace vaultpack
