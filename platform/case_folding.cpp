#include "platform/case_folding.h"

#include <algorithm>
#include <iterator>

#include "platform/case_folding_table.h"
#include "platform/foreign.h"
#include "platform/text.h"

char32_t fold_character(char32_t code) {
    const CaseFoldRun* run = std::lower_bound(std::begin(CASE_FOLD_RUNS), std::end(CASE_FOLD_RUNS), code,
                                              [](const CaseFoldRun& r, char32_t c) { return r.last < c; });
    if (run == std::end(CASE_FOLD_RUNS) || code < run->first || (code - run->first) % run->step != 0) return code;
    return static_cast<char32_t>(static_cast<std::int32_t>(code) + run->delta);
}

// lower_case leaves the marks alone: they are control bytes to every code page.
std::string fold_case(std::string_view text) {
    std::string lowered = lower_case(text);
    if (lowered.find(FOREIGN) == std::string::npos) return lowered;
    std::string out;
    out.reserve(lowered.size());
    for (std::size_t at = 0; at < lowered.size();) {
        const std::size_t size = character_size(lowered, at);
        const std::optional<char32_t> foreign = size > 1 ? foreign_at(lowered, at) : std::nullopt;
        if (foreign && *foreign < RAW) append_inside(out, fold_character(*foreign));
        else out.append(lowered, at, size);
        at += size;
    }
    return out;
}
