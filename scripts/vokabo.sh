#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up a Debian 12 or 13 machine for Vokabo, builds it, then starts it, runs every test or packages it.
#   scripts/vokabo.sh run      install, build, start Vokabo on the bundled course
#   scripts/vokabo.sh test     install, build, run the whole test suite
#   scripts/vokabo.sh check    install, build, then the deeper check: the formatting, the whole tree built
#                              with clang and the test suite under ASan + UBSan, clang-tidy, the learning
#                              record's and the speech tests under ThreadSanitizer, every fuzz target for
#                              30 s and the crash harness for 50 kills
#   scripts/vokabo.sh package  install, build with Debian's hardening flags, write vokabo_<version>_<arch>.deb
#                              here (apt install ./vokabo_*.deb installs it)
#   scripts/vokabo.sh distro-check
#                              make the package, then in fresh minimal Debian 12 and 13 chroots install it
#                              with apt, start it as a learner would, and validate it (as root; the chroots
#                              are cached in build-distro/)
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-}
case "$what" in
run | test | check | package | distro-check) ;;
*)
    echo "usage: $0 run|test|check|package|distro-check" >&2
    exit 2
    ;;
esac

# qt6-declarative-dev: Debian 12's qt6-speech-dev needs its CMake package but does not depend on it.
# pulseaudio: the speech tests play into a null sink of a private sound server. xvfb, openbox, x11-utils:
# the window tests that need frames run on an X server of their own with a window manager.
packages=(cmake g++ make pkg-config qt6-base-dev libqt6sql6-sqlite libgl-dev libssl-dev libbenchmark-dev
    fonts-noto-cjk mdbtools-dev file dpkg-dev desktop-file-utils appstream lintian
    qt6-speech-dev qt6-declarative-dev qt6-speech-flite-plugin pulseaudio qt6-charts-dev xvfb openbox x11-utils)
if [ "$what" = check ]; then
    packages+=(clang-14 clang-format-14 clang-tidy-14 libclang-rt-14-dev llvm-14)
fi
if [ "$what" = distro-check ]; then
    [ "$(id -u)" -eq 0 ] || exec sudo "$PWD/scripts/vokabo.sh" "$@"
    packages+=(debootstrap)
fi
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ "$what" = package ] || [ "$what" = distro-check ]; then
    build=${VOKABO_PACKAGE_BUILD_DIR:-build-package}
    CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF -DVOKABO_BENCH=OFF
    cmake --build "$build" -j "$(nproc)"
    rm -f "$build"/vokabo_*.deb
    (cd "$build" && cpack -G DEB)
    cp "$build"/vokabo_*.deb .
    ls vokabo_*.deb
    [ "$what" = package ] && exit 0
    exec scripts/distro-check.sh "$(ls "$build"/vokabo_*.deb)"
fi

build=${VOKABO_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j "$(nproc)"

if [ "$what" = run ]; then
    exec "$build/bin/vokabo"
fi
if [ "$what" = test ]; then
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
    exit
fi

started=$SECONDS
echo "== the source formatted as .clang-format says"
unformatted=$(git ls-files '*.cpp' '*.h' | xargs clang-format-14 --dry-run 2>&1 | grep -c 'warning:' || true)
if [ "$unformatted" -ne 0 ]; then
    git ls-files '*.cpp' '*.h' | xargs clang-format-14 --dry-run 2>&1 | grep 'warning:' | head -20
    echo "clang-format: $unformatted places to reformat (clang-format-14 -i FILE)" >&2
    exit 1
fi

echo "== the whole tree built with clang, and the test suite under AddressSanitizer and UndefinedBehaviorSanitizer"
asan=${VOKABO_ASAN_BUILD_DIR:-build-asan}
# -O1 and line tables only: what the sanitizers need for exact reports, and much quicker to build.
CXX=clang++-14 cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DVOKABO_SANITIZE=ON \
    -DVOKABO_BENCH=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
cmake --build "$asan" -j "$(nproc)"
LSAN_OPTIONS=suppressions=$PWD/scripts/lsan-suppressions.txt QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$asan" --output-on-failure -j "$(nproc)"

echo "== clang-tidy over the program's code (.clang-tidy)"
run-clang-tidy-14 -p "$asan" -j "$(nproc)" -quiet \
    '^'"$PWD"'/(core|words|history|access|review|drill|speech|ui|menu|study|stats|app|tools)/[^/]+\.cpp$'

echo "== the tests with threads of their own under ThreadSanitizer"
tsan=${VOKABO_TSAN_BUILD_DIR:-build-tsan}
CXX=clang++-14 cmake -S . -B "$tsan" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" -DVOKABO_TSAN=ON \
    -DVOKABO_BENCH=OFF
cmake --build "$tsan" -j "$(nproc)" --target tst_learningrecord tst_errorbook tst_texttospeechspeaker
# Debian's Qt and PulseAudio are not built with ThreadSanitizer: it cannot see how they hand data between
# their own threads (futexes, atomics of their own) and would report each hand-over as a race inside them,
# QtTest's watchdog thread included. ignore_noninstrumented_modules leaves out what those libraries do
# themselves; every access of Vokabo's own code is still checked.
TSAN_OPTIONS="ignore_noninstrumented_modules=1 second_deadlock_stack=1" QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$tsan" --output-on-failure -j "$(nproc)" \
    -R '^(tst_learningrecord|tst_errorbook|tst_texttospeechspeaker.*)$'


echo "== every fuzz target for 30 s"
scripts/fuzz.sh 30

echo "== the crash harness for 50 kills"
"$build/bin/vokabo_crash_harness" 50
echo "== the deeper check passed in $((SECONDS - started)) s"
