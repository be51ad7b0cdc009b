#!/bin/sh
# Builds everything and runs every test; then builds the foundation's tests
# once more with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan)
# and runs them there.
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1 $sanitize" \
      -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
targets=""
for source in tests/foundation/tst_*.cpp; do
    targets="$targets foundation_$(basename "$source" .cpp)"
done
# shellcheck disable=SC2086 # one argument per target
cmake --build build-asan -j"$(nproc)" --target $targets
ASAN_OPTIONS=detect_stack_use_after_return=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan -R '^foundation_tst_' --output-on-failure \
    -j"$(nproc)"
