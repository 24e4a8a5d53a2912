// Standard algebraic notation in and out, matched against the legal moves of
// the current position.
#include <algorithm>
#include <cstring>

#include "tools/book/book_tool.h"

namespace book_tool {
namespace {

constexpr int PAWN = 1, KING = 6;           // piece kinds: the white codes 1..6
constexpr char KIND_LETTERS[] = " PNBRQK";  // [kind]

int kind_of(int code) {
    return code > W_KING ? code - 6 : code;
}
bool is_file(char c) {
    return c >= 'a' && c <= 'h';
}
bool is_rank(char c) {
    return c >= '1' && c <= '8';
}

// What a SAN text asks for; -1 where it leaves a part open.
struct SanParts {
    int kind = PAWN;
    int castle_kind = 0;
    int from_file = -1, from_rank = -1;
    int to = 0;
    int promotion_kind = 0;  // 0 none, else knight 2 .. queen 5
};

// "O-O", "0-0", "o-o" and the same with a third pair for the queen side.
int castle_kind_of(const char* s, std::size_t length) {
    const char o = s[0];
    if (o != 'O' && o != '0' && o != 'o') return 0;
    if (length == 3 && s[1] == '-' && s[2] == o) return CASTLE_KING_SIDE;
    if (length == 5 && s[1] == '-' && s[2] == o && s[3] == '-' && s[4] == o)
        return CASTLE_QUEEN_SIDE;
    return 0;
}

int kind_of_letter(char c) {
    const char* at = std::strchr(KIND_LETTERS, c);
    return c != '\0' && c != ' ' && at != nullptr ? static_cast<int>(at - KIND_LETTERS) : 0;
}

// Piece letter, origin file and rank, a capture mark, destination, promotion.
bool split_san(const char* s, SanParts& parts) {
    std::size_t end = std::strlen(s);
    while (end > 0 && std::strchr("+#!?", s[end - 1]) != nullptr) --end;
    if (end == 0) return false;
    if ((parts.castle_kind = castle_kind_of(s, end)) != 0) {
        parts.kind = KING;
        return true;
    }
    std::size_t i = 0;
    if (kind_of_letter(s[0]) != 0) parts.kind = kind_of_letter(s[i++]);
    if (end > i && kind_of_letter(s[end - 1]) > PAWN && kind_of_letter(s[end - 1]) < KING) {
        parts.promotion_kind = kind_of_letter(s[--end]);
        if (end > i && s[end - 1] == '=') --end;
    } else if (end >= i + 2 && s[end - 2] == '=' && std::strchr("nbrq", s[end - 1]) != nullptr) {
        parts.promotion_kind = kind_of_letter(static_cast<char>(s[end - 1] - 'a' + 'A'));
        end -= 2;
    }
    if (end < i + 2 || !is_file(s[end - 2]) || !is_rank(s[end - 1])) return false;
    parts.to = square_from_text(s + end - 2);
    end -= 2;
    if (end > i && (s[end - 1] == 'x' || s[end - 1] == ':' || s[end - 1] == '-')) --end;
    if (end > i && is_file(s[i])) parts.from_file = s[i++] - 'a';
    if (end > i && is_rank(s[i])) parts.from_rank = s[i++] - '1';
    return i == end;
}

bool fits(const SanParts& parts, Move m) {
    const int from = move_from(m);
    if (kind_of(position.board[from]) != parts.kind) return false;
    if (parts.castle_kind != 0) return move_castle_kind(m) == parts.castle_kind;
    if (move_to(m) != parts.to) return false;
    const int promotion = move_promotion(m);
    if ((promotion == 0 ? 0 : kind_of(promotion)) != parts.promotion_kind) return false;
    if (parts.from_file >= 0 && file_of(from) != parts.from_file) return false;
    if (parts.from_rank >= 0 && rank_of(from) != parts.from_rank) return false;
    // A pawn named without its file moves straight ahead.
    if (parts.kind == PAWN && parts.from_file < 0 && file_of(from) != file_of(parts.to))
        return false;
    return true;
}

bool legal_here(Move m) {
    make_move(m);
    const bool legal = last_move_legal(move_castle_kind(m));
    unmake_move();
    return legal;
}

bool is_coordinate_text(const char* text) {
    const std::size_t length = std::strlen(text);
    return looks_like_move(text) && is_file(text[0]) && is_file(text[2]) && is_rank(text[1]) &&
           is_rank(text[3]) &&
           (length == 4 || (length == 5 && std::strchr("nbrq", text[4]) != nullptr));
}

}  // namespace

SanStatus parse_san(const char* text, Move& move, std::string& detail) {
    move = 0;
    detail.clear();
    if (is_coordinate_text(text)) {
        move = parse_move_text(text);
        return move != 0 ? SanStatus::OK : SanStatus::NO_MATCH;
    }
    SanParts parts;
    if (!split_san(text, parts)) return SanStatus::MALFORMED;
    MoveEntry list[MOVE_LIST_CAPACITY];
    const int count = generate_moves(list);
    Move matches[MOVE_LIST_CAPACITY];
    int matched = 0;
    for (int i = 0; i < count; ++i)
        if (fits(parts, list[i].move) && legal_here(list[i].move))
            matches[matched++] = list[i].move;
    if (matched == 1) {
        move = matches[0];
        return SanStatus::OK;
    }
    if (matched == 0) return SanStatus::NO_MATCH;
    std::vector<std::string> candidates;
    for (int i = 0; i < matched; ++i) {
        move_to_text(matches[i]);
        candidates.push_back(move_text);
    }
    std::sort(candidates.begin(), candidates.end());
    for (const std::string& c : candidates) detail += (detail.empty() ? "" : ", ") + c;
    return SanStatus::AMBIGUOUS;
}

std::string san_text(Move move) {
    const int from = move_from(move), to = move_to(move);
    const int kind = kind_of(position.board[from]);
    std::string s;
    if (move_castle_kind(move) != 0) {
        s = move_castle_kind(move) == CASTLE_KING_SIDE ? "O-O" : "O-O-O";
    } else {
        const bool capture = move_captured(move) != 0 || move_is_ep(move);
        if (kind == PAWN) {
            if (capture) s += static_cast<char>('a' + file_of(from));
        } else {
            s += KIND_LETTERS[kind];
            // Name the origin's file, else its rank, else both, when another
            // piece of the kind could go there too.
            MoveEntry list[MOVE_LIST_CAPACITY];
            const int count = filter_legal(generate_moves(list), list);
            bool rivals = false, same_file = false, same_rank = false;
            for (int i = 0; i < count; ++i) {
                const int other = move_from(list[i].move);
                if (other == from || move_to(list[i].move) != to ||
                    kind_of(position.board[other]) != kind)
                    continue;
                rivals = true;
                same_file |= file_of(other) == file_of(from);
                same_rank |= rank_of(other) == rank_of(from);
            }
            if (rivals && (!same_file || same_rank)) s += static_cast<char>('a' + file_of(from));
            if (rivals && same_file) s += static_cast<char>('1' + rank_of(from));
        }
        if (capture) s += 'x';
        s += static_cast<char>('a' + file_of(to));
        s += static_cast<char>('1' + rank_of(to));
        if (move_promotion(move) != 0) {
            s += '=';
            s += KIND_LETTERS[kind_of(move_promotion(move))];
        }
    }
    make_move(move);
    if (in_check()) {
        MoveEntry replies[MOVE_LIST_CAPACITY];
        s += filter_legal(generate_moves(replies), replies) == 0 ? '#' : '+';
    }
    unmake_move();
    return s;
}

}  // namespace book_tool
