// The rules the jobs share: status-line shortening, output names, and the
// reason lines that the engine's failures become.

#include <cerrno>
#include <cstring>
#include <new>

#include <gtest/gtest.h>

#include "files/WorkerPool.h"
#include "jobs/CreateArchivePlan.h"
#include "jobs/FailureReasons.h"
#include "jobs/StatusText.h"
#include "tests/jobs/JobTestSupport.h"

namespace vaultpack {
namespace {

std::string Repeat(const std::string& piece, int count) {
    std::string text;
    while (count-- > 0) {
        text += piece;
    }
    return text;
}

TEST(JobRulesTest, SourcesKeepTheirLastThirtyCharactersOnTheStatusLineAndEntryNamesTheirLastForty) {
    const std::string digits = Repeat("0123456789", 3);
    const std::string letters = "abcdefghij" + digits;
    const std::string accent = "\xC3\xA9";  // one character in two bytes
    const std::pair<MessageLine, std::string> rows[] = {
        {ZippingStatus(digits), "Zipping \"" + digits + "\""},
        {ZippingStatus("/" + digits), "Zipping \"..." + digits + "\""},
        {EncryptingStatus("/data/" + digits), "Encrypting'..." + digits + "'"},
        {UnzippingStatus(letters), "Unzipping \"" + letters + "\""},
        {UnzippingStatus("/" + letters), "Unzipping \"..." + letters + "\""},
        {UnzippingStatus("100%s.txt"), "Unzipping \"100%s.txt\""},
        // A character is a code point, and the cut never splits one.
        {ZippingStatus(Repeat(accent, 31)), "Zipping \"..." + Repeat(accent, 30) + "\""},
        {ZippingStatus(Repeat("\xE6\x96\x87", 30)), "Zipping \"" + Repeat("\xE6\x96\x87", 30) + "\""},
        {UnzippingStatus("/home/\xF0\x9F\x93\x81" + letters.substr(1)),
         "Unzipping \"...\xF0\x9F\x93\x81" + letters.substr(1) + "\""},
    };
    for (const auto& [line, text] : rows) {
        EXPECT_EQ(test::EnglishText(line), text);
    }
}

TEST(JobRulesTest, BaseNameDropsTheLastExtensionOfTheFileName) {
    EXPECT_EQ(BaseName("/data/archive.tar.gz"), "archive.tar");
    EXPECT_EQ(BaseName("/data.d/notes"), "notes");
    EXPECT_EQ(BaseName("/data/.profile"), "");
    EXPECT_EQ(DefaultOutputName("archive.tar.gz", FileFilter::Zip), "archive.tar.zip");
    EXPECT_EQ(DefaultOutputName("README", FileFilter::Ezc), "README.ezc");
}

// Each failure says its own reason with what it is about; a failure whose
// ZIP code says all there is gives no line of its own.
TEST(JobRulesTest, EachFailureBecomesItsReasonLine) {
    struct Row {
        Failure failure;
        std::optional<MessageId> id;
        std::vector<std::string> arguments;
    };
    const std::string noSpace = std::strerror(ENOSPC);
    const Row rows[] = {
        {Failure::OfFile(FileOperation::CreateFolder, "/d/sub", ENOSPC), MessageId::ReasonCannotCreateFolder,
         {"/d/sub", noSpace}},
        {Failure::OfFile(FileOperation::Replace, "/d/out", EEXIST), MessageId::ReasonOutputAppeared, {"/d/out"}},
        {Failure::OfFile(FileOperation::Write, "/d/out", ENOSPC), MessageId::ReasonCannotWrite, {"/d/out", noSpace}},
        {Failure::Of(FailureReason::MethodUnsupported, "a/b.bin", "12"), MessageId::ReasonEntryMethodUnsupported,
         {"a/b.bin", "12"}},
        {Failure::Of(FailureReason::LinkLeavesFolder, "l", "../../etc"), MessageId::ReasonLinkLeavesFolder,
         {"l", "../../etc"}},
        {Failure::Of(FailureReason::UnsafeName, "../x"), MessageId::ReasonEntryNameLeavesFolder, {}},
        {Failure::Of(FailureReason::UnsafeName, "docs/."), MessageId::ReasonEntryNamesNoFile, {}},
        {Failure::Of(FailureReason::NameTooLong, "/s/f", "long name"), MessageId::ReasonNameTooLong, {"long name"}},
        {Failure::Of(FailureReason::UnsafeStoredName, "/c.ezc", "../n"), MessageId::ReasonUnsafeStoredName,
         {"/c.ezc", "../n"}},
        {Failure::Of(FailureReason::SourceShrank, "/s/f"), MessageId::ReasonSourceShrank, {"/s/f"}},
        {Failure::Of(FailureReason::Internal, {}, "what"), MessageId::ReasonInternalError, {"what"}},
        {Failure::Of(FailureReason::ArchiveData, "/d/x"), std::nullopt, {}},
        {Failure::Of(FailureReason::None, "/d/x"), std::nullopt, {}},
    };
    for (const Row& row : rows) {
        const std::optional<MessageLine> line = ReasonLine(row.failure);
        SCOPED_TRACE(static_cast<int>(row.failure.reason));
        ASSERT_EQ(line.has_value(), row.id.has_value());
        if (line) {
            EXPECT_EQ(line->id, row.id);
            EXPECT_EQ(line->arguments, row.arguments);
        }
    }
}

// Whatever a job step throws is said by its cause.
TEST(JobRulesTest, AnExceptionBecomesTheReasonOfItsCause) {
    EXPECT_EQ(ReasonLine(FileError(FileOperation::Open, "/in", ENOENT)).id, MessageId::ReasonCannotOpen);
    EXPECT_EQ(ReasonLine(ThreadStartError(EAGAIN)).id, MessageId::ReasonCannotStartThread);
    EXPECT_EQ(ReasonLine(std::bad_alloc()).id, MessageId::ReasonOutOfMemory);
    const MessageLine other = ReasonLine(std::logic_error("broken"));
    EXPECT_EQ(other.id, MessageId::ReasonInternalError);
    EXPECT_EQ(other.arguments, std::vector<std::string>{"broken"});
    // A failure with nothing of its own to say is still not passed over.
    EXPECT_EQ(ReasonLine(FailureError(Failure::Of(FailureReason::ArchiveData))).id, MessageId::ReasonInternalError);
}

}  // namespace
}  // namespace vaultpack
