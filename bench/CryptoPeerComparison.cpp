// Encrypts and decrypts the same 256 MiB file with vaultpack's EncryptFile and
// DecryptFile and with `openssl enc -bf-ecb` in one run, each in a child
// process, and prints the best wall time of each, their ratio and each child's
// peak resident memory. The cipher text of both must be the same bytes.
//
//   build/release/bench/crypto_peer_compare [runs (default 5)] [MiB (default 256)]

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/BenchFiles.h"
#include "bench/ChildRuns.h"
#include "crypto/CipherChunks.h"
#include "crypto/DecryptFile.h"
#include "crypto/EncryptFile.h"
#include "crypto/EncryptedFileHeader.h"

namespace {

namespace fs = std::filesystem;
using vaultpack::bench::ChildRun;
using vaultpack::bench::kBenchPassword;
using vaultpack::bench::Keep;
using vaultpack::bench::RunCommand;
using vaultpack::bench::RunInChild;
using vaultpack::bench::SameBytes;
using vaultpack::bench::WriteRandomFile;

std::string HexOf(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : bytes) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

struct Best {
    ChildRun peer;
    ChildRun ours;
};

void Print(const char* operation, const Best& best) {
    std::printf("%-8s  openssl %6.3f s  %6.1f MiB   vaultpack %6.3f s  %6.1f MiB   openssl/vaultpack %5.2f\n",
                operation, best.peer.seconds, best.peer.peakKiB / 1024.0, best.ours.seconds,
                best.ours.peakKiB / 1024.0, best.peer.seconds / best.ours.seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int mebibytes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 256;

    const fs::path folder = fs::temp_directory_path() / ("vaultpack-peer-bench-" + std::to_string(::getpid()));
    const fs::path ours = folder / "ours";  // DecryptFile restores beside the container
    fs::create_directories(ours);
    const fs::path plain = folder / "plain.bin";
    const fs::path container = ours / "plain.ezc";
    const fs::path restored = ours / "plain.bin";
    const fs::path peerCipher = folder / "peer.bin";
    const fs::path peerPlain = folder / "peer.plain";
    WriteRandomFile(plain, mebibytes);

    const std::vector<std::string> peerEncrypt{"openssl", "enc", "-bf-ecb", "-provider", "legacy", "-provider",
                                               "default", "-K", HexOf(kBenchPassword), "-nosalt", "-nopad",
                                               "-in", plain.string(), "-out", peerCipher.string()};
    std::vector<std::string> peerDecrypt = peerEncrypt;
    peerDecrypt.insert(peerDecrypt.begin() + 2, "-d");
    peerDecrypt[peerDecrypt.size() - 3] = peerCipher.string();
    peerDecrypt.back() = peerPlain.string();

    // Each run writes files that do not exist yet, so that freeing the pages
    // of a replaced file is not timed; the runs take turns.
    Best encrypt;
    Best decrypt;
    for (int run = 0; run < runs; ++run) {
        fs::remove(peerCipher);
        Keep(encrypt.peer, RunCommand(peerEncrypt), "openssl encrypt");
        fs::remove(container);
        Keep(encrypt.ours,
             RunInChild([&] { return vaultpack::EncryptFile(plain, container, kBenchPassword, "", false).Completed(); }),
             "vaultpack encrypt");
        fs::remove(peerPlain);
        Keep(decrypt.peer, RunCommand(peerDecrypt), "openssl decrypt");
        fs::remove(restored);
        Keep(decrypt.ours, RunInChild([&] { return vaultpack::DecryptFile(container, kBenchPassword).Completed(); }),
             "vaultpack decrypt");
    }

    std::printf("%d MiB, best of %d runs, %u cipher threads\n", mebibytes, runs, vaultpack::DefaultCipherWorkers());
    Print("encrypt", encrypt);
    Print("decrypt", decrypt);
    const bool sameCipher = SameBytes(container, vaultpack::EncryptedFileHeader::kSize, peerCipher);
    const bool sameRestored = SameBytes(restored, 0, plain);
    std::printf("cipher text identical to openssl's: %s; restored file identical: %s\n", sameCipher ? "yes" : "NO",
                sameRestored ? "yes" : "NO");
    fs::remove_all(folder);
    return sameCipher && sameRestored ? 0 : 1;
}
