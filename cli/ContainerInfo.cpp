#include "cli/ContainerInfo.h"

#include "cli/PrintableText.h"
#include "crypto/EncryptedFileHeader.h"
#include "crypto/EncryptedFileReaders.h"
#include "files/FileHandle.h"
#include "jobs/FailureReasons.h"
#include "app/MessageRendering.h"

namespace vaultpack {

ExitStatus PrintContainerInfo(const std::filesystem::path& container, const MessageCatalogue& catalogue,
                              std::ostream& output, std::ostream& errors) {
    const std::string shownPath = PrintableText(container.string(), false);
    EncryptedFileHeader::Bytes bytes{};
    try {
        const HeaderCheck check = CheckEncryptedHeader(container);
        if (!check.Valid()) {
            errors << catalogue.Load(FailureMessage(check.failure, MessageId::NotEncryptedFile)) << '\n' << shownPath << '\n';
            return ExitStatus::Failed;
        }
        FileHandle file = FileHandle::OpenForReading(container);
        if (file.Read(bytes.data(), bytes.size()) != bytes.size()) {
            errors << catalogue.Load(MessageId::NotEncryptedFile) << '\n' << shownPath << '\n';
            return ExitStatus::Failed;
        }
    } catch (const FileError& error) {
        errors << PrintableText(RenderMessageLine(catalogue, ReasonLine(error)), false) << '\n';
        return ExitStatus::Failed;
    }
    const EncryptedFileHeader header = EncryptedFileHeader::Parse(bytes);
    output << "Stored name: " << PrintableText(header.storedName, false) << '\n'
           << "Plain length: " << header.plainLength << '\n'
           << "Hint: " << (header.hint.empty() ? "--" : PrintableText(header.hint, false)) << '\n'
           << "Zip flag: " << static_cast<unsigned>(header.zipFlag) << '\n'
           << "Version: " << static_cast<unsigned>(bytes[EncryptedFileHeader::kVersionOffset]) << '\n'
           << std::flush;
    return ExitStatus::Done;
}

}  // namespace vaultpack
