#include "cli/ArchiveListing.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "app/PrintableText.h"
#include "zip/ZipReader.h"

namespace vaultpack {

std::string FormatUtcTime(std::time_t time) {
    std::tm parts{};
    char text[32] = {};
    if (::gmtime_r(&time, &parts) == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts) == 0) {
        return "@" + std::to_string(time);  // a year too far out to be written in four digits
    }
    return text;
}

namespace {

// How an encrypted entry is protected, after its name; nothing for a plain one.
std::string ProtectionNote(const ZipEntryInfo& info, const MessageCatalogue& catalogue) {
    switch (info.encryption) {
        case EntryEncryption::None: return {};
        case EntryEncryption::Aes:
            return "  (" + catalogue.Format(MessageId::ListedAesEntry, std::to_string(info.aesKeyBits)) + ")";
        case EntryEncryption::Traditional: return "  (" + catalogue.Load(MessageId::ListedWeakEntry) + ")";
        case EntryEncryption::Unreadable: break;
    }
    return "  (" + catalogue.Load(MessageId::ListedUnreadableEntry) + ")";
}

}  // namespace

ExitStatus PrintArchiveListing(const std::filesystem::path& archive, const MessageCatalogue& catalogue,
                               std::ostream& output, std::ostream& errors) {
    const std::string shownPath = PrintableText(archive.string(), false);
    ZipResult reason = ZipResult::Success;
    std::unique_ptr<ZipReader> reader = ZipReader::Open(archive, &reason);
    if (!reader) {
        errors << catalogue.Load(MessageId::OpenZipFailed) << '\n'
               << ZipResultText(reason) << '\n'
               << shownPath << '\n';
        return ExitStatus::Failed;
    }
    ZipEntryInfo info;
    ZipResult result = reader->GetEntry(-1, info);
    if (result != ZipResult::Success) {
        errors << ZipResultText(result) << '\n' << shownPath << '\n';
        reader->Close();
        return ExitStatus::Failed;
    }
    ExitStatus status = ExitStatus::Done;
    const std::int64_t count = info.entryCount;
    for (std::int64_t i = 0; i < count; ++i) {
        result = reader->GetEntry(i, info);
        if (result != ZipResult::Success) {
            errors << ZipResultText(result) << " (entry " << i + 1 << " of " << count << ")\n";
            status = ExitStatus::Failed;
            continue;
        }
        char size[32];
        std::snprintf(size, sizeof size, "%12llu", static_cast<unsigned long long>(info.uncompressedSize));
        output << size << "  " << FormatUtcTime(info.lastWriteTime) << "  " << PrintableText(info.name, false)
               << ProtectionNote(info, catalogue) << '\n';
    }
    reader->Close();
    output << std::flush;
    return status;
}

}  // namespace vaultpack
