#!/bin/sh
# Draws docs/frontier.svg: the cells a phpBB post of 60,000 characters holds against the mean
# CIEDE2000 difference, --merge alone and with --best-runs, one panel per photo of Debian's
# mate-backgrounds. Run by hand from the top of the tree after building frontier_bench; needs
# gnuplot (apt-get install gnuplot-nox) and mate-backgrounds.
#   scripts/frontier-plot.sh [build directory]
set -eu
build=${1:-build}
points=$(mktemp)
trap 'rm -f "$points"' EXIT
"$build/bench/frontier_bench" "$points"
gnuplot <<PLOT
set terminal svg size 1200,760 dynamic font "sans,11"
set output "docs/frontier.svg"
set multiplot layout 2,3 title "Cellules dans un message phpBB de 60 000 caractères"
set xlabel "écart CIEDE2000 moyen"
set ylabel "cellules"
set key top left
set grid
do for [i=0:4] {
    name = system("awk 'NF { print \$1 }' $points | uniq | sed -n " . (i + 1) . "p")
    set title name
    plot "$points" index i using 4:3 with linespoints title "--merge", \
         "$points" index i using 6:5 with linespoints title "--merge --best-runs"
}
unset multiplot
PLOT
echo "docs/frontier.svg"
