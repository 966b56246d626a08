#include "message/header_fields.h"

#include <cstdio>

#include "app/options.h"
#include "message/file_names.h"
#include "message/tokens.h"
#include "platform/text.h"

SelectionState selection;

namespace {

bool is_space_or_tab(char c) { return c == ' ' || c == '\t'; }

bool date_before(const DateTime& date, const CalendarDate& limit) {
    if (date.year != limit.year) return date.year < limit.year;
    if (date.month != limit.month) return date.month < limit.month;
    return date.day < limit.day;
}

bool date_after(const DateTime& date, const CalendarDate& limit) {
    if (date.year != limit.year) return date.year > limit.year;
    if (date.month != limit.month) return date.month > limit.month;
    return date.day > limit.day;
}

// Header names are printable ASCII (field_colon), where lower_case is the ASCII mapping.
bool same_name(std::string_view name, std::string_view lower) {
    if (name.size() != lower.size()) return false;
    for (std::size_t k = 0; k < name.size(); ++k) {
        char c = name[k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != lower[k]) return false;
    }
    return true;
}

struct SelectionFields {
    std::string_view date, message_id, subject;
};

// The selection runs once per message: one pass over the block finds its three fields in
// place, with the values header_value would give from parse_header.
SelectionFields selection_fields(std::string_view block) {
    SelectionFields fields;
    bool date = false, message_id = false, subject = false;
    std::size_t start = 1;
    while (std::size_t end = field_end(block, start)) {
        std::string_view field = block.substr(start - 1, end - start);
        start = end + 1;
        std::size_t colon = field_colon(field);
        if (colon == 0) continue;
        std::string_view name = trim_trailing_blanks(field.substr(0, colon - 1));
        std::string_view* slot = nullptr;
        if (!date && same_name(name, "date")) slot = &fields.date, date = true;
        else if (!message_id && same_name(name, "message-id")) slot = &fields.message_id, message_id = true;
        else if (!subject && same_name(name, "subject")) slot = &fields.subject, subject = true;
        if (slot) *slot = trim_leading_blanks(trim_trailing_blanks(field.substr(colon)));
        if (date && message_id && subject) break;
    }
    return fields;
}

std::string message_id_from(std::string_view value) {
    std::string id = lower_case(value);
    if (!id.empty() && id.front() == '<') id.erase(0, 1);
    if (!id.empty() && id.back() == '>') id.pop_back();
    return id;
}

}  // namespace

// Runs for every header line the reader sees, so it only looks, never copies.
std::size_t field_colon(std::string_view line) {
    std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return 0;
    std::size_t stop = colon;  // 0-based; the name ends here
    for (std::size_t k = 0; k < colon; ++k) {
        unsigned char c = static_cast<unsigned char>(line[k]);
        if (c < 33) {
            stop = k;
            break;
        }
        if (c > 126) return 0;
    }
    if (stop == 0) return 0;
    for (std::size_t k = stop; k < colon; ++k)
        if (!is_space_or_tab(line[k])) return 0;
    return colon + 1;
}

std::size_t field_end(std::string_view text, std::size_t start) {
    if (start == 0) start = 1;
    if (start > text.size()) return 0;
    std::size_t p = text.find('\n', start - 1);
    while (p != std::string_view::npos) {
        if (p + 1 == text.size() || !is_space_or_tab(text[p + 1])) return p + 1;
        p = text.find('\n', p + 1);
    }
    return 0;
}

HeaderTable parse_header(std::string_view block) {
    HeaderTable table;
    std::size_t start = 1;
    while (std::size_t end = field_end(block, start)) {
        std::string_view field = block.substr(start - 1, end - start);
        std::size_t colon = field_colon(field);
        HeaderField entry;
        if (colon > 0) {
            entry.name = lower_case(trim_trailing_blanks(field.substr(0, colon - 1)));
            entry.value = trim_trailing_blanks(field.substr(colon));
        } else {
            entry.value = trim_trailing_blanks(field);
        }
        table.push_back(std::move(entry));
        start = end + 1;
    }
    return table;
}

std::string header_value(const HeaderTable& table, std::string_view name) {
    for (const HeaderField& field : table)
        if (field.name == name) return std::string(trim_leading_blanks(field.value));
    return {};
}

std::string message_id_of(const HeaderTable& table) { return message_id_from(header_value(table, "message-id")); }

// The filters come first so that a skipped message uses up neither a running
// number nor a name in the registry.
std::optional<MessageInfo> select_message(std::string_view block) {
    SelectionFields fields = selection_fields(block);
    MessageDate when = message_date(fields.date);
    if (options.has_min_date && date_before(when.date, options.min_date)) return std::nullopt;
    if (options.has_max_date && date_after(when.date, options.max_date)) return std::nullopt;

    MessageInfo info;
    info.date = when.date;
    info.zone_hours = when.zone_hours;
    info.message_id = message_id_from(fields.message_id);
    if (options.message_id_filter != MessageIdFilter::NONE) {
        if (info.message_id != options.message_id) return std::nullopt;
        if (options.message_id_filter == MessageIdFilter::STOP_AFTER_FIRST) selection.stop_after_match = true;
    }

    selection.message_counter += 1;
    if (options.numbering) {
        char number[24];
        std::snprintf(number, sizeof number, "%08d", selection.message_counter);
        info.file_name = number;
    } else {
        BuiltName built = build_file_name(fields.subject, info.date, info.zone_hours);
        info.file_name = std::move(built.file_name);
        info.subject = std::move(built.subject);
    }
    return info;
}
