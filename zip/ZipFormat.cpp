#include "zip/ZipFormat.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>

#include "files/AsciiCase.h"
#include "files/PerThread.h"

namespace vaultpack {

namespace {

// Unicode code points of the bytes 0x80 to 0xFF in code page 437.
constexpr std::array<char32_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

constexpr std::array<std::string_view, 8> kStoredExtensions = {
    ".z", ".zip", ".zoo", ".arc", ".lzh", ".arj", ".gz", ".tgz",
};

constexpr std::uint16_t kTimestampExtraTag = 0x5455;
constexpr std::uint16_t kNtfsExtraTag = 0x000a;
constexpr std::uint16_t kUnixOldExtraTag = 0x5855;
// NTFS times count 100 ns ticks from 1601; 1970 is this many seconds later.
constexpr std::uint64_t kNtfsTicksPerSecond = 10000000;
constexpr std::time_t kNtfsEpochOffset = 11644473600;
// The last second of 2037, the latest time the timestamp field holds.
constexpr std::time_t kLatestTimestamp = 2145916799;

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

unsigned char* PutLittleEndian(unsigned char* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        *out++ = static_cast<unsigned char>(value >> (8 * i));
    }
    return out;
}

std::uint32_t ClampedTimestamp(std::time_t time) {
    return static_cast<std::uint32_t>(std::clamp<std::time_t>(time, 0, kLatestTimestamp));
}

// An extended-timestamp field with flags 7 and the given times.
template <std::size_t Count>
std::array<unsigned char, 5 + 4 * Count> TimestampExtra(const std::time_t (&times)[Count]) {
    std::array<unsigned char, 5 + 4 * Count> field{};
    unsigned char* out = PutLittleEndian(field.data(), kTimestampExtraTag, 2);
    out = PutLittleEndian(out, 1 + 4 * Count, 2);
    *out++ = 7;
    for (const std::time_t time : times) {
        out = PutLittleEndian(out, ClampedTimestamp(time), 4);
    }
    return field;
}

// The times one kind of field held; of two fields of a kind, the first counts.
struct FoundTimes {
    std::optional<FileTime> modification;
    std::optional<FileTime> access;
    std::optional<FileTime> creation;
};

void Keep(std::optional<FileTime>& slot, std::optional<FileTime> time) {
    if (!slot) {
        slot = time;
    }
}

FileTime FromUnixSeconds(const unsigned char* bytes) {
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(bytes, 4)))};
}

// Writers leave a time they do not know at 0.
std::optional<FileTime> FromNtfsTicks(const unsigned char* bytes) {
    const std::uint64_t ticks = LittleEndian(bytes, 8);
    if (ticks == 0) {
        return std::nullopt;
    }
    return FileTime{static_cast<std::time_t>(ticks / kNtfsTicksPerSecond) - kNtfsEpochOffset,
                    static_cast<long>(ticks % kNtfsTicksPerSecond) * 100};
}

// "UT": flags, then the times the flags name, in flag order, each only when
// its flag is set; the central copy usually carries flags 7 with only the first.
void ReadExtendedTimestamps(std::span<const unsigned char> data, FoundTimes& found) {
    if (data.empty()) {
        return;
    }
    std::size_t offset = 1;
    for (auto [bit, slot] : {std::pair{1u, &found.modification}, std::pair{2u, &found.access},
                             std::pair{4u, &found.creation}}) {
        if ((data[0] & bit) != 0 && offset + 4 <= data.size()) {
            Keep(*slot, FromUnixSeconds(&data[offset]));
            offset += 4;
        }
    }
}

// NTFS: four reserved bytes, then attributes by tag and size; tag 1 holds the
// modification, access and creation times as 100 ns ticks since 1601, UTC.
void ReadNtfsTimes(std::span<const unsigned char> data, FoundTimes& found) {
    ForEachExtraField(data.subspan(std::min<std::size_t>(4, data.size())),
                      [&](std::uint16_t tag, std::span<const unsigned char> attribute) {
                          if (tag == 1 && attribute.size() >= 24) {
                              Keep(found.modification, FromNtfsTicks(&attribute[0]));
                              Keep(found.access, FromNtfsTicks(&attribute[8]));
                              Keep(found.creation, FromNtfsTicks(&attribute[16]));
                          }
                      });
}

// The old Info-ZIP Unix field "UX": access and modification time, then in the
// local header the owner's user and group ids.
void ReadUnixOldTimes(std::span<const unsigned char> data, FoundTimes& found) {
    if (data.size() >= 8) {
        Keep(found.access, FromUnixSeconds(&data[0]));
        Keep(found.modification, FromUnixSeconds(&data[4]));
    }
}

}  // namespace

bool IsStoredExtension(std::string_view storedName) {
    const std::size_t dot = storedName.rfind('.');
    if (dot == std::string_view::npos) {
        return false;
    }
    const std::string_view extension = storedName.substr(dot);
    return std::any_of(kStoredExtensions.begin(), kStoredExtensions.end(),
                       [&](std::string_view known) { return EqualIgnoringAsciiCase(extension, known); });
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF.
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

bool NeedsUtf8Flag(std::string_view name) {
    const bool ascii = std::all_of(name.begin(), name.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    });
    return !ascii && IsValidUtf8(name);
}

std::string DecodeEntryName(std::string_view rawName, bool fromDosHost) {
    if (!fromDosHost || IsValidUtf8(rawName)) {
        return std::string(rawName);
    }
    std::string decoded;
    decoded.reserve(rawName.size() * 2);
    for (const char c : rawName) {
        const auto byte = static_cast<unsigned char>(c);
        AppendUtf8(decoded, byte < 0x80 ? byte : kCp437High[byte - 0x80]);
    }
    return decoded;
}

namespace {

// The C library keeps the time zone it reads in state that all threads share;
// workers that convert local times at once take turns, which also lets the
// thread checker see them apart.
std::mutex timeZoneMutex;

}  // namespace

std::uint32_t DosDateTimeFromTime(std::time_t time) {
    std::tm local{};
    std::unique_lock lock(timeZoneMutex);
    const bool converted = ::localtime_r(&time, &local) != nullptr;
    lock.unlock();
    if (!converted || local.tm_year < 80) {
        return (1 << 5 | 1) << 16;  // 1 January 1980, 00:00:00
    }
    if (local.tm_year > 207) {
        return static_cast<std::uint32_t>((127 << 9 | 12 << 5 | 31) << 16 | (23 << 11 | 59 << 5 | 29));
    }
    const auto date = static_cast<std::uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const auto clock = static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return date << 16 | clock;
}

std::time_t TimeFromDosDateTime(std::uint32_t dosDateTime) {
    // The entries of an archive mostly share a few times, and each conversion
    // costs the C library a look at the time zone file: each thread keeps its
    // last one, with the TZ setting it was made under.
    struct Conversion {
        std::uint32_t dosDateTime = 0;
        std::optional<std::string> zone;
        std::time_t time = 0;
    };
    static PerThread<std::optional<Conversion>> perThread;
    std::optional<Conversion>* const last = perThread.Get();  // null without memory: no cache
    const char* const zoneSetting = std::getenv("TZ");
    const std::optional<std::string> zone =
        zoneSetting != nullptr ? std::optional<std::string>(zoneSetting) : std::nullopt;
    if (last != nullptr && *last && (*last)->dosDateTime == dosDateTime && (*last)->zone == zone) {
        return (*last)->time;
    }
    const std::uint32_t date = dosDateTime >> 16;
    const std::uint32_t clock = dosDateTime & 0xFFFF;
    std::tm local{};
    local.tm_year = static_cast<int>(date >> 9) + 80;
    local.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    local.tm_mday = static_cast<int>(date & 0x1F);
    local.tm_hour = static_cast<int>(clock >> 11);
    local.tm_min = static_cast<int>((clock >> 5) & 0x3F);
    local.tm_sec = static_cast<int>(clock & 0x1F) * 2;
    local.tm_isdst = -1;
    std::unique_lock lock(timeZoneMutex);
    const std::time_t time = std::mktime(&local);
    lock.unlock();
    const std::time_t converted = time == static_cast<std::time_t>(-1) ? 0 : time;
    if (last != nullptr) {
        *last = Conversion{dosDateTime, zone, converted};
    }
    return converted;
}

std::array<unsigned char, kLocalTimestampExtraSize> LocalTimestampExtra(std::time_t modification,
                                                                        std::time_t access,
                                                                        std::time_t creation) {
    return TimestampExtra({modification, access, creation});
}

std::array<unsigned char, kCentralTimestampExtraSize> CentralTimestampExtra(std::time_t modification) {
    return TimestampExtra({modification});
}

EntryTimes ReadEntryTimes(std::uint32_t dosDateTime,
                          std::initializer_list<std::span<const unsigned char>> extraBlocks) {
    FoundTimes found[3];  // by kind of field, most exact first: NTFS, "UT", "UX"
    for (const std::span<const unsigned char> block : extraBlocks) {
        ForEachExtraField(block, [&](std::uint16_t tag, std::span<const unsigned char> data) {
            switch (tag) {
                case kNtfsExtraTag: ReadNtfsTimes(data, found[0]); break;
                case kTimestampExtraTag: ReadExtendedTimestamps(data, found[1]); break;
                case kUnixOldExtraTag: ReadUnixOldTimes(data, found[2]); break;
                default: break;
            }
        });
    }
    const auto mostExact = [&](std::optional<FileTime> FoundTimes::*slot) -> std::optional<FileTime> {
        for (const FoundTimes& kind : found) {
            if (kind.*slot) {
                return kind.*slot;
            }
        }
        return std::nullopt;
    };
    EntryTimes times;
    // The DOS time is read as local time, which costs a look at the time zone
    // file; only entries without a better field need it.
    const std::optional<FileTime> modification = mostExact(&FoundTimes::modification);
    times.modification = modification ? *modification : FileTime{TimeFromDosDateTime(dosDateTime)};
    times.access = mostExact(&FoundTimes::access).value_or(times.modification);
    times.creation = mostExact(&FoundTimes::creation).value_or(times.modification);
    return times;
}

}  // namespace vaultpack
