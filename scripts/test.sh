#!/usr/bin/env bash
# Sets up everything and runs every test, headless:
#   0. every C++ source laid out as .clang-format says;
#   1. a build with warnings as errors, all tests and a short run of each benchmark;
#   2. a build with AddressSanitizer and UndefinedBehaviorSanitizer, all tests again;
#   3. recorded games checked side by side on threads under ThreadSanitizer;
#   4. the ranking server alone, built and tested with every SDL package hidden;
#   5. a brief libFuzzer run of each parser of outside bytes (clang, ASan, UBSan);
#   6. the Windows build (mingw-w64, the SDL family from Debian's source packages, cached
#      outside the clone) made into its zip and tried under Wine in Xvfb as a player would;
#   7. the Debian packages built, checked by lintian, installed, tried and purged in a clean
#      Debian 12 root (a logged skip where Debian's archive cannot be reached).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

export SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy
jobs=$(nproc)
fuzz_seconds=${BRAKKEL_FUZZ_SECONDS:-30}

# The ranking server's tests run against a real PostgreSQL server too: a throwaway one,
# stopped on the way out. With BRAKKEL_TEST_PG_URI set, those tests fail if it is unreachable.
eval "$("$root/scripts/pg-test-server.sh" start)"
trap '"$root/scripts/pg-test-server.sh" stop' EXIT

echo "== layout of the sources"
"$root/scripts/format-check.sh"

echo "== build (warnings are errors)"
cmake -S "$root" -B "$root/build" -DBRAKKEL_WERROR=ON >/dev/null
cmake --build "$root/build" -j "$jobs"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"
for bench in "$root"/build/bin/*_bench; do
  [[ -x "$bench" ]] && "$bench" --benchmark_min_time=0.05 >/dev/null
done

echo "== build with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$root" -B "$root/build-asan" -DBRAKKEL_WERROR=ON -DBRAKKEL_SANITIZE=ON \
  -DBRAKKEL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$root/tests/lsan.supp" \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs"

echo "== recorded games checked on four threads at once, under ThreadSanitizer"
cmake -S "$root" -B "$root/build-tsan" -DBRAKKEL_WERROR=ON -DBRAKKEL_TSAN=ON -DBRAKKEL_GAME=OFF \
  -DBRAKKEL_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build-tsan" -j "$jobs" --target rules_test
TSAN_OPTIONS=halt_on_error=1 "$root/build-tsan/bin/rules_test"

echo "== the ranking server alone, without SDL"
"$root/scripts/server-alone.sh" "$root/build-server" || [[ $? -eq 77 ]]

echo "== fuzzing, ${fuzz_seconds} s per parser"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DBRAKKEL_FUZZ=ON \
  -DBRAKKEL_BENCH=OFF >/dev/null
cmake --build "$root/build-fuzz" -j "$jobs" --target fuzzers
for fuzzer in "$root"/build-fuzz/bin/*_fuzz; do
  name=$(basename "$fuzzer" _fuzz)
  corpus="$root/build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  cp "$root"/build/data/*."$name" "$root"/tests/replays/*."$name" "$root"/build-fuzz/seeds/"$name"/* "$corpus"/ 2>/dev/null || true
  "$fuzzer" -max_total_time="$fuzz_seconds" -rss_limit_mb=4096 -print_final_stats=0 "$corpus" \
    2> "$root/build-fuzz/$name.log" || { tail -n 60 "$root/build-fuzz/$name.log"; exit 1; }
  echo "$name: $(grep -c . "$corpus"/* /dev/null | wc -l) inputs in corpus, no fault"
done
echo "== the Windows zip, built and tried under Wine"
# The game data is the first build's; the Windows programs' own unit tests run under Wine
# with scripts/windows/build.sh alone: on a loaded 2-core machine their build took about 17
# minutes and their 200 cases under Wine 11, twice what this step may take.
BRAKKEL_HOST_BUILD="$root/build" BRAKKEL_WIN_TESTS=0 "$root/scripts/windows/build.sh" "$root/build-windows"
"$root/scripts/windows/package.sh" "$root/build-windows"
"$root/scripts/windows/try.sh" "$(ls "$root"/build-packages/brakkel-*-windows-x64.zip | tail -n 1)" "$root/build/bin"

echo "== the Debian packages, built and tried in a clean Debian 12 root"
"$root/scripts/package.sh" deb
"$root/scripts/package-test.sh" deb
echo "all tests passed"
