// Placeholder bodies until each unit lands; the owners delete what they replace.
#include "message/dates.h"
#include "message/encoded_words.h"
#include "message/file_names.h"
#include "message/header_fields.h"

SelectionState selection;
std::optional<double> to_number(std::string_view) { return std::nullopt; }
std::optional<ParsedDate> parse_date(std::string_view) { return std::nullopt; }
bool date_is_valid(const DateTime&) { return false; }
MessageDate message_date(std::string_view) { return {}; }
std::optional<CalendarDate> parse_date_option(std::string_view) { return std::nullopt; }
std::int64_t dos_datetime(const DateTime&) { return 0; }
std::int64_t day_number(int, int, int) { return 0; }
std::size_t field_colon(std::string_view) { return 0; }
std::size_t field_end(std::string_view, std::size_t) { return 0; }
HeaderTable parse_header(std::string_view) { return {}; }
std::string header_value(const HeaderTable&, std::string_view) { return {}; }
std::string message_id_of(const HeaderTable&) { return {}; }
std::optional<MessageInfo> select_message(std::string_view) { return std::nullopt; }
std::string decode_words(std::string_view r) { return std::string(r); }
std::string decode_q(std::string_view t) { return std::string(t); }
std::string decode_b(std::string_view t) { return std::string(t); }
std::string convert_charset(std::string_view b, std::string_view) { return std::string(b); }
std::optional<std::string> utf8_to_8bit(std::string_view) { return std::nullopt; }
bool utf8_sequence_ok(std::string_view, std::size_t, std::size_t) { return false; }
int register_name(const std::string&, bool) { return 1; }
void clear_registry() {}
std::string remove_prefixes(std::string_view t) { return std::string(t); }
std::string clean_subject(std::string_view t) { return std::string(t); }
std::string make_unique(const std::string& n) { return n; }
BuiltName build_file_name(std::string_view, const DateTime&, double) { return {}; }
