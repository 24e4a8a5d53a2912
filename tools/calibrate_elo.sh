#!/bin/sh
# Plays the engine at UCI_Elo N against Debian's Stockfish at the same
# UCI_Elo, for each N given (FULL: the engine at full strength against
# Stockfish at 2850). One game at a time, so that the machine's load moves
# the result as little as it can.
#   tools/calibrate_elo.sh [-g GAMES] [-t TC] [-o OPENINGS.epd] ENGINE N...
# Defaults: 40 games, tc 4+0.04. The openings: an EPD file of starting
# positions (each played with both colours). Both engines may overrun the
# clock by 200 ms (timemargin), so that a loaded machine decides no game by
# time. Each point's games go to calibration-N-TIME.pgn; the result lines
# are fastchess's own.
set -eu
games=40 tc=4+0.04 openings=openings.epd
while getopts g:t:o: flag; do
    case $flag in
    g) games=$OPTARG ;;
    t) tc=$OPTARG ;;
    o) openings=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
engine=$1
shift
fastchess=${FASTCHESS:-fastchess}
stockfish=${STOCKFISH:-/usr/games/stockfish}
for elo in "$@"; do
    if [ "$elo" = FULL ]; then
        own="option.UCI_LimitStrength=false"
        theirs="option.UCI_Elo=${SF_ELO:-2850}"
    else
        own="option.UCI_LimitStrength=true option.UCI_Elo=$elo"
        theirs="option.UCI_Elo=$elo"
    fi
    echo "== UCI_Elo $elo, $games games at $tc, load $(cut -d' ' -f1-3 /proc/loadavg)"
    # shellcheck disable=SC2086
    "$fastchess" -engine cmd="$engine" name=quorvanite $own \
        -engine cmd="$stockfish" name=stockfish option.UCI_LimitStrength=true $theirs \
        -each proto=uci tc="$tc" timemargin=200 -rounds $((games / 2)) -repeat -concurrency 1 \
        -openings file="$openings" format=epd order=random \
        -pgnout file="calibration-$elo-$(date +%H%M%S).pgn" 2>&1 |
        grep -E '^(Elo|Games|Ptnml)' | tail -3
done
