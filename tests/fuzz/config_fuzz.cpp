// The configuration file with arbitrary contents: the table size is always
// one of the six sizes, the book settings sane, and nothing else changes.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::enter_scratch_directory("config");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    fuzz::write_file("Quorvanite.cfg", data, size);
    tt_entry_count = DEFAULT_TT_ENTRY_COUNT;
    book_settings = BookSettings{};
    read_config();
    // 32 to 1024 megabytes of 16-byte entries, a power of two.
    const std::uint64_t n = tt_entry_count;
    fuzz::check(n >= (32u << 16) && n <= (1024u << 16) && (n & (n - 1)) == 0,
                "a table size outside 32 to 1024 megabytes");
    fuzz::check(book_settings.polyglot_path.size() < 4096, "a book path longer than its buffer");
    fuzz::check(book_settings.polyglot_path.find('<') == std::string::npos,
                "a book path that runs into a tag");
    fuzz::check(book_settings.default_dir.empty(), "the default book directory was changed");
    return 0;
}
