#include "cli/ContainerInfo.h"

#include "app/PrintableText.h"
#include "crypto/EncryptedContainer.h"
#include "crypto/EncryptedFileHeader.h"
#include "files/FileHandle.h"
#include "jobs/FailureReasons.h"
#include "app/MessageRendering.h"

namespace vaultpack {

ExitStatus PrintContainerInfo(const std::filesystem::path& container, const MessageCatalogue& catalogue,
                              std::ostream& output, std::ostream& errors) {
    const std::string shownPath = PrintableText(container.string(), false);
    EncryptedFileHeader header;
    try {
        const EncryptedContainer opened = EncryptedContainer::Open(container);
        const HeaderCheck check = opened.CheckHeader();
        if (!check.Valid() || !opened.HeaderComplete()) {
            errors << catalogue.Load(FailureMessage(check.failure, MessageId::NotEncryptedFile)) << '\n' << shownPath << '\n';
            return ExitStatus::Failed;
        }
        header = opened.Header();
    } catch (const FileError& error) {
        errors << PrintableText(RenderMessageLine(catalogue, ReasonLine(error)), false) << '\n';
        return ExitStatus::Failed;
    }
    output << "Stored name: " << PrintableText(header.storedName, false) << '\n'
           << "Plain length: " << header.plainLength << '\n'
           << "Hint: " << (header.hint.empty() ? "--" : PrintableText(header.hint, false)) << '\n'
           << "Zip flag: " << static_cast<unsigned>(header.zipFlag) << '\n'
           << "Version: " << static_cast<unsigned>(EncryptedFileHeader::kVersion) << '\n'
           << std::flush;
    return ExitStatus::Done;
}

}  // namespace vaultpack
