#!/usr/bin/env bash
# Sets up, builds and runs every test: once in a release build (unit tests, the tests
# that load the built VST2, VST3 and LV2 plug-ins, the renderer's tests), once more
# with AddressSanitizer and UndefinedBehaviorSanitizer (unit tests, the VST2, LV2 and
# CLAP plug-ins with their host tests), and the unit tests once more with ThreadSanitizer, the thread
# stress test running longer there.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$root/scripts/setup.sh"

configure "$root/build"
cmake --build "$root/build" -j"$jobs"
(cd "$root/build" && ctest --output-on-failure --no-tests=error -j"$jobs")

# The sanitizer builds are a build type of their own that optimises less (-O1, as the
# sanitizers' authors advise; JUCE's flags add -O3 to Release builds only): their job is
# finding faults, and a cold build of them stays short.
sanitizerBuild=(-DCMAKE_BUILD_TYPE=Sanitize -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -DNDEBUG"
  -DCMAKE_C_FLAGS_SANITIZE="-O1 -DNDEBUG")

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Of the plug-in formats only VST2, LV2 (our own layer) and CLAP (which every plug-in
# build has) are built here, so that their entry layers and the wrapper behind them run
# under the sanitizers too, loaded by the sanitized test hosts.
configure "$root/build-sanitize" "${sanitizerBuild[@]}" -DDUNSKARA_SANITIZE=ON -DDUNSKARA_PLUGINS=ON "-DDUNSKARA_FORMATS=VST;LV2" \
  -DDUNSKARA_BENCH=OFF -DDUNSKARA_TOOLS=OFF
cmake --build "$root/build-sanitize" -j"$jobs"
(cd "$root/build-sanitize" && ctest --output-on-failure --no-tests=error -j"$jobs")

# ThreadSanitizer: the unit tests only (no plug-in formats, tools or benchmarks). Any
# report fails the test that caused it.
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
configure "$root/build-tsan" "${sanitizerBuild[@]}" -DDUNSKARA_TSAN=ON -DDUNSKARA_PLUGINS=OFF \
  -DDUNSKARA_BENCH=OFF -DDUNSKARA_TOOLS=OFF
cmake --build "$root/build-tsan" -j"$jobs" --target dunskara_tests dunskara_dsp_tests
(cd "$root/build-tsan" && DUNSKARA_STRESS_SECONDS=5 ctest --output-on-failure --no-tests=error -j"$jobs")
