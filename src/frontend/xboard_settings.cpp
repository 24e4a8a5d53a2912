// The xboard driver's settings: the engine's options as features, and the
// commands that set the table size, the threads and the tablebases' folders.
#include "frontend/xboard_settings.h"

#include <cstring>
#include <string>

#include "frontend/io.h"
#include "frontend/session.h"
#include "frontend/version.h"
#include "platform/platform.h"

namespace {

// ---- Engine options: one feature option="NAME -TYPE ..." for each of the
// session's options this protocol shows, set by "option NAME=VALUE"; the
// table size has xboard's own "memory", the threads "cores", the tablebases'
// folders "egtpath" (announced by egt= when the build has them).
const EngineOption* const OPTIONS[] = {
    &MULTI_PV_OPTION,
    &MOVE_OVERHEAD_OPTION,
    &LIMIT_STRENGTH_OPTION,
    &ELO_OPTION,
};

// xboard's word for each OptionType.
const char* const TYPE_WORDS[] = {"-spin", "-check", "-string", "-button"};

// The option features, each followed by a blank.
std::string option_features() {
    std::string text;
    for (const EngineOption* o : OPTIONS) {
        if (!o->available) continue;
        text += "option=\"" + std::string(o->name) + " " + TYPE_WORDS[static_cast<int>(o->type)];
        if (o->type == OptionType::CHECK)
            text += option_text_is_on(o->value()) ? " 1" : " 0";
        else if (o->value != nullptr)
            text += " " + o->value();
        if (o->type == OptionType::SPIN)
            text += " " + std::to_string(o->min) + " " + std::to_string(o->max);
        text += "\" ";
    }
    return text;
}

// The number of "NAME N", or false after telling the user it takes a whole number of unit.
bool command_number(const char* line, const char* name, const char* unit, int& value) {
    const char* text = text_at(line, static_cast<int>(std::strlen(name)) + 1);
    if (parse_whole_int(text, value)) return true;
    tell_user("%s needs a whole number of %s: \"%s\" refused", name, unit, text);
    return false;
}

}  // namespace

void announce_features(const char*) {
    print_line(
        "feature done=0 ping=1 setboard=1 draw=0 sigint=0 sigterm=0 analyze=1 memory=1 smp=1 "
        "exclude=1 %svariants=\"normal,fischerandom\" colors=0 myname=\"%s\" %sdone=1\n",
        SYZYGY_PATH_OPTION.available ? "egt=\"syzygy\" " : "", ENGINE_NAME,
        option_features().c_str());
}

// "option NAME=VALUE" (a button: "option NAME"); names the protocol does not show are ignored.
void set_option(const char* line) {
    const std::string text = text_at(line, 7);
    const std::size_t equals = text.find('=');
    const std::string name = text.substr(0, equals);
    const std::string value = equals == std::string::npos ? std::string() : text.substr(equals + 1);
    for (const EngineOption* o : OPTIONS) {
        if (o->available && name == o->name) {
            o->set(o->type == OptionType::CHECK && value == "1" ? "true" : value);
            return;
        }
    }
}

// "memory N": the megabytes the table may take (1 to 64 GB, a number outside
// taken as the nearer end); the interface sends it before every game, so only
// a refusal is told.
void set_memory(const char* line) {
    int megabytes = 0;
    if (command_number(line, "memory", "megabytes", megabytes)) resize_hash(megabytes);
}

// "cores N": the search threads the interface allows the engine.
void set_cores(const char* line) {
    int count = 0;
    if (command_number(line, "cores", "threads", count)) set_thread_count(count, "cores");
}

// "egtpath syzygy PATH": the Syzygy tables' folders. The interface sends it
// before every game: only a new path is loaded and reported. Other kinds of
// table are not read.
void set_egt_path(const char* line) {
    const char* cursor = text_at(line, 7);
    while (*cursor == ' ') ++cursor;
    if (!starts_with(cursor, "syzygy ")) return;
    cursor += 7;
    while (*cursor == ' ') ++cursor;
    std::string path = cursor;
    while (!path.empty() && (path.back() == ' ' || path.back() == '\t')) path.pop_back();
    // A line as long as the input keeps may have lost the end of its path.
    if (std::strlen(line) >= INPUT_LINE_SIZE - 1) {
        tell_user(
            "Syzygy tablebases: egtpath takes paths of up to %d characters; name a longer one "
            "in Quorvanite.cfg",
            static_cast<int>(INPUT_LINE_SIZE - 2 - (cursor - line)));
        return;
    }
    if (!load_tablebases(path)) return;
    // xboard names its default folder whether or not it holds tables: an
    // empty one is noted for the log, not shown in a dialog before every game.
    if (tablebases_worth_telling())
        tell_tablebases();
    else
        print_line("# %s\n", tablebases_text().c_str());
}
