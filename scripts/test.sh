#!/bin/sh
# Builds everything and runs every test; then builds the table store's and
# table files' tests once more with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan) and runs them there. The whole run
# must stay well under 15 minutes on two cores: the test build carries no
# debug information (most of the link time), and the sanitizer build takes
# the tests of the code that reads and writes files, with line tables only.
set -e
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG"
cmake --build build -j"$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$(nproc)"

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" \
      -DCMAKE_CXX_FLAGS="$sanitize" \
      -DCMAKE_EXE_LINKER_FLAGS="$sanitize"
targets=""
for source in tests/foundation/tst_table*.cpp tests/foundation/tst_crashsafety.cpp \
              tests/foundation/tst_numerictext.cpp; do
    targets="$targets foundation_$(basename "$source" .cpp)"
done
# shellcheck disable=SC2086 # one argument per target
cmake --build build-asan -j"$(nproc)" --target $targets
ASAN_OPTIONS=detect_stack_use_after_return=1:strict_string_checks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan -R '^foundation_tst_(table|crashsafety|numerictext)' \
    --output-on-failure \
    -j"$(nproc)"
