#!/usr/bin/env bash
# Installs what is missing, builds Vaultpack (Release with warnings as errors,
# address/undefined and thread sanitizer builds, a fuzz build) and runs the
# test suite.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh test

jobs=$(nproc)

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVAULTPACK_WERROR=ON -DVAULTPACK_BUILD_BENCH=ON
cmake --build build/release --parallel "$jobs"
ctest --test-dir build/release --output-on-failure --parallel "$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVAULTPACK_WERROR=ON -DVAULTPACK_SANITIZE=ON
cmake --build build/sanitize --parallel "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure --parallel "$jobs" -L unit

# The engine's threaded code under ThreadSanitizer: every job test runs its job
# on a worker thread through the job runner.
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVAULTPACK_WERROR=ON -DVAULTPACK_SANITIZE_THREAD=ON
# Only those programs are built; ctest runs their tests with the same time
# limits as the other builds and leaves out the placeholders of the others.
cmake --build build/tsan --parallel "$jobs" --target files_tests crypto_tests zip_tests job_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure --parallel "$jobs" -L unit -E '_NOT_BUILT$'

# The ZipReader fuzz target needs clang's libFuzzer: a third, small build of
# that target only, and a time-bounded run from its seed archives.
if command -v clang++ >/dev/null; then
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVAULTPACK_FUZZ=ON
  cmake --build build/fuzz --parallel "$jobs" --target zip_reader_fuzzer
  ctest --test-dir build/fuzz --output-on-failure -L fuzz
fi
