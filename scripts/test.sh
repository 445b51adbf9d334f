#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test suite; then builds again
# with AddressSanitizer and UndefinedBehaviorSanitizer, and with ThreadSanitizer, and runs the
# unit suites under each.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

echo "== Build and every suite, the real-window one included (build/)"
# Warnings are errors in the project's own builds (off by default for packagers and users).
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMBRIK_E2E=ON \
  -DLUMBRIK_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== The unit suites under AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/)"
# The benchmarks measure the normal build only; they are not built here.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMBRIK_SANITIZE=ON \
  -DLUMBRIK_WERROR=ON -DLUMBRIK_E2E=OFF -DLUMBRIK_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
# Any finding, leaks included, fails the suite.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j "$jobs" -E '^install$'

echo "== The unit suites under ThreadSanitizer (build-tsan/)"
# The render service's workers beside the one UI thread.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMBRIK_SANITIZE=thread \
  -DLUMBRIK_WERROR=ON -DLUMBRIK_E2E=OFF -DLUMBRIK_BENCH=OFF >/dev/null
cmake --build build-tsan -j "$jobs"
# Qt is not instrumented: what it does inside itself (its own thread pool, its locks) is not
# judged. Qt starts helper processes with a vfork-style clone that the sanitizer takes for a
# fork of a threaded process. Its shadow memory needs the fixed layout that ASLR can disturb.
TSAN_OPTIONS=halt_on_error=1:ignore_noninstrumented_modules=1:die_after_fork=0 \
  setarch "$(uname -m)" -R ctest --test-dir build-tsan --output-on-failure -j "$jobs" -E '^install$'
