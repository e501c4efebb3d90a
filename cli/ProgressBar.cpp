#include "cli/ProgressBar.h"

#include <algorithm>

#include "app/PrintableText.h"

namespace vaultpack {
namespace {

constexpr std::size_t kBarWidth = 20;
// Erases from the cursor to the end of the line.
constexpr std::string_view kEraseLine = "\x1b[K";

}  // namespace

std::string FormatProgressLine(std::string_view status, std::uint32_t position, std::uint32_t range,
                               std::size_t columns) {
    const std::uint64_t done = range == 0 ? 0 : std::min<std::uint64_t>(position, range);
    const std::uint64_t percent = range == 0 ? 0 : done * 100 / range;
    const std::size_t filled = range == 0 ? 0 : static_cast<std::size_t>(done * kBarWidth / range);

    std::string line = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '-') + "] ";
    const std::string number = std::to_string(percent);
    line += std::string(3 - number.size(), ' ') + number + "%";
    if (!status.empty()) {
        line += ' ';
        line += status;
    }
    return std::string(FitToColumns(line, columns));
}

void ProgressBar::Show() {
    shown_ = true;
    Draw();
}

void ProgressBar::SetTitle(std::string_view title) {
    title_ = PrintableText(title, false);
    Draw();
}

void ProgressBar::SetStatus(std::string_view status) {
    status_ = PrintableText(status, false);
    Draw();
}

void ProgressBar::SetRange(std::uint32_t range) {
    range_ = range;
    position_ = 0;
    Draw();
}

void ProgressBar::SetPosition(std::uint32_t position) {
    position_ = position;
    Draw();
}

void ProgressBar::SetCount(std::uint64_t done, std::uint64_t total) {
    done_ = done;
    total_ = total;
    Draw();
}

void ProgressBar::Hide() {
    Erase();
    shown_ = false;
    title_.clear();
    status_.clear();
    range_ = 0;
    position_ = 0;
    done_ = 0;
    total_ = 0;
}

void ProgressBar::Erase() {
    if (drawn_) {
        stream_ << '\r' << kEraseLine << std::flush;
    }
    drawn_ = false;
}

void ProgressBar::Draw() {
    if (!shown_) {
        return;
    }
    // The last column stays free, so that no terminal wraps the line.
    const std::size_t columns = columns_ > 1 ? columns_ - 1 : 1;
    std::string shown = status_.empty() ? title_ : status_;
    if (total_ > 1) {
        shown = std::to_string(done_) + "/" + std::to_string(total_) + " " + shown;
    }
    std::string line = FormatProgressLine(shown, position_, range_, columns);
    if (drawn_ && line == lastLine_) {
        return;
    }
    stream_ << '\r' << line << kEraseLine << std::flush;
    drawn_ = true;
    lastLine_ = std::move(line);
}

}  // namespace vaultpack
