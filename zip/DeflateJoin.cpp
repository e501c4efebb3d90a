#include "zip/DeflateJoin.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace vaultpack {

namespace {

// Walks a deflate stream's blocks without making their output: only the
// Huffman codes are decoded, to find where each block ends.

constexpr int kMostCodeBits = 15;

// The stream's bits, least significant first, through a 64-bit buffer;
// zeros past the end (Overran then says so).
class BitReader {
public:
    BitReader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

    // The next `count` bits, at most 32.
    std::uint32_t Peek(int count) {
        if (have_ < count) {
            Refill();
        }
        return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << count) - 1));
    }
    // Drops `count` bits of those Peek has just seen.
    void Skip(int count) {
        buffer_ >>= count;
        have_ -= count;
        position_ += static_cast<std::uint64_t>(count);
    }
    std::uint32_t Get(int count) {
        const std::uint32_t bits = Peek(count);
        Skip(count);
        return bits;
    }
    // Moves to `position`, counted in bits from the start.
    void MoveTo(std::uint64_t position) {
        position_ = position;
        next_ = static_cast<std::size_t>(std::min<std::uint64_t>(position / 8, size_ + std::uint64_t{1}));
        buffer_ = 0;
        have_ = 0;
        Refill();
        buffer_ >>= position % 8;
        have_ -= static_cast<int>(position % 8);
    }
    std::uint64_t Position() const { return position_; }
    bool Overran() const { return position_ > std::uint64_t{size_} * 8; }

private:
    void Refill() {
        if (next_ + 8 <= size_) {
            std::uint64_t word = 0;
            std::memcpy(&word, data_ + next_, 8);
            buffer_ |= word << have_;
            next_ += static_cast<std::size_t>((63 - have_) / 8);
            have_ |= 56;
            return;
        }
        for (; have_ <= 56; have_ += 8, ++next_) {
            buffer_ |= std::uint64_t{next_ < size_ ? data_[next_] : 0u} << have_;
        }
    }

    const unsigned char* data_;
    std::size_t size_;
    std::size_t next_ = 0;  // the next byte to load
    std::uint64_t buffer_ = 0;
    int have_ = 0;  // bits in buffer_
    std::uint64_t position_ = 0;
};

// A canonical Huffman code. Codes of up to kFastBits bits are found with one
// look-up of the stream's next bits (an entry holds the symbol << 4 | the
// code's length; 0 for a longer code); the rare longer codes are decoded bit
// by bit from the counts of codes of each length.
class HuffmanTable {
public:
    bool Build(const std::uint8_t* lengths, int symbols) {
        counts_.fill(0);
        for (int symbol = 0; symbol < symbols; ++symbol) {
            ++counts_[lengths[symbol]];
        }
        counts_[0] = 0;
        std::array<std::uint32_t, kMostCodeBits + 1> next{};
        std::array<int, kMostCodeBits + 1> offsets{};
        std::uint32_t code = 0;
        for (int length = 1; length <= kMostCodeBits; ++length) {
            code = (code + static_cast<std::uint32_t>(counts_[length - 1])) << 1;
            next[length] = code;
            if (code + static_cast<std::uint32_t>(counts_[length]) > (1u << length)) {
                return false;  // more codes of this length than there is room for
            }
            if (length < kMostCodeBits) {
                offsets[length + 1] = offsets[length] + counts_[length];
            }
        }
        fast_.fill(0);
        for (int symbol = 0; symbol < symbols; ++symbol) {
            const int length = lengths[symbol];
            if (length == 0) {
                continue;
            }
            sorted_[static_cast<std::size_t>(offsets[length]++)] = static_cast<std::uint16_t>(symbol);
            const std::uint32_t codeOfSymbol = next[length]++;
            if (length <= kFastBits) {
                const auto entry = static_cast<std::uint16_t>(symbol << 4 | length);
                for (std::uint32_t index = Reverse(codeOfSymbol, length); index < fast_.size(); index += 1u << length) {
                    fast_[index] = entry;
                }
            }
        }
        return true;
    }

    // The next symbol, or -1 where no code matches.
    int Decode(BitReader& bits) const {
        if (const std::uint16_t entry = fast_[bits.Peek(kFastBits)]; entry != 0) {
            bits.Skip(entry & 15);
            return entry >> 4;
        }
        int code = 0;
        int first = 0;
        int index = 0;
        for (int length = 1; length <= kMostCodeBits; ++length) {
            code |= static_cast<int>(bits.Get(1));
            const int count = counts_[length];
            if (code - first < count) {
                return sorted_[static_cast<std::size_t>(index + code - first)];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    static constexpr int kFastBits = 10;

    static std::uint32_t Reverse(std::uint32_t code, int length) {
        std::uint32_t reversed = 0;
        for (int bit = 0; bit < length; ++bit) {
            reversed = reversed << 1 | (code >> bit & 1);
        }
        return reversed;
    }

    std::array<int, kMostCodeBits + 1> counts_{};
    std::array<std::uint16_t, 288> sorted_{};  // symbols by code length, then value
    std::array<std::uint16_t, 1u << kFastBits> fast_{};
};

constexpr int kEndOfBlock = 256;

int LengthExtraBits(int symbol) { return symbol < 265 || symbol == 285 ? 0 : (symbol - 261) / 4; }
int DistanceExtraBits(int symbol) { return symbol < 4 ? 0 : (symbol - 2) / 2; }

struct BlockTables {
    HuffmanTable lengths;
    HuffmanTable distances;
};

// Skips one block's Huffman-coded symbols up to its end-of-block code.
bool SkipSymbols(BitReader& bits, const BlockTables& tables) {
    for (;;) {
        const int symbol = tables.lengths.Decode(bits);
        if (symbol < 0 || symbol > 285 || bits.Overran()) {
            return false;
        }
        if (symbol == kEndOfBlock) {
            return true;
        }
        if (symbol > kEndOfBlock) {
            bits.Get(LengthExtraBits(symbol));
            const int distance = tables.distances.Decode(bits);
            if (distance < 0 || distance > 29) {
                return false;
            }
            bits.Get(DistanceExtraBits(distance));
        }
    }
}

const BlockTables& FixedTables() {
    static const BlockTables tables = [] {
        BlockTables fixed;
        std::array<std::uint8_t, 288> lengths{};
        for (int symbol = 0; symbol < 288; ++symbol) {
            lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
        }
        fixed.lengths.Build(lengths.data(), 288);
        std::array<std::uint8_t, 30> distances{};
        distances.fill(5);
        fixed.distances.Build(distances.data(), 30);
        return fixed;
    }();
    return tables;
}

// Reads a dynamic block's code lengths and builds its tables.
bool ReadDynamicTables(BitReader& bits, BlockTables& tables) {
    static constexpr std::array<int, 19> kOrder{16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int lengthCodes = static_cast<int>(bits.Get(5)) + 257;
    const int distanceCodes = static_cast<int>(bits.Get(5)) + 1;
    if (lengthCodes > 286 || distanceCodes > 30) {
        return false;  // codes that deflate does not have
    }
    const int codeLengthCodes = static_cast<int>(bits.Get(4)) + 4;
    std::array<std::uint8_t, 19> codeLengths{};
    for (int index = 0; index < codeLengthCodes; ++index) {
        codeLengths[kOrder[index]] = static_cast<std::uint8_t>(bits.Get(3));
    }
    HuffmanTable codeLengthTable;
    if (!codeLengthTable.Build(codeLengths.data(), 19)) {
        return false;
    }
    std::array<std::uint8_t, 286 + 30> lengths{};
    const int total = lengthCodes + distanceCodes;
    for (int index = 0; index < total;) {
        const int symbol = codeLengthTable.Decode(bits);
        int repeat = 1;
        std::uint8_t value = 0;
        if (symbol < 0 || bits.Overran()) {
            return false;
        } else if (symbol < 16) {
            value = static_cast<std::uint8_t>(symbol);
        } else if (symbol == 16) {
            if (index == 0) {
                return false;
            }
            value = lengths[index - 1];
            repeat = 3 + static_cast<int>(bits.Get(2));
        } else {
            repeat = symbol == 17 ? 3 + static_cast<int>(bits.Get(3)) : 11 + static_cast<int>(bits.Get(7));
        }
        if (index + repeat > total) {
            return false;
        }
        for (; repeat > 0; --repeat) {
            lengths[index++] = value;
        }
    }
    return tables.lengths.Build(lengths.data(), lengthCodes) &&
           tables.distances.Build(lengths.data() + lengthCodes, distanceCodes);
}

}  // namespace

bool ContinueAfter(std::vector<unsigned char>& stream) {
    BitReader bits(stream.data(), stream.size());
    static thread_local BlockTables dynamic;
    std::uint64_t finalHeader = 0;
    for (bool last = false; !last;) {
        finalHeader = bits.Position();
        last = bits.Get(1) != 0;
        const std::uint32_t type = bits.Get(2);
        if (type == 0) {
            bits.MoveTo((bits.Position() + 7) / 8 * 8);
            const std::uint32_t length = bits.Get(16);
            if ((bits.Get(16) ^ 0xFFFF) != length) {
                return false;
            }
            bits.MoveTo(bits.Position() + std::uint64_t{length} * 8);
        } else if (type == 1) {
            if (!SkipSymbols(bits, FixedTables())) {
                return false;
            }
        } else if (type != 2 || !ReadDynamicTables(bits, dynamic) || !SkipSymbols(bits, dynamic)) {
            return false;
        }
        if (bits.Overran()) {
            return false;
        }
    }
    const std::uint64_t end = bits.Position();
    if ((end + 7) / 8 != stream.size()) {
        return false;  // more follows the last block
    }
    stream[finalHeader / 8] &= static_cast<unsigned char>(~(1u << (finalHeader % 8)));
    // The bits after the end are the empty stored block's header (three
    // zeros: not last, stored) and its padding to the byte boundary.
    const std::size_t used = static_cast<std::size_t>((end + 3 + 7) / 8);
    stream.resize(used, 0);
    if (end % 8 != 0 && end / 8 < used) {
        stream[end / 8] &= static_cast<unsigned char>((1u << (end % 8)) - 1);
    }
    for (std::size_t byte = static_cast<std::size_t>((end + 7) / 8); byte < used; ++byte) {
        stream[byte] = 0;
    }
    stream.insert(stream.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

}  // namespace vaultpack
