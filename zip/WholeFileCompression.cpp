#include "zip/WholeFileCompression.h"

#include <cstddef>
#include <memory>
#include <vector>

#include <libdeflate.h>

#include "files/PerThread.h"
#include "zip/ZipFormat.h"

namespace vaultpack {

namespace {

// libdeflate's level 6 deflates small files tighter than zlib's default
// level, and faster; on larger ones it falls a little behind, level 7 does not.
constexpr std::size_t kSmallFileLimit = 1024 * 1024;
constexpr int kSmallFileLevel = 6;
constexpr int kLargerFileLevel = 7;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// A thread's two compressors, made on its first file; either is null when
// there was no memory for it.
struct Compressors {
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> small{libdeflate_alloc_compressor(kSmallFileLevel)};
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> larger{libdeflate_alloc_compressor(kLargerFileLevel)};
};

}  // namespace

void CompressWhole(PreparedEntry& entry) {
    static PerThread<Compressors> perThread;
    Compressors* compressors = perThread.Get();
    libdeflate_compressor* compressor =
        compressors == nullptr ? nullptr
                               : (entry.data.size() <= kSmallFileLimit ? compressors->small : compressors->larger).get();
    std::size_t produced = 0;
    if (compressor != nullptr && entry.data.size() > 1) {
        std::vector<unsigned char> output(entry.data.size() - 1);
        produced = libdeflate_deflate_compress(compressor, entry.data.data(), entry.data.size(), output.data(),
                                               output.size());
        if (produced > 0) {
            output.resize(produced);
            output.shrink_to_fit();
            entry.data = std::move(output);
        }
    }
    if (produced == 0) {
        entry.method = kMethodStored;
    }
}

}  // namespace vaultpack
