#!/usr/bin/env bash
# The host tool end to end on Linux: convert, replace and the safe save, on
# the example instruments, a Debian SoundFont and files another library wrote.
#   tool_roundtrip.sh TOOL EXAMPLES_DIR LIBGIG_FIXTURE_OR_EMPTY
set -euo pipefail
tool=$1
examples=$2
libgig=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# info --json without the file name, for comparing two files' contents.
contents() { "$tool" info --json "$1" | sed 's/^{"file": "[^"]*", //'; }

passed=0
check() { passed=$((passed + 1)); }

for f in piano.dls strings.gig bells.sf2; do
  "$tool" convert --quiet "$examples/$f" "$work/$f" || fail "convert $f"
  [ "$(contents "$examples/$f")" = "$(contents "$work/$f")" ] || fail "$f: info differs after convert"
  "$tool" extract --quiet "$examples/$f" -o "$work/a.wav"
  "$tool" extract --quiet "$work/$f" -o "$work/b.wav"
  cmp -s "$work/a.wav" "$work/b.wav" || fail "$f: audio differs after convert"
  # A file in the writer's own layout comes back byte for byte.
  "$tool" convert --quiet "$work/$f" "$work/again_$f"
  cmp -s "$work/$f" "$work/again_$f" || fail "$f: saving a saved file changed it"
  check
done

# A SoundFont another tool wrote, saved over a copy of itself.
if [ -f /usr/share/sounds/sf2/TimGM6mb.sf2 ]; then
  cp /usr/share/sounds/sf2/TimGM6mb.sf2 "$work/tim.sf2"
  before=$(contents "$work/tim.sf2")
  "$tool" convert --quiet "$work/tim.sf2" "$work/tim.sf2" || fail "convert over the source"
  [ "$before" = "$(contents "$work/tim.sf2")" ] || fail "TimGM6mb: info differs after saving over itself"
  [ -z "$(ls "$work" | grep partial || true)" ] || fail "a partial file was left behind"
  check
fi

# Every reporting command of the tool on the examples and a Debian SoundFont.
"$tool" formats > /dev/null && "$tool" formats --json > /dev/null || fail "formats"
everyone=("$examples/piano.dls" "$examples/strings.gig" "$examples/bells.sf2")
[ -f /usr/share/sounds/sf2/TimGM6mb.sf2 ] && everyone+=(/usr/share/sounds/sf2/TimGM6mb.sf2)
for f in "${everyone[@]}"; do
  for c in identify info waves; do
    "$tool" $c "$f" > /dev/null || fail "$c $f"
    "$tool" $c --json "$f" | python3 -c 'import json, sys; json.load(sys.stdin)' || fail "$c --json $f is not JSON"
  done
  "$tool" extract --quiet "$f" --wave 0 -o "$work/w0.wav" || fail "extract --wave 0 $f"
done
check
if [ -f /usr/share/sounds/sf2/TimGM6mb.sf2 ]; then
  "$tool" export-waves --quiet /usr/share/sounds/sf2/TimGM6mb.sf2 "$work/tim_waves" || fail "export-waves TimGM6mb"
  "$tool" import-waves --quiet /usr/share/sounds/sf2/TimGM6mb.sf2 "$work/tim_waves" -o "$work/tim_imp.sf2" || fail "import-waves TimGM6mb"
  "$tool" convert --quiet /usr/share/sounds/sf2/TimGM6mb.sf2 "$work/tim_conv.sf2"
  cmp -s "$work/tim_imp.sf2" "$work/tim_conv.sf2" || fail "TimGM6mb: unedited import-waves differs from convert"
  "$tool" extract --quiet /usr/share/sounds/sf2/TimGM6mb.sf2 -o "$work/tim_pool.wav"
  "$tool" replace --quiet /usr/share/sounds/sf2/TimGM6mb.sf2 --audio "$work/tim_pool.wav" -o "$work/tim_rep.sf2" || fail "replace TimGM6mb"
  cmp -s "$work/tim_rep.sf2" "$work/tim_conv.sf2" || fail "TimGM6mb: replace with its own audio differs from convert"
  check
fi

# A kind mismatch is refused before anything is written.
if "$tool" convert --quiet "$examples/bells.sf2" "$work/bells.dls" 2> "$work/err"; then fail "sf2 into dls accepted"; fi
grep -q "can only be saved as a SoundFont 2 file" "$work/err" || fail "no clear message for a kind mismatch"
[ ! -e "$work/bells.dls" ] || fail "a refused save left a file"
check

# A save that fails leaves the old file untouched.
cp "$examples/piano.dls" "$work/keep.dls"
printf 'not a wav' > "$work/bad.wav"
if "$tool" replace --quiet "$work/keep.dls" --audio "$work/bad.wav" -o "$work/keep.dls" 2>/dev/null; then fail "bad audio accepted"; fi
cmp -s "$examples/piano.dls" "$work/keep.dls" || fail "a failed save changed the file"
check

# Edited audio: inverted with sox, the waves read back inverted, nothing else changes.
if command -v sox > /dev/null; then
  "$tool" extract --quiet "$examples/piano.dls" -o "$work/pool.wav"
  sox "$work/pool.wav" "$work/inv.wav" vol -1
  "$tool" replace --quiet "$examples/piano.dls" --audio "$work/inv.wav" -o "$work/inv.dls" || fail "replace"
  "$tool" extract --quiet "$work/inv.dls" -o "$work/back.wav"
  cmp -s "$work/inv.wav" "$work/back.wav" || fail "the inverted audio did not come back"
  [ "$(contents "$examples/piano.dls")" = "$(contents "$work/inv.dls")" ] || fail "replace changed more than the audio"
  check
fi

# Wave by wave: exported and imported without edits, a file saves as convert
# saves it; one wave made quieter changes that wave and nothing else; a
# SoundFont sample made longer keeps every other sample's audio and loop, and
# one made shorter has its loop clamped with a message.
sample_headers() { python3 - "$1" <<'PY'
import struct, sys
b = open(sys.argv[1], 'rb').read(); i = b.find(b'shdr'); n = struct.unpack('<I', b[i+4:i+8])[0] // 46
for r in range(n - 1):
    s, e, ls, le = struct.unpack('<IIII', b[i+8+r*46+20:i+8+r*46+36]); print(r, e - s, ls - s, le - s)
PY
}
if command -v sox > /dev/null; then
  for f in piano.dls strings.gig bells.sf2; do
    "$tool" export-waves --quiet "$examples/$f" "$work/w_$f" || fail "export-waves $f"
    [ -f "$work/w_$f/manifest.json" ] || fail "$f: no manifest"
    "$tool" import-waves --quiet "$examples/$f" "$work/w_$f" -o "$work/imp_$f" || fail "import-waves $f"
    "$tool" convert --quiet "$examples/$f" "$work/conv_$f"
    cmp -s "$work/imp_$f" "$work/conv_$f" || fail "$f: unedited import-waves differs from convert"
    one=$(ls "$work/w_$f" | grep '^001-')
    sox "$work/w_$f/$one" "$work/half.wav" vol 0.5
    cp "$work/half.wav" "$work/w_$f/$one"
    "$tool" import-waves --quiet "$examples/$f" "$work/w_$f" -o "$work/half_$f" || fail "import-waves edited $f"
    [ "$(contents "$examples/$f")" = "$(contents "$work/half_$f")" ] || fail "$f: import-waves changed more than audio"
    for w in 0 1 2; do
      "$tool" extract --quiet "$examples/$f" --wave $w -o "$work/a.wav"
      "$tool" extract --quiet "$work/half_$f" --wave $w -o "$work/b.wav"
      if [ $w = 1 ]; then cmp -s "$work/b.wav" "$work/half.wav" || fail "$f: the edited wave did not come back"
      else cmp -s "$work/a.wav" "$work/b.wav" || fail "$f: wave $w changed"; fi
    done
    check
  done
  sox "$work/half.wav" "$work/long.wav" pad 0 0.1
  cp "$work/long.wav" "$work/w_bells.sf2/$(ls "$work/w_bells.sf2" | grep '^001-')"
  "$tool" import-waves --quiet "$examples/bells.sf2" "$work/w_bells.sf2" -o "$work/long.sf2" || fail "import-waves longer"
  for w in 0 2; do
    "$tool" extract --quiet "$examples/bells.sf2" --wave $w -o "$work/a.wav"
    "$tool" extract --quiet "$work/long.sf2" --wave $w -o "$work/b.wav"
    cmp -s "$work/a.wav" "$work/b.wav" || fail "a longer wave 1 changed wave $w"
  done
  [ "$(sample_headers "$examples/bells.sf2" | sed -n '1p;3p')" = "$(sample_headers "$work/long.sf2" | sed -n '1p;3p')" ] \
    || fail "a longer wave 1 moved another sample's loop"
  if command -v fluidsynth > /dev/null; then
    fluidsynth -ni -q -a file -F "$work/fs.raw" "$work/long.sf2" < /dev/null > "$work/fs.txt" 2>&1 || true
    ! grep -qi "error\|not a SoundFont" "$work/fs.txt" || fail "fluidsynth refused the longer file: $(cat "$work/fs.txt")"
  fi
  sox "$work/half.wav" "$work/short.wav" trim 0 1000s
  cp "$work/short.wav" "$work/w_bells.sf2/$(ls "$work/w_bells.sf2" | grep '^001-')"
  "$tool" import-waves "$examples/bells.sf2" "$work/w_bells.sf2" -o "$work/short.sf2" 2> "$work/err" || fail "import-waves shorter"
  grep -q "no longer fits and is clamped" "$work/err" || fail "no message for a clamped loop"
  [ "$(sample_headers "$work/short.sf2" | sed -n 2p)" = "1 1000 1000 1000" ] || fail "the loop was not clamped: $(sample_headers "$work/short.sf2")"
  rm "$work/w_bells.sf2/000-"*.wav
  if "$tool" import-waves --quiet "$examples/bells.sf2" "$work/w_bells.sf2" -o "$work/miss.sf2" 2> "$work/err"; then fail "a missing wave file accepted"; fi
  grep -q "no file for wave 0" "$work/err" && [ ! -e "$work/miss.sf2" ] || fail "a missing wave file: $(cat "$work/err")"
  check
fi

# Files another library wrote: saved, they load in that library's tools with the same samples.
if [ -n "$libgig" ] && [ -x "$libgig" ] && command -v dlsdump > /dev/null; then
  for variant in "dls --channels 1 --bits 16" "dls --channels 2 --bits 8 --frames 1001" "dls --channels 1 --bits 24 --frames 777" \
                 "gig2 --channels 1 --bits 16" "gig3 --channels 2 --bits 24 --frames 1001" "gig3 --channels 1 --bits 8 --frames 333" \
                 "gig4 --channels 2 --bits 16 --frames 999"; do
    kind=${variant%% *}; opts=${variant#* }
    ext=dls; case $kind in gig*) ext=gig;; esac
    # shellcheck disable=SC2086
    "$libgig" "$kind" "$work/lg.$ext" --waves 3 --instruments 2 --regions 2 $opts > /dev/null
    "$tool" convert --quiet "$work/lg.$ext" "$work/lg_saved.$ext" || fail "convert libgig $kind"
    [ "$(contents "$work/lg.$ext")" = "$(contents "$work/lg_saved.$ext")" ] || fail "libgig $kind: info differs"
    "$tool" convert --quiet "$work/lg_saved.$ext" "$work/lg_again.$ext"
    cmp -s "$work/lg_saved.$ext" "$work/lg_again.$ext" || fail "libgig $kind: saving a saved file changed it"
    dump=dlsdump; [ $ext = gig ] && dump=gigdump
    $dump "$work/lg_saved.$ext" > "$work/dump_saved.txt" 2>&1 || fail "$dump refused the saved $kind file"
    ! grep -qi exception "$work/dump_saved.txt" || fail "$dump: exception on the saved $kind file"
    $dump "$work/lg.$ext" > "$work/dump_orig.txt" 2>&1
    [ "$(grep -ci 'sample' "$work/dump_orig.txt")" = "$(grep -ci 'sample' "$work/dump_saved.txt")" ] || fail "$kind: $dump lists other samples"
    # zuinstr lists what libgig's own dump lists, before and after the save.
    for which in orig saved; do
      src="$work/lg.$ext"; [ $which = saved ] && src="$work/lg_saved.$ext"
      "$tool" info --json "$src" > "$work/info.json"
      python3 "$here/dump_matches_info.py" "$work/dump_$which.txt" "$work/info.json" || fail "$kind ($which): info differs from $dump"
    done
    check
  done
fi
echo "$passed passed, 0 failed"
