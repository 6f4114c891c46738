#!/usr/bin/env bash
# Installs the build into a temporary root, checks the installed layout and desktop files,
# and runs the installed programs from another working folder: a backup from the simulated
# phone and an import through the importer library beside the program.
# Usage: test_install.sh BUILD_DIR VERSION
set -euo pipefail
build=$1
version=$2
root=$(mktemp -d)
phone_pid=""
cleanup() {
    [ -n "$phone_pid" ] && kill "$phone_pid" 2>/dev/null && wait "$phone_pid" 2>/dev/null
    rm -rf "$root"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"
private="$usr/lib/parlowick"
for program in parlowick parlowick-cli parlowick-phonesim; do
    [ -L "$usr/bin/$program" ] || fail "bin/$program is not a link"
    [ "$(readlink -f "$usr/bin/$program")" = "$(readlink -f "$private/$program")" ] || fail "bin/$program points elsewhere"
    [ -f "$usr/share/man/man1/$program.1.gz" ] || fail "no manual page for $program"
done
for file in "$private/bubble/style.css" "$private/bubble/bb1_01.png" "$private/libcsvimporter.so" \
    "$private/help/index.html" "$usr/share/doc/parlowick/copyright" "$usr/share/doc/parlowick/changelog.gz" \
    "$usr/share/applications/org.parlowick.Parlowick.desktop" \
    "$usr/share/metainfo/org.parlowick.Parlowick.metainfo.xml" \
    "$usr/share/bash-completion/completions/parlowick-cli" "$usr/lib/systemd/user/parlowick-auto@.service"; do
    [ -f "$file" ] || fail "missing ${file#"$root"}"
done
# The automatic backup's user unit runs the installed command line's auto for its instance.
grep -qx 'ExecStart=parlowick-cli auto %I' "$usr/lib/systemd/user/parlowick-auto@.service" ||
    fail "the user unit does not run parlowick-cli auto"
for size in 16 22 24 32 48 64 128 256; do
    icon="$usr/share/icons/hicolor/${size}x${size}/apps/parlowick.png"
    [ -f "$icon" ] || fail "missing icon $size"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$usr/share/applications/org.parlowick.Parlowick.desktop" || fail "desktop entry"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$usr/share/metainfo/org.parlowick.Parlowick.metainfo.xml" >/dev/null ||
        fail "metainfo"
fi
bash -n "$usr/share/bash-completion/completions/parlowick-cli" || fail "completion script"

# The installed programs, started by their links from a folder that holds nothing of theirs.
mkdir -p "$root/elsewhere" "$root/home"
cd "$root/elsewhere"
export XDG_DATA_HOME="$root/home" QT_QPA_PLATFORM=offscreen
cli="$usr/bin/parlowick-cli"
[ "$("$cli" --version)" = "parlowick-cli $version" ] || fail "parlowick-cli --version"
[ "$("$usr/bin/parlowick" --version)" = "parlowick $version" ] || fail "parlowick --version"

# The phone takes a loopback address of its own and says which once it listens there.
"$usr/bin/parlowick-phonesim" --address auto --generate 12,2,3 </dev/null >"$root/phone.log" 2>&1 &
phone_pid=$!
phone=
for _ in $(seq 300); do
    phone=$(sed -n 's/^listening on //p' "$root/phone.log")
    [ -n "$phone" ] && break
    kill -0 "$phone_pid" 2>/dev/null || fail "the simulated phone ended: $(cat "$root/phone.log")"
    sleep 0.1
done
[ -n "$phone" ] || fail "the simulated phone did not start listening"
"$cli" create installed >/dev/null
# The simulated phone needs none of the pauses a real phone's service does.
PARLOWICK_PAUSE_SCALE=0 "$cli" backup installed --wifi "$phone" >/dev/null 2>&1 || fail "backup from the simulated phone"
count=$("$cli" messages installed --json | grep -o '"rowid"' | wc -l)
[ "$count" -eq 14 ] || fail "backup stored $count messages, not 14"

printf '%s\n' 'Received,"Jul 23, 2011 6:12:54 AM",+33681818181,+33681818181,"Bonjour",SMS' \
    'Sent,"Jul 23, 2011 6:15:00 AM",+33681818181,+33681818181,"Salut",SMS' >other.csv
"$cli" import installed other.csv --other >/dev/null 2>&1 || fail "import through the installed importer"
count=$("$cli" messages installed --json | grep -o '"rowid"' | wc -l)
[ "$count" -eq 16 ] || fail "import left $count messages, not 16"

# The installed completion offers account names whole, spaces and quotes in them escaped.
completion="$usr/share/bash-completion/completions/parlowick-cli"
completions() {
    PATH="$usr/bin:$PATH" bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        shift
        COMP_WORDS=("$@")
        COMP_CWORD=$(($# - 1))
        COMP_LINE="$*"
        COMP_POINT=${#COMP_LINE}
        _parlowick_cli parlowick-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | LC_ALL=C sort | paste -sd'|'
}
if [ -f /usr/share/bash-completion/bash_completion ]; then
    for account in "My Phone" "Mine" "it's"; do
        "$cli" create "$account" >/dev/null
    done
    # Expected replies, then the words typed so far (the last one is being completed).
    while IFS=';' read -r expected words; do
        eval "typed=($words)"
        got=$(completions "${typed[@]}")
        [ "$got" = "$expected" ] || fail "completing $words gives '$got', not '$expected'"
    done <<'CASES'
Mine|My\ Phone;parlowick-cli messages M
My\ Phone;parlowick-cli messages 'My\ P'
My Phone;parlowick-cli export "'My P"
My\ Phone;parlowick-cli send --account My
Mine|My\ Phone|installed|it\'s;parlowick-cli import ''
it\'s;parlowick-cli search it
--json|--limit|--verbose;parlowick-cli search --
CASES
else
    echo "bash-completion is not installed: account completion not checked"
fi
echo "installed layout and programs: ok"
