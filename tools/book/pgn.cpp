// PGN as people have it: a lexer that splits a file into games and keeps each
// game's tags and main-line move texts.
#include <cctype>
#include <cstring>

#include "tools/book/book_tool.h"

namespace book_tool {
namespace {

bool is_space(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Characters that end a symbol (a move, a move number or a result), by byte.
struct SymbolEnds {
    bool table[256] = {};
    constexpr SymbolEnds() {
        for (const char c :
             {' ', '\t', '\r', '\n', '\f', '\v', '{', '}', '(', ')', '[', ']', ';', '$'})
            table[static_cast<unsigned char>(c)] = true;
    }
};
constexpr SymbolEnds SYMBOL_ENDS;
bool ends_symbol(int c) {
    return c == EOF || SYMBOL_ENDS.table[c];
}

// The standard results, and the draws some programs write as "1/2" or "½-½".
GameResult result_of(const std::string& text) {
    if (text == "1-0") return GameResult::WHITE_WINS;
    if (text == "0-1") return GameResult::BLACK_WINS;
    if (text == "1/2-1/2" || text == "1/2" || text == "\xC2\xBD-\xC2\xBD") return GameResult::DRAW;
    return GameResult::UNKNOWN;
}

bool is_termination(const std::string& s) {
    const char c = s.empty() ? '\0' : s[0];
    if (c != '*' && c != '1' && c != '0' && c != '\xC2') return false;  // moves rarely pass here
    return s == "*" || result_of(s) != GameResult::UNKNOWN;
}

// "!", "?!", "+-", "=", "+/-": evaluation marks written as text. A run of
// dashes ("--", a null move) is not one.
bool is_annotation(const std::string& s) {
    bool mark = false;
    for (const char c : s) {
        if (c != '!' && c != '?' && c != '+' && c != '-' && c != '=' && c != '/') return false;
        mark |= c != '-';
    }
    return mark;
}

bool starts_with_castling_zeros(const std::string& s) {
    return s.rfind("0-0", 0) == 0 && (s.size() == 3 || s[3] == '-' || std::strchr("+#!?", s[3]));
}

}  // namespace

std::string PgnGame::name() const {
    std::string n = "game " + std::to_string(number);
    if (!white.empty() || !black.empty())
        n += " (" + (white.empty() ? "?" : white) + " - " + (black.empty() ? "?" : black) + ")";
    else if (!event.empty())
        n += " (" + event + ")";
    return n;
}

int PgnReader::peek() {
    if (pos_ == end_) {
        end_ = std::fread(buffer_, 1, sizeof buffer_, file_);
        pos_ = 0;
        if (!started_) {
            started_ = true;
            if (end_ >= 3 && buffer_[0] == 0xEF && buffer_[1] == 0xBB && buffer_[2] == 0xBF)
                pos_ = 3;  // UTF-8 byte order mark
        }
        if (pos_ == end_) return EOF;
    }
    return buffer_[pos_];
}

int PgnReader::get() {
    const int c = peek();
    if (c == EOF) return EOF;
    ++pos_;
    if (c == '\n') {
        ++line_;
        at_line_start_ = true;
    } else {
        at_line_start_ = false;
    }
    return c;
}

void PgnReader::skip_line() {
    for (int c = get(); c != EOF && c != '\n'; c = get()) {
    }
}

void PgnReader::skip_comment(PgnGame& game) {
    const int start = line_;
    for (int c = get(); c != '}'; c = get()) {
        if (c == EOF) {
            game.notes.push_back("comment from line " + std::to_string(start) + " is not closed");
            return;
        }
    }
}

// After '[': a name, a quoted value with \" and \\ escapes, and ']', all on
// one line. A broken tag is noted and the rest of its line dropped.
bool PgnReader::read_tag(PgnGame& game) {
    const int start = line_;
    std::string name, value;
    while (peek() == ' ' || peek() == '\t') get();
    while (std::isalnum(peek()) || peek() == '_') name += static_cast<char>(get());
    while (peek() == ' ' || peek() == '\t') get();
    bool closed = false;
    if (peek() == '"') {
        get();
        while (peek() != EOF && peek() != '\n') {
            int c = get();
            if (c == '\\' && (peek() == '"' || peek() == '\\')) {
                c = get();
            } else if (c == '"') {
                closed = true;
                break;
            }
            value += static_cast<char>(c);
        }
    }
    while (closed && (peek() == ' ' || peek() == '\t' || peek() == '\r')) get();
    if (name.empty() || !closed || peek() != ']') {
        game.notes.push_back("tag pair on line " + std::to_string(start) + " is malformed");
        skip_line();
        return false;
    }
    get();
    if (name == "White")
        game.white = value;
    else if (name == "Black")
        game.black = value;
    else if (name == "Event")
        game.event = value;
    else if (name == "FEN")
        game.fen = value;
    else if (name == "Variant")
        game.variant = value;
    else if (name == "Result")
        game.tag_result = result_of(value);
    return true;
}

void PgnReader::read_symbol(std::string& symbol) {
    symbol.clear();
    while (!ends_symbol(peek())) symbol += static_cast<char>(get());
}

// A move number ("12.", "12...", also glued to its move: "12.e4"), an
// annotation or a move. False when the symbol ends the game (a result).
bool PgnReader::handle_symbol(const std::string& symbol, PgnGame& game) {
    if (is_termination(symbol)) {
        game.has_termination = true;
        game.termination = result_of(symbol);
        return false;
    }
    std::size_t i = 0;
    if (!starts_with_castling_zeros(symbol)) {
        while (i < symbol.size() && std::isdigit(static_cast<unsigned char>(symbol[i]))) ++i;
        if (i > 0 && (i == symbol.size() || symbol[i] == '.')) {
            while (i < symbol.size() && symbol[i] == '.') ++i;
        } else {
            i = 0;
        }
    }
    std::string move = symbol.substr(i);
    // "12. ... Nf6" writes black's move number apart from the move.
    if (move.find_first_not_of('.') == std::string::npos || is_annotation(move)) return true;
    if (move[0] == 'e' && (move == "e.p." || move == "ep")) return true;
    while (!move.empty() && (move.back() == '!' || move.back() == '?')) move.pop_back();
    if (move.size() > 4 && move.compare(move.size() - 4, 4, "e.p.") == 0)
        move.resize(move.size() - 4);
    game.moves.push_back({move, line_});
    return true;
}

bool PgnReader::next_game(PgnGame& game) {
    game = PgnGame{};
    int depth = 0;  // of nested variations
    bool any = false, in_moves = false;
    std::string symbol;
    auto begin = [&] {
        if (!any) game.first_line = line_;
        any = true;
    };
    for (;;) {
        const int c = peek();
        if (c == EOF) break;
        if (is_space(c)) {
            get();
        } else if (c == '%' && at_line_start_) {
            skip_line();
        } else if (c == '[') {
            if (in_moves) break;  // the next game's tags: this one had no result
            begin();
            get();
            read_tag(game);
        } else if (c == '{') {
            get();
            skip_comment(game);
        } else if (c == ';') {
            skip_line();
        } else if (c == '(') {
            get();
            ++depth;
            in_moves = true;
        } else if (c == ')') {
            get();
            if (depth > 0) --depth;
        } else if (c == '$') {
            get();
            while (std::isdigit(peek())) get();
        } else if (c == ']' || c == '}') {
            get();  // stray closing bracket
        } else {
            begin();
            in_moves = true;
            read_symbol(symbol);
            if (symbol.empty())
                get();  // never stall on a byte no rule takes
            else if (depth == 0 && !handle_symbol(symbol, game))
                break;
        }
    }
    if (!any) return false;
    game.number = ++games_;
    return true;
}

}  // namespace book_tool
