#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs a Vokabo package into fresh minimal chroots of Debian 12 and 13, as a new learner would, and
# checks it there: apt brings in what it needs, the program starts offscreen as an ordinary user and
# shows the menu, it still starts with another of the CJK fonts that it accepts, and the metainfo, the
# desktop entry and the package pass each release's own appstreamcli, desktop-file-validate and lintian.
#   scripts/distro-check.sh PACKAGE.deb [RELEASE …]     (as root; scripts/vokabo.sh distro-check runs it)
# The releases are bookworm and trixie unless named. Each release's debootstrap is cached in
# build-distro/RELEASE/base, and the packages that apt downloads in build-distro/RELEASE/archives; every
# run starts from a fresh copy of the base, in build-distro/RELEASE/root, which is removed when the
# release passes. The Debian archive is the one that this machine's apt uses (VOKABO_DEBIAN_MIRROR
# overrides it). The first run downloads about 300 MB a release, later runs only what has changed.
set -euo pipefail
cd "$(dirname "$0")/.."

deb=$(realpath "${1:?usage: $0 PACKAGE.deb [RELEASE ...]}")
shift
releases=("$@")
((${#releases[@]})) || releases=(bookworm trixie)
[ "$(id -u)" -eq 0 ] || {
    echo "$0: debootstrap and chroot need root" >&2
    exit 2
}
cache=$PWD/build-distro
learner=learner

# The first archive of Debian's own packages that apt here uses: a one-line "deb [options] URI suite …"
# or a deb822 "URIs:" line.
mirror() {
    if [ -n "${VOKABO_DEBIAN_MIRROR:-}" ]; then
        echo "$VOKABO_DEBIAN_MIRROR"
        return
    fi
    local found
    found=$(
        {
            cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
                sed -n 's/^[[:space:]]*deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]\+\).*/\2/p'
            cat /etc/apt/sources.list.d/*.sources 2>/dev/null | sed -n 's/^URIs:[[:space:]]*//p' | tr ' ' '\n'
        } | grep -E '/debian/?$' | head -n 1
    ) || true
    echo "${found:-http://deb.debian.org/debian}"
}

mounted=()
unmount_all() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
    done
    mounted=()
}
trap unmount_all EXIT

fail() {
    echo "distro-check $release: $*" >&2
    exit 1
}

# Runs a command in the chroot as root, with a clean environment.
as_root() {
    chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
# apt without a terminal of its own: the chroot has no /dev/pts.
chroot_apt() {
    as_root apt-get -o Dpkg::Use-Pty=0 "$@"
}
# Runs a command in the chroot as the learner, as a login would, with no display.
as_learner() {
    chroot --userspec="$learner_id" "$root" env -i PATH=/usr/bin:/bin HOME=/home/$learner USER=$learner \
        LANG=C.UTF-8 XDG_RUNTIME_DIR=/tmp/runtime-$learner "$@"
}

# The face that the program shows its Song text (宋体) in: Qt's font matching says which family it
# looked up for that request first.
song_face() {
    as_learner QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES='qt.text.font.match.debug=true' \
        vokabo --quit-after-menu >/dev/null 2>"$root/tmp/vokabo.err" ||
        fail "vokabo did not start: $(cat "$root/tmp/vokabo.err")"
    awk '/family: \?\? / { asked = 1; next } asked && /looking for best foundry for family/ { print; exit }' \
        "$root/tmp/vokabo.err" | sed "s/.*family '\([^']*\)'.*/\1/"
}

# apt's figures for one install: what it downloads and what it adds on disk.
apt_install() {
    local log=$root/tmp/apt.log
    chroot_apt install -y -q "$@" >"$log" 2>&1 || {
        cat "$log" >&2
        fail "apt-get install $* failed"
    }
    grep -E '^(Need to get|After this operation)' "$log" | sed 's/^/    /'
}

check_release() {
    release=$1
    local started=$SECONDS base=$cache/$release/base
    root=$cache/$release/root
    echo "== $release"
    if [ ! -e "$base/.complete" ]; then
        echo "   debootstrap $release from $(mirror)"
        rm -rf "$base" "$base.partial"
        mkdir -p "$cache/$release"
        debootstrap --variant=minbase "$release" "$base.partial" "$(mirror)" \
            >"$cache/$release/debootstrap.log" 2>&1 ||
            fail "debootstrap failed; see $cache/$release/debootstrap.log"
        touch "$base.partial/.complete"
        mv "$base.partial" "$base"
    fi
    # A run that was killed may have left its mounts: never remove through them.
    local left
    for left in $(awk -v root="$root" 'index($2, root "/") == 1 { print $2 }' /proc/mounts | sort -r); do
        umount "$left" || umount -l "$left"
    done
    rm -rf "$root"
    cp -a "$base" "$root"
    echo "   minimal system: $(du -sm "$root" | cut -f1) MB"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    mount -t proc proc "$root/proc"
    mounted+=("$root/proc")
    mkdir -p "$cache/$release/archives/partial"
    mount --bind "$cache/$release/archives" "$root/var/cache/apt/archives"
    mounted+=("$root/var/cache/apt/archives")

    chroot_apt update -q >/dev/null || fail "apt-get update failed"
    cp "$deb" "$root/tmp/"
    echo "   apt-get install ./$(basename "$deb")"
    apt_install "/tmp/$(basename "$deb")"
    as_root dpkg-query -W -f='   Qt ${Version}\n' libqt6widgets6 2>/dev/null ||
        as_root dpkg-query -W -f='   Qt ${Version}\n' libqt6widgets6t64
    # The program's modules are private: nothing may run ldconfig for them.
    local script
    for script in postinst postrm preinst prerm triggers shlibs; do
        [ ! -e "$root/var/lib/dpkg/info/vokabo.$script" ] || fail "the package has a $script file"
    done

    as_root useradd --create-home "$learner"
    learner_id=$(as_root id -u "$learner"):$(as_root id -g "$learner")
    local shown
    shown=$(as_learner QT_QPA_PLATFORM=offscreen vokabo --quit-after-menu 2>"$root/tmp/vokabo.err") ||
        fail "vokabo did not start: $(cat "$root/tmp/vokabo.err")"
    [ "$shown" = "menu window shown, data in /home/$learner/.local/share/vokabo" ] ||
        fail "first start: $shown"
    as_learner vokabo-words check "/home/$learner/.local/share/vokabo/MyDatas.db" >/dev/null 2>&1 ||
        fail "the learner's copy of the course does not pass vokabo-words check"
    local status=0
    as_learner vokabo --bogus 2>"$root/tmp/vokabo.err" || status=$?
    [ "$status" = 1 ] && grep -q "Unknown option 'bogus'" "$root/tmp/vokabo.err" ||
        fail "vokabo --bogus without a display: status $status, $(cat "$root/tmp/vokabo.err")"
    as_learner vokabo-words --version | grep -qx "vokabo-words [0-9.]*" || fail "vokabo-words --version"
    local face
    face=$(song_face)
    [ "$face" = "Noto Serif CJK SC" ] || fail "the Song face is '$face', not Noto Serif CJK SC"
    echo "   started as $learner: menu shown in $face, the course copied into ~/.local/share/vokabo"

    # Another font that the package accepts in place of Noto CJK: the program finds it.
    echo "   fonts-arphic-uming in place of fonts-noto-cjk"
    apt_install fonts-arphic-uming
    chroot_apt purge -y -q fonts-noto-cjk >/dev/null
    as_root dpkg-query -W -f='${Status}\n' vokabo | grep -q 'install ok installed' ||
        fail "removing fonts-noto-cjk removed vokabo"
    face=$(song_face)
    [ "$face" = "AR PL UMing CN" ] || fail "the Song face is '$face', not AR PL UMing CN"
    echo "   menu shown in $face"

    echo "   appstreamcli, desktop-file-validate and lintian of $release"
    apt_install --no-install-recommends appstream desktop-file-utils lintian
    as_root appstreamcli --version | sed 's/^/   /'
    as_root appstreamcli validate --no-net --pedantic /usr/share/metainfo/org.vokabo.Vokabo.metainfo.xml ||
        fail "appstreamcli validate failed"
    as_root desktop-file-validate /usr/share/applications/org.vokabo.Vokabo.desktop ||
        fail "desktop-file-validate failed"
    echo "   $(as_root lintian --version)"
    as_learner lintian --pedantic --fail-on error,warning,info,pedantic --tag-display-limit 0 \
        "/tmp/$(basename "$deb")" ||
        fail "lintian --pedantic found something"

    unmount_all
    rm -rf "$root"
    echo "== $release passed in $((SECONDS - started)) s"
}

for release in "${releases[@]}"; do
    check_release "$release"
done
