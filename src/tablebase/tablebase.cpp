// The Syzygy tables through the Fathom library: the engine's position as
// Fathom's square sets, its outcome, and its root moves ranked.
#include "tablebase/tablebase.h"

int tablebase_pieces = 0;

namespace {

std::string loaded_path;           // the path of the last load; written while no search runs
std::vector<std::string> damaged;  // tablebase_damaged_files(); written with loaded_path

}  // namespace

const std::string& tablebase_path() {
    return loaded_path;
}

const std::vector<std::string>& tablebase_damaged_files() {
    return damaged;
}

#if defined(QUORVANITE_SYZYGY)

#include <tbprobe.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"

namespace {

// The position as Fathom takes it. Its squares are numbered as the board's
// square sets number them (a1 = 0, h8 = 63), so the sets pass unchanged.
struct FathomPosition {
    std::uint64_t white, black, kings, queens, rooks, bishops, knights, pawns;
    unsigned rule50;  // the fifty-move counter, plies
    unsigned ep;      // the square passed over by a double push, 0 for none
    bool white_to_move;
};

SquareSet of_both_colours(int white_code) {
    return position.piece_squares[white_code] |
           position.piece_squares[white_code + (B_PAWN - W_PAWN)];
}

FathomPosition fathom_position() {
    const PositionState& st = position.state;
    return {position.colour_squares[WHITE],
            position.colour_squares[BLACK],
            of_both_colours(W_KING),
            of_both_colours(W_QUEEN),
            of_both_colours(W_ROOK),
            of_both_colours(W_BISHOP),
            of_both_colours(W_KNIGHT),
            of_both_colours(W_PAWN),
            static_cast<unsigned>(st.fifty_counter),
            st.ep_square != 0 ? static_cast<unsigned>(square64[st.ep_square]) : 0u,
            st.side_to_move == WHITE};
}

bool castling_rights_left() {
    const PositionState& st = position.state;
    return (st.castle_wk | st.castle_wq | st.castle_bk | st.castle_bq) != 0;
}

// A position no game reaches: the side that has just moved stands in check, or
// (in a search from such a set-up) a king has been taken. The library fails an
// assertion on these and ends the process.
bool impossible_position() {
    const PositionState& st = position.state;
    if (position.piece_squares[W_KING] == 0 || position.piece_squares[B_KING] == 0) return true;
    return st.side_to_move == WHITE ? attacked_by_white(st.king_square[BLACK])
                                    : attacked_by_black(st.king_square[WHITE]);
}

// [TB_MOVE_PROMOTES of a Fathom move]: the kind of piece promoted to, 0 for none.
constexpr int PROMOTION_KIND[8] = {EMPTY, W_QUEEN, W_ROOK, W_BISHOP, W_KNIGHT, EMPTY, EMPTY, EMPTY};

bool same_move(Move m, TbMove t) {
    return square64[move_from(m)] == static_cast<int>(TB_MOVE_FROM(t)) &&
           square64[move_to(m)] == static_cast<int>(TB_MOVE_TO(t)) &&
           piece_kind(move_promotion(m)) == PROMOTION_KIND[TB_MOVE_PROMOTES(t)];
}

// Fathom's ranks of root moves: the moves that win run from 1000 down to a
// bound, 900 under the fifty-move rule and 1 without it; those below the bound
// and above 0 win too late for the rule (cursed wins); 0 draws; losses mirror wins.
constexpr int RANK_WIN_BOUND_WITH_RULE = 900;
constexpr int RANK_WIN_BOUND_WITHOUT_RULE = 1;

int wdl_of_rank(int rank, bool fifty_move_rule) {
    const int bound = fifty_move_rule ? RANK_WIN_BOUND_WITH_RULE : RANK_WIN_BOUND_WITHOUT_RULE;
    if (rank >= bound) return WDL_WIN;
    if (rank > 0) return WDL_CURSED_WIN;
    if (rank == 0) return WDL_DRAW;
    if (rank > -bound) return WDL_BLESSED_LOSS;
    return WDL_LOSS;
}

// Fathom ranks the winning moves equally while they reach the next capture or
// pawn move within the fifty-move rule, unless a position has repeated. Ranked
// as after a repetition, the wins go by distance: only the quickest are kept,
// so that a won ending can neither wander nor repeat on its way to mate.
constexpr bool RANK_WINS_BY_DISTANCE = true;

// Fills ranked by distance to zero, or by outcome alone when a DTZ table is missing.
bool rank_moves(const FathomPosition& p, bool fifty_move_rule, TbRootMoves& ranked) {
    if (tb_probe_root_dtz(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops, p.knights,
                          p.pawns, p.rule50, 0, p.ep, p.white_to_move, RANK_WINS_BY_DISTANCE,
                          fifty_move_rule, &ranked) != 0)
        return true;
    return tb_probe_root_wdl(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops, p.knights,
                             p.pawns, p.rule50, 0, p.ep, p.white_to_move, fifty_move_rule,
                             &ranked) != 0;
}

// The plies from the position to the next capture or pawn move on the tables'
// line; 0 when the DTZ tables do not answer.
int distance_to_zero(const FathomPosition& p) {
    const unsigned result =
        tb_probe_root(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops, p.knights, p.pawns,
                      p.rule50, 0, p.ep, p.white_to_move, nullptr);
    return result == TB_RESULT_FAILED ? 0 : static_cast<int>(TB_GET_DTZ(result));
}

// The rank of the engine's move m among the ranked moves; false when Fathom has no such move.
bool rank_of(Move m, const TbRootMoves& ranked, int& rank) {
    for (unsigned i = 0; i < ranked.size; ++i) {
        if (same_move(m, ranked.moves[i].move)) {
            rank = ranked.moves[i].tbRank;
            return true;
        }
    }
    return false;
}

// ---- The files of a load.

// A Syzygy file holds whole 64-byte blocks and a 16-byte checksum, and opens
// with the magic number of its kind (little-endian).
constexpr std::uintmax_t BLOCK_BYTES = 64;
constexpr std::uintmax_t CHECKSUM_BYTES = 16;
struct TableKind {
    const char* extension;
    std::uint32_t magic;
};
constexpr TableKind TABLE_KINDS[] = {{".rtbw", 0x5d23e871}, {".rtbz", 0xa50c66d7}};

bool sound_table(const std::filesystem::path& file, std::uint32_t magic) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) return false;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size % BLOCK_BYTES != CHECKSUM_BYTES) return false;
    unsigned char head[4] = {};
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return false;
    const std::uint32_t found =
        head[0] | head[1] << 8 | head[2] << 16 | std::uint32_t{head[3]} << 24;
    return found == magic;
}

// The table files in the folders of path (separated by ':') that are not sound, by name.
std::vector<std::string> damaged_tables(const std::string& path) {
    std::vector<std::string> names;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string folder = path.substr(start, end - start);
        start = end + 1;
        if (folder.empty()) continue;
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder, error), last; !error && it != last;
             it.increment(error)) {
            const std::filesystem::path& file = it->path();
            for (const TableKind& kind : TABLE_KINDS)
                if (file.extension() == kind.extension && !sound_table(file, kind.magic))
                    names.push_back(file.filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The library takes these to mean no tables, and then leaves TB_LARGEST as it was.
bool names_no_tables(const std::string& path) {
    return path.empty() || path == "<empty>";
}

}  // namespace

int tablebase_load(const char* path) {
    const std::string wanted = path != nullptr ? path : "";
    if (wanted == loaded_path && tablebase_pieces > 0) return tablebase_pieces;
    // The library writes to the standard streams on its own: a line to standard
    // error for every table it lets go of, and one to standard output for a
    // file of the wrong size. Those are reported through damaged instead.
    bool loaded = false;
    run_silenced([&] { loaded = tb_init(wanted.c_str()); });
    tablebase_pieces = loaded && !names_no_tables(wanted) ? static_cast<int>(TB_LARGEST) : 0;
    loaded_path = wanted;
    damaged = damaged_tables(wanted);
    return tablebase_pieces;
}

bool tablebase_covers_position() {
    const int pieces =
        __builtin_popcountll(position.colour_squares[WHITE] | position.colour_squares[BLACK]);
    return tablebase_pieces != 0 && pieces <= tablebase_pieces && !castling_rights_left() &&
           !impossible_position();
}

bool tablebase_probe_wdl(int& wdl) {
    if (!tablebase_covers_position()) return false;
    const FathomPosition p = fathom_position();
    const unsigned result = tb_probe_wdl(p.white, p.black, p.kings, p.queens, p.rooks, p.bishops,
                                         p.knights, p.pawns, p.rule50, 0, p.ep, p.white_to_move);
    if (result == TB_RESULT_FAILED) return false;
    wdl = static_cast<int>(result) - TB_DRAW;  // TB_LOSS .. TB_WIN are 0 .. 4
    return true;
}

bool tablebase_rank_root(MoveEntry* list, int count, bool fifty_move_rule, TablebaseRoot& root) {
    if (!tablebase_covers_position() || count <= 0 || count > MOVE_LIST_CAPACITY) return false;
    // About 100 KB: static, not on the stack; the main search thread alone uses it.
    static TbRootMoves ranked;
    const FathomPosition p = fathom_position();
    if (!rank_moves(p, fifty_move_rule, ranked)) return false;

    int ranks[MOVE_LIST_CAPACITY];
    int best = INT_MIN;
    for (int i = 0; i < count; ++i) {
        if (!rank_of(list[i].move, ranked, ranks[i])) return false;
        best = std::max(best, ranks[i]);
    }
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (ranks[i] == best) list[kept++] = list[i];
    root = {wdl_of_rank(best, fifty_move_rule), distance_to_zero(p), kept};
    return true;
}

#else  // built without the Fathom library: no tables, every probe fails

int tablebase_load(const char* path) {
    loaded_path = path != nullptr ? path : "";
    tablebase_pieces = 0;
    return 0;
}

bool tablebase_covers_position() {
    return false;
}

bool tablebase_probe_wdl(int&) {
    return false;
}

bool tablebase_rank_root(MoveEntry*, int, bool, TablebaseRoot&) {
    return false;
}

#endif
