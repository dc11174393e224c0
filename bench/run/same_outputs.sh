#!/usr/bin/env bash
# Runs two builds of mosaiq-cli on the same photos with the same option sets and says whether
# every output (page, HTML code, bracket code, posts, PNG, a batch) is the same bytes: the check
# that a change of how runs are put together changed none of what they write.
#   bench/run/same_outputs.sh OLD-mosaiq-cli NEW-mosaiq-cli [PHOTO...]
# Without photos, those of Debian's mate-backgrounds. Prints one line per option set and photo,
# and exits 1 if any differs.
set -uo pipefail
old="$(realpath "$1")" new="$(realpath "$2")"
shift 2
photos=("$@")
if [ ${#photos[@]} -eq 0 ]; then
    photos=(/usr/share/backgrounds/mate/nature/{LadyBird,Dune,Storm}.jpg)
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

sets=(
    "--columns 160 --rows 90"
    "--columns 120 --rows 60 --square --bold --italic"
    "--columns 90 --rows 45 --random --colours grey --no-centre"
    "--columns 100 --rows 50 --chars é♥x --background #336699"
    "--columns 200 --rows 100 --merge=8 --dialect phpbb --split"
    "--columns 160 --rows 80 --merge=6 --best-runs --dialect smf"
    "--columns 150 --rows 70 --dialect irc"
    "--columns 120 --rows 60 --dialect discord --split"
    "--fit post --dialect vbulletin"
    "--columns 80 --rows 40 --palette 16 --dither diffusion --stats"
    "--columns 1200 --rows 300 --dialect xenforo --split"
    "--columns 200 --rows 100 --shapes all"
    "--columns 960 --rows 540 --shapes all --dialect phpbb"
    "--columns 160 --rows 80 --shapes blocks --merge=6 --dialect phpbb"
    "--columns 150 --rows 75 --shapes ascii --merge=4 --best-runs --dialect smf"
    "--columns 120 --rows 60 --shapes braille --reader-background #FFFFFF --dialect discord"
    "--columns 100 --rows 50 --shapes all --foreground-only --transparent background"
)

different=0
# Both runs in folders of the same name, so that any name written into an output is the same.
run() {
    local cli="$1" folder="$2" photo="$3"
    shift 3
    rm -rf "$work/out" && mkdir -p "$work/out" && (
        cd "$work/out" || exit 1
        # shellcheck disable=SC2068
        "$cli" "$photo" -o page.html --html-code html.txt --blog-code blog.txt --png page.png \
            $@ >stdout.txt 2>stderr.txt
        echo "exit $?" >>stderr.txt
    )
    rm -rf "$folder" && mv "$work/out" "$folder"
}
for photo in "${photos[@]}"; do
    for options in "${sets[@]}"; do
        run "$old" "$work/old" "$photo" "$options"
        run "$new" "$work/new" "$photo" "$options"
        if diff -r "$work/old" "$work/new" >/dev/null; then
            echo "same       $(basename "$photo") $options"
        else
            echo "DIFFERENT  $(basename "$photo") $options"
            diff -rq "$work/old" "$work/new" | sed 's/^/           /'
            different=1
        fi
    done
done
# A batch, four jobs.
for side in old new; do
    cli=$old
    [ $side = new ] && cli=$new
    rm -rf "$work/batch-$side" && mkdir -p "$work/batch-$side"
    "$cli" "${photos[@]}" --output-dir "$work/batch-$side" --jobs 4 --columns 120 --rows 60 --png --dialect mybb --split \
        >"$work/batch-$side.log" 2>&1
done
if diff -r "$work/batch-old" "$work/batch-new" >/dev/null; then
    echo "same       batch of ${#photos[@]}"
else
    echo "DIFFERENT  batch of ${#photos[@]}"
    different=1
fi
exit $different
