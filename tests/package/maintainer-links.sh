#!/usr/bin/env bash
# The maintainer scripts of vorlanx-service run as root inside /var/lib/vorlanx, a directory that
# the account vorlanx owns and can fill with symbolic links. This installs the package into this
# machine's dpkg once per link, at each name the scripts create there, pointing to an existing
# root-owned file and to a missing one in /etc, and purges it at the end: no target may be
# created, written, or given away, and each install must end well or say why not.
#   tests/package/maintainer-links.sh build/package/vorlanx-service_*.deb
# Run as root, under flock /tmp/vorlanx-stage.lock (scripts/package runs it). It puts back a
# /var/lib/vorlanx and a vorlanx account that were there before it.
set -euo pipefail
deb=$(realpath "$1")
dir=/var/lib/vorlanx
[ "$(id -u)" -eq 0 ] || { echo "maintainer-links: needs root (it installs into dpkg)" >&2; exit 1; }

work=$(mktemp -d /tmp/vorlanx-links.XXXXXX)
saved=""
had_user=false
getent passwd vorlanx >/dev/null && had_user=true
if dpkg-query -W -f='${Status}' vorlanx-service 2>/dev/null | grep -q 'install ok installed'; then
    echo "maintainer-links: vorlanx-service is installed on this machine; not touching it" >&2
    exit 1
fi
if [ -e "$dir" ] || [ -L "$dir" ]; then
    saved=$dir.before-links-test.$$
    mv "$dir" "$saved"
fi
existing=/etc/vorlanx-links-test-existing.$$
missing=/etc/vorlanx-links-test-missing.$$
cleanup() {
    dpkg --purge vorlanx-service >/dev/null 2>&1 || true
    rm -rf "$dir" "$work" "$existing" "$missing"
    if [ -n "$saved" ]; then mv "$saved" "$dir"; fi
    if ! $had_user && getent passwd vorlanx >/dev/null; then
        userdel vorlanx 2>/dev/null || true
        groupdel vorlanx 2>/dev/null || true
    fi
}
trap cleanup EXIT

failures=0
fail() {
    echo "maintainer-links: FAIL: $*" >&2
    failures=$((failures + 1))
}
as_vorlanx() { setpriv --reuid=vorlanx --regid=vorlanx --clear-groups -- "$@"; }
state() { stat -c '%u:%g %a' "$1"; }

install_package() {
    if dpkg -i "$deb" >"$work/dpkg.log" 2>&1; then
        return 0
    fi
    return 1
}

# The first install makes the account and the directory, as on a fresh server.
install_package || { cat "$work/dpkg.log" >&2; echo "maintainer-links: the first install failed" >&2; exit 1; }

printf 'root only\n' >"$existing"
chown root:root "$existing"
chmod 0644 "$existing"
existing_sum=$(sha256sum "$existing" | cut -d' ' -f1)

cases=0
for name in conf.ini conf.ini.dpkg-new canteen.db canteen.db-wal canteen.db-shm canteen.db-journal; do
    for target in "$existing" "$missing"; do
        cases=$((cases + 1))
        # What vorlanx can do in its own directory: remove the files so that a reinstall makes
        # them again, and put a link in their place.
        case $name in
        conf.ini*) as_vorlanx rm -f "$dir/conf.ini" "$dir/conf.ini.dpkg-new" ;;
        canteen.db*) as_vorlanx rm -f "$dir/canteen.db" "$dir/canteen.db-wal" "$dir/canteen.db-shm" "$dir/canteen.db-journal" ;;
        esac
        as_vorlanx ln -s "$target" "$dir/$name"
        what="link $name -> $target"
        if install_package; then
            dpkg-query -W -f='${Status}' vorlanx-service | grep -q 'install ok installed' ||
                fail "$what: dpkg -i ended well but the package is not installed"
        elif ! grep -q 'vorlanx-service:' "$work/dpkg.log"; then
            cat "$work/dpkg.log" >&2
            fail "$what: the install failed without saying why"
        fi
        if [ "$(state "$existing")" != "0:0 644" ] || [ "$(sha256sum "$existing" | cut -d' ' -f1)" != "$existing_sum" ]; then
            fail "$what: $existing is now $(state "$existing"), content $(head -c 40 "$existing" | od -An -c | head -1)"
            printf 'root only\n' >"$existing"
            chown root:root "$existing"
            chmod 0644 "$existing"
        fi
        if [ -e "$missing" ] || [ -L "$missing" ]; then
            fail "$what: $missing was created, $(state "$missing")"
            rm -f "$missing"
        fi
        # Whatever the scripts made in the directory is vorlanx's and for vorlanx alone.
        for made in "$dir/conf.ini" "$dir/canteen.db"; do
            if [ -f "$made" ] && [ ! -L "$made" ] && [ "$(stat -c '%U %a' "$made")" != "vorlanx 600" ]; then
                fail "$what: $made is $(stat -c '%U %a' "$made")"
            fi
        done
        rm -f "$dir/$name"
    done
done

dpkg --purge vorlanx-service >"$work/purge.log" 2>&1 || { cat "$work/purge.log" >&2; fail "purge failed"; }
[ "$(state "$existing")" = "0:0 644" ] || fail "after the purge: $existing is $(state "$existing")"
[ ! -e "$missing" ] || fail "after the purge: $missing exists"

if [ "$failures" -gt 0 ]; then
    echo "maintainer-links: $failures of the checks failed over $cases installs" >&2
    exit 1
fi
echo "maintainer-links: $cases installs with a link at each path the scripts write: no target created, written or given away"
