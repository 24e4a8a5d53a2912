#!/usr/bin/env bash
# A real match through a real interface: xboard, headless under Xvfb, plays the engine (first
# engine) against fairymax. The run fails on anything an arbiter would not let pass: an illegal
# move, a legal move refused as illegal, a false result claim, a time forfeit, a crash, a
# sanitizer report, a hang, or a game record that is missing or too short.
#
#   tests/protocol/xboard_match.sh ENGINE [OUTDIR]
#
# Games (QV_MATCH_GAMES, default "plain ponder st1 increment classic"):
#   plain      the engine has white, no pondering, 40 moves in 30 seconds ("level 40 0:30 0")
#   ponder     the engine has black, both sides ponder, 15 seconds plus half a second a move
#   st1        the engine has white, one second per move ("st 1"); no move may take longer
#   increment  the engine has black, 30 seconds plus half a second a move ("level 0 0:30 0.5")
#   classic    the engine has white, 40 moves in 90 seconds ("level 40 1:30 0"), past the
#              first control
# Games still going after QV_MATCH_MAX_MOVES moves (default 50; the classic game 44) are
# adjudicated drawn, which keeps most games near a minute and a half. The engine's standard
# error reaches xboard's pipe, so sanitizer reports land in the log (the engine then stops and
# loses on time).
#
# Besides the faults, each game's record of the engine's clock goes into OUTDIR/report.txt:
# how long each move took as xboard saw it (from the last line xboard sent the engine to the
# engine's move) and the clock xboard last gave it. Under "st" a move that took more than half a
# second beyond its limit is a fault (a generous bound for a shared machine: the engine aims at
# 100 ms under it).
# With QV_MATCH_ADAPTER=polyglot the engine plays in UCI through Debian's polyglot adapter, which
# xboard runs as its first engine with these settings (written to OUTDIR/GAME/engine/polyglot.ini):
#   [PolyGlot]
#   EngineDir = OUTDIR/GAME/engine      the engine's working directory (its Quorvanite.cfg)
#   EngineCommand = ENGINE              polyglot starts it and sends "uci" first
#   Book = false                        no adapter book: the engine's own books play
#   Log = true                          every line between polyglot and the engine is kept in
#   LogFile = OUTDIR/GAME/polyglot.log  the log, which is then checked as well
#   Resign = false
#   [Engine]
#   Hash = 64                           sent as "setoption name Hash value 64"
# xboard's "hard" reaches the engine as "setoption name Ponder value true", "go ponder" and
# "ponderhit" or "stop"; its clock as "go wtime ... btime ... winc ... binc ... [movestogo]".
# Exit 0: every game clean; 1: a fault (details above the summary); 77: xboard, xvfb-run or
# fairymax (or, with the adapter, polyglot) is not installed (QV_MATCH_REQUIRED=1 turns that into
# a failure).
set -euo pipefail

SKIP=77
if [[ $# -lt 1 ]]; then
  echo "usage: $0 ENGINE [OUTDIR]" >&2
  exit 2
fi

find_tool() {
  command -v "$1" 2>/dev/null || { [[ -x /usr/games/$1 ]] && echo "/usr/games/$1"; } || true
}
xboard_bin=$(find_tool xboard)
xvfb_bin=$(find_tool xvfb-run)
fairymax_bin=$(find_tool fairymax)
adapter=${QV_MATCH_ADAPTER:-}
polyglot_bin=
if [[ -n $adapter ]]; then
  if [[ $adapter != polyglot ]]; then
    echo "xboard_match: unknown adapter '$adapter' (polyglot)"
    exit 2
  fi
  polyglot_bin=$(find_tool polyglot)
fi
if [[ -z $xboard_bin || -z $xvfb_bin || -z $fairymax_bin || ( -n $adapter && -z $polyglot_bin ) ]]
then
  echo "xboard_match: needs xboard, xvfb-run and fairymax${adapter:+ and $adapter}" \
       "(apt-get install xboard xvfb xauth fairymax${adapter:+ $adapter})"
  if [[ ${QV_MATCH_REQUIRED:-0} == 1 ]]; then exit 1; fi
  exit $SKIP
fi

engine=$(realpath "$1")
if [[ ! -x $engine ]]; then
  echo "xboard_match: engine $engine is not an executable"
  exit 1
fi
out=${2:-$(mktemp -d /tmp/xboard_match.XXXXXX)}
mkdir -p "$out"
out=$(realpath "$out")
games=${QV_MATCH_GAMES:-plain ponder st1 increment classic}
game_timeout=${QV_MATCH_GAME_TIMEOUT:-400}
report="$out/report.txt"
: > "$report"

faults=0
fault() {
  echo "FAULT: $*"
  faults=$((faults + 1))
}

# Counts the half-moves of one PGN game (tags, comments, move numbers and the result removed).
count_plies() {
  sed -e '/^\[/d' "$1" | tr '\n' ' ' | sed -e 's/{[^}]*}//g' -e 's/([^)]*)//g' |
    tr ' ' '\n' | grep -vE '^$|^[0-9]+\.+$|^(1-0|0-1|1/2-1/2|\*)$' | sed -E 's/^[0-9]+\.+//' |
    grep -c . || true
}

play_game() {
  local name=$1 dir="$out/$1"
  rm -rf "$dir"
  mkdir -p "$dir/engine" "$dir/home"
  # Runs the engine in a directory of its own, with a configuration file of a non-default size,
  # so the start-up path through the configuration reader is exercised too.
  printf '<quorvanite>\n  <hash>64</hash>\n</quorvanite>\n' > "$dir/engine/Quorvanite.cfg"

  local -a side_args
  local max_moves=${QV_MATCH_MAX_MOVES:-50} st_ms=0
  case $name in
    plain)     side_args=(-xponder -mps 40 -tc 0:30) ;;
    ponder)    side_args=(-fb -ponder -tc 0:15 -inc 0.5) ;;
    st1)       side_args=(-xponder -st 0:01); st_ms=1000 ;;
    increment) side_args=(-fb -xponder -tc 0:30 -inc 0.5) ;;
    classic)   side_args=(-xponder -mps 40 -tc 1:30); max_moves=${QV_MATCH_MAX_MOVES:-44} ;;
    *) echo "xboard_match: unknown game '$name' (plain, ponder, st1, increment or classic)"
       exit 2 ;;
  esac

  # The first engine as xboard starts it: the engine itself, or polyglot running it in UCI.
  local first=$engine
  if [[ -n $adapter ]]; then
    printf '%s\n' "[PolyGlot]" "EngineDir = $dir/engine" "EngineCommand = $engine" \
      "Book = false" "Log = true" "LogFile = $dir/polyglot.log" "Resign = false" \
      "[Engine]" "Hash = 64" > "$dir/engine/polyglot.ini"
    first="$polyglot_bin $dir/engine/polyglot.ini"
  fi

  echo "=== game '$name': ${side_args[*]}${adapter:+ (UCI through $adapter)}"
  local start=$SECONDS rc=0
  # HOME points into the output folder, so xboard neither reads nor writes a user's settings.
  HOME="$dir/home" TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1}" \
    timeout --kill-after=20 "$game_timeout" \
    "$xvfb_bin" -a -s "-screen 0 1024x768x24" \
    "$xboard_bin" -noGUI -xexit -saveSettingsOnExit false -soundProgram true \
      -fcp "$first" -fd "$dir/engine" -scp "$fairymax_bin" -sd "$dir" \
      -mg 1 "${side_args[@]}" -autoCallFlag true -testClaims true -checkMates true \
      -adjudicateDrawMoves "$max_moves" \
      -debug -nameOfDebugFile "$dir/debug.log" -saveGameFile "$dir/game.pgn" \
      > "$dir/xboard.out" 2>&1 || rc=$?
  echo "    xboard exit status $rc after $((SECONDS - start)) s; logs in $dir"

  if [[ $rc == 124 || $rc == 137 ]]; then
    fault "$name: xboard did not finish within $game_timeout s (hang?)"
  elif [[ $rc != 0 ]]; then
    fault "$name: xboard ended with status $rc"
  fi

  # What the process printed (the engine's standard error arrives here too).
  local pat='Sanitizer|runtime error:|Segmentation fault|core dumped|exited unexpectedly'
  pat+='|Error reading from|Error writing to|Illegal move|Fatal|fatal'
  if grep -E "$pat" "$dir/xboard.out" > "$dir/xboard.bad" 2>/dev/null; then
    fault "$name: xboard's output has:"
    head -20 "$dir/xboard.bad" | sed 's/^/      /'
  fi

  local log="$dir/debug.log"
  if [[ ! -s $log ]]; then
    fault "$name: no xboard debug log"
    return
  fi
  # Lines the engine sent; an "Error (unknown command)" reply is allowed by the protocol.
  grep -E '^[0-9]+ <first : ' "$log" | sed -E 's/^[0-9]+ <first : //' > "$dir/engine.out" || true
  if grep -E '^(Illegal move|tellusererror|telluser|Error)|Sanitizer|runtime error:' "$dir/engine.out" |
      grep -v '^Error (unknown command)' > "$dir/engine.bad"; then
    fault "$name: the engine said:"
    head -20 "$dir/engine.bad" | sed 's/^/      /'
  fi
  if grep -E '^[0-9]+ <second: Illegal move' "$log" > "$dir/opponent.bad"; then
    fault "$name: fairymax refused a move of the engine:"
    head -5 "$dir/opponent.bad" | sed 's/^/      /'
  fi
  if grep -E 'exited unexpectedly|Error reading from|Error writing to|Forfeit|False .*claim' \
      "$log" > "$dir/xboard.faults"; then
    fault "$name: xboard's log has:"
    head -10 "$dir/xboard.faults" | sed 's/^/      /'
  fi
  if ! grep -q '^feature .*done=1' "$dir/engine.out"; then
    fault "$name: the engine never finished its feature list"
  fi
  local hash_line
  hash_line=$(grep -m1 -o 'Hash table memory size: [0-9]* MByte' "$dir/engine.out" || true)
  if [[ -n $hash_line && $hash_line != *" 64 MByte" ]]; then
    fault "$name: the configuration file asked for 64 MB, the engine says '$hash_line'"
  fi
  if [[ -n $adapter ]]; then adapter_report "$name" "$dir/polyglot.log"; fi
  clock_report "$name" "$log" "$st_ms"
  local moves hints
  moves=$(grep -c '^move ' "$dir/engine.out" || true)
  hints=$(grep -c '^Hint: ' "$dir/engine.out" || true)
  echo "    engine: $moves moves, $hints ponder hints"
  if [[ -z $adapter && $name == ponder && $hints == 0 && $moves -gt 2 ]]; then
    fault "$name: pondering was on but the engine never pondered (no 'Hint:' line)"
  fi

  local pgn="$dir/game.pgn"
  if [[ ! -s $pgn ]]; then
    fault "$name: no game record"
    return
  fi
  local result term plies white black
  result=$(sed -n 's/^\[Result "\(.*\)"\]/\1/p' "$pgn" | tail -1)
  white=$(sed -n 's/^\[White "\(.*\)"\]/\1/p' "$pgn" | tail -1)
  black=$(sed -n 's/^\[Black "\(.*\)"\]/\1/p' "$pgn" | tail -1)
  term=$(tr '\n' ' ' < "$pgn" | grep -oE '\{[^}]*\} *(1-0|0-1|1/2-1/2|\*) *$' || true)
  plies=$(count_plies "$pgn")
  echo "    $white - $black: $result $term ($plies half-moves)"
  case $result in
    1-0|0-1|1/2-1/2) ;;
    *) fault "$name: the game has no result ('$result')" ;;
  esac
  if grep -qiE 'illegal|forfeit|false|flag fell|on time|exit|crash|disconnect|error' \
      <<< "$term"; then
    fault "$name: the game ended by a fault: $term"
  fi
  # Fewer than 20 half-moves is only acceptable when the game really ended on the board.
  if [[ $plies -lt 20 ]] && ! grep -qiE 'mate|repetition|stalemate' <<< "$term"; then
    fault "$name: the game record is short ($plies half-moves)"
  fi
  echo "    --- end of the game record:"
  sed -e '/^\[/d' -e '/^$/d' "$pgn" | tail -4 | sed 's/^/    /'
}

# The engine's side of polyglot's log: after "uciok" only lines a UCI interface reads, every
# search answered, nothing that polyglot sent refused, the configured table size, and pondering
# in the ponder game.
adapter_report() {
  local name=$1 log=$2
  if [[ ! -s $log ]]; then
    fault "$name: no polyglot log"
    return
  fi
  local lines="$out/$name/uci.out"
  # (polyglot logs the end of the engine's output as "EOF".)
  sed -n 's/^[0-9.]* Engine->Adapter: //p' "$log" | grep -v '^EOF$' > "$lines" || true
  if ! grep -q '^uciok$' "$lines"; then
    fault "$name: the engine never answered uci with uciok"
    return
  fi
  local move='[a-h][1-8][a-h][1-8][qrbn]?'
  if sed '1,/^uciok$/d' "$lines" |
      grep -vE "^(info |bestmove $move( ponder $move)?$|readyok$|id |option |uciok$)" \
      > "$out/$name/uci.bad"; then
    fault "$name: the engine printed lines a UCI interface does not read:"
    head -10 "$out/$name/uci.bad" | sed 's/^/      /'
  fi
  if grep -E '^info string (illegal|no option|not enough|position)' "$lines" \
      > "$out/$name/uci.refused"; then
    fault "$name: the engine refused what polyglot sent:"
    head -10 "$out/$name/uci.refused" | sed 's/^/      /'
  fi
  if ! grep -q 'Hash table memory size: 64 MByte' "$lines"; then
    fault "$name: the configuration file asked for 64 MB, the engine says otherwise"
  fi
  local gos bestmoves ponders
  gos=$(grep -cE '^[0-9.]* Adapter->Engine: go( |$)' "$log" || true)
  bestmoves=$(grep -c '^bestmove ' "$lines" || true)
  ponders=$(grep -cE '^[0-9.]* Adapter->Engine: go( .*)? ponder( |$)' "$log" || true)
  echo "    uci: $gos searches asked, $bestmoves answered, $ponders ponder searches"
  # The last search may be cut short by the end of the game.
  if [[ $bestmoves -lt $((gos - 1)) ]]; then
    fault "$name: $((gos - bestmoves)) searches went unanswered"
  fi
  if [[ $name == ponder && $ponders == 0 && $bestmoves -gt 4 ]]; then
    fault "$name: pondering was on but the engine was never asked to ponder"
  fi
}

# How long each of the engine's moves took as xboard saw it: from the last line xboard sent the
# engine (the opponent's move, or go) to the engine's move; the debug log stamps every line in
# milliseconds. Adds one line per game to the report; under st_ms > 0 a move more than half a
# second over the limit is a fault.
clock_report() {
  local name=$1 log=$2 st_ms=$3 summary over
  { read -r over; read -r summary; } < <(awk -v st="$st_ms" '
    / >first : time / { clock = $NF }
    / >first : /      { sent = $1 }
    / <first : move / {
      t = $1 - sent; n++; sum += t
      if (t > longest) longest = t
      if (st > 0 && t > st + 500) over++
    }
    END {
      print over + 0
      if (n == 0) { print "no moves"; exit }
      printf "%d moves, longest %d ms, mean %d ms", n, longest, sum / n
      if (clock != "") printf ", last clock given %.2f s", clock / 100
      if (st > 0) printf ", %d over %d ms + 500", over + 0, st
      printf "\n"
    }' "$log")
  echo "    clock: $summary"
  printf '%-10s %s\n' "$name" "$summary" >> "$report"
  if [[ $over -gt 0 ]]; then fault "$name: $over moves took longer than their limit allows"; fi
}

echo "xboard_match: engine $engine, games: $games, output in $out"
passed=0 failed=0
for game in $games; do
  before=$faults
  play_game "$game"
  if [[ $faults -eq $before ]]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done

echo "xboard_match: the engine's clock (also in $report):"
sed 's/^/    /' "$report"
if [[ $faults -gt 0 ]]; then echo "xboard_match: $faults fault(s); logs in $out"; fi
echo "xboard_match: $passed passed, $failed failed"
[[ $failed -eq 0 ]]
