#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace vaultpack {

// The build stamp "yyyy.mmdd.hhmm" of a build made at buildDate, in the form
// of __DATE__ ("Mar 20 2007", day padded with a space), and buildTime, in the
// form of __TIME__ ("15:54:05"; seconds are not used). A field that cannot be
// read, such as an unknown month, is written as zeros.
std::string BuildStamp(std::string_view buildDate, std::string_view buildTime);

// The program's version text: the version number "1.05" and a line feed,
// later followed by the build stamp ("1.05\n2007.0320.1554").
class VersionText {
public:
    static constexpr std::string_view kInitialText = "1.05\n";

    VersionText() : text_(kInitialText) {}
    explicit VersionText(std::string text) : text_(std::move(text)) {}

    // Appends the stamp of a build made at the given date and time.
    void AppendBuildStamp(std::string_view buildDate, std::string_view buildTime);
    // Appends the stamp of this program's own build.
    void AppendBuildStamp();

    const std::string& Text() const { return text_; }
    // The text before the first line feed ("1.05"); empty without a line feed.
    std::string ShortVersion() const;
    // The text with every line feed replaced by "." ("1.05.2007.0320.1554").
    std::string DottedVersion() const;

private:
    std::string text_;
};

// The program-wide version text. Start-up appends the build stamp once,
// before any other thread exists; afterwards it is only read.
VersionText& ProgramVersionText();

}  // namespace vaultpack
