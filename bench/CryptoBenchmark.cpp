// Throughput of the Blowfish engine beside OpenSSL's single-threaded Blowfish,
// and of whole-file encryption and decryption of a 256 MiB file.
//
//   build/release/bench/crypto_bench --benchmark_counters_tabular=true

// OpenSSL 3 marks its low-level Blowfish calls deprecated; they are the peer here.
#define OPENSSL_SUPPRESS_DEPRECATED

#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "crypto/BlowfishCipher.h"
#include "crypto/DecryptFile.h"
#include "crypto/EncryptFile.h"

namespace {

using vaultpack::BlowfishCipher;

constexpr std::size_t kChunk = 102400;  // the chunk size the file operations use
const std::string kPassword = "Bench-Pa55";

std::vector<unsigned char> RandomBytes(std::size_t count) {
    std::mt19937 generator(42);
    std::vector<unsigned char> bytes(count);
    for (auto& byte : bytes) {
        byte = static_cast<unsigned char>(generator());
    }
    return bytes;
}

void OurEcb(benchmark::State& state, bool encrypt) {
    const BlowfishCipher cipher(reinterpret_cast<const unsigned char*>(kPassword.data()),
                                static_cast<unsigned>(kPassword.size()));
    std::vector<unsigned char> in = RandomBytes(kChunk);
    std::vector<unsigned char> out(kChunk);
    for (auto _ : state) {
        if (encrypt) {
            cipher.Encrypt(in.data(), out.data(), kChunk, vaultpack::kCipherModeEcb);
        } else {
            cipher.Decrypt(in.data(), out.data(), kChunk, vaultpack::kCipherModeEcb);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK_CAPTURE(OurEcb, Encrypt, true);
BENCHMARK_CAPTURE(OurEcb, Decrypt, false);

void OpenSslEcbEncrypt(benchmark::State& state) {
    BF_KEY key;
    BF_set_key(&key, static_cast<int>(kPassword.size()), reinterpret_cast<const unsigned char*>(kPassword.data()));
    std::vector<unsigned char> in = RandomBytes(kChunk);
    std::vector<unsigned char> out(kChunk);
    for (auto _ : state) {
        for (std::size_t offset = 0; offset < kChunk; offset += BF_BLOCK) {
            BF_ecb_encrypt(in.data() + offset, out.data() + offset, &key, BF_ENCRYPT);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kChunk));
}
BENCHMARK(OpenSslEcbEncrypt);

// A 256 MiB random file in the temporary folder, made once and removed at exit.
class BenchFiles {
public:
    BenchFiles() {
        folder_ = std::filesystem::temp_directory_path() / ("vaultpack-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        plain_ = folder_ / "plain.bin";
        std::ofstream out(plain_, std::ios::binary);
        const std::vector<unsigned char> block = RandomBytes(1 << 20);
        for (int i = 0; i < 256; ++i) {
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
        }
    }
    ~BenchFiles() { std::filesystem::remove_all(folder_); }
    const std::filesystem::path& Plain() const { return plain_; }
    std::filesystem::path Container() const { return folder_ / "plain.ezc"; }
    static constexpr std::int64_t kSize = 256LL << 20;

private:
    std::filesystem::path folder_;
    std::filesystem::path plain_;
};

BenchFiles& Files() {
    static BenchFiles files;
    return files;
}

// Freeing the pages of a replaced 256 MiB file is the file system's work, not
// ours; each timed run writes a file that does not exist yet.
void RemoveOutsideTiming(benchmark::State& state, const std::filesystem::path& path) {
    state.PauseTiming();
    std::filesystem::remove(path);
    state.ResumeTiming();
}

void EncryptFile256MiB(benchmark::State& state) {
    for (auto _ : state) {
        RemoveOutsideTiming(state, Files().Container());
        if (!vaultpack::EncryptFile(Files().Plain(), Files().Container(), kPassword, "", false).Completed()) {
            state.SkipWithError("EncryptFile failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * BenchFiles::kSize);
}
BENCHMARK(EncryptFile256MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void DecryptFile256MiB(benchmark::State& state) {
    // The container decrypts to plain.bin again, beside it; the file it was
    // made from is no longer needed after this.
    vaultpack::EncryptFile(Files().Plain(), Files().Container(), kPassword, "", false);
    for (auto _ : state) {
        RemoveOutsideTiming(state, Files().Plain());
        if (!vaultpack::DecryptFile(Files().Container(), kPassword).Completed()) {
            state.SkipWithError("DecryptFile failed");
        }
    }
    state.SetBytesProcessed(state.iterations() * BenchFiles::kSize);
}
BENCHMARK(DecryptFile256MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
