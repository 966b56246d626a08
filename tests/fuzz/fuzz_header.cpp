// Header blocks: the field table, and the selection with every filter and both naming modes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/options.h"
#include "app/settings.h"
#include "message/file_names.h"
#include "message/header_fields.h"
#include "tests/property/windows_names.h"

namespace {

void check(const std::optional<MessageInfo>& info) {
    if (!info) return;
    if (selection.message_counter != 1) std::abort();
    if (options.numbering) {
        if (info->file_name != "00000001") std::abort();
    } else if (!windows_names::fault(info->file_name + settings.file_extension).empty()) {
        std::abort();
    }
    if (options.message_id_filter != MessageIdFilter::NONE && info->message_id != options.message_id) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t config = data[0];
    std::string_view block(reinterpret_cast<const char*>(data + 1), size - 1);

    HeaderTable table = parse_header(block);
    std::size_t lines = 0;
    for (char c : block) lines += c == '\n';
    if (table.size() > lines) std::abort();
    for (const HeaderField& field : table)
        if (!field.value.empty() && (field.value.back() == ' ' || field.value.back() == '\n')) std::abort();
    (void)message_id_of(table);
    for (std::size_t start = 0; start <= block.size() + 1; start += 1 + block.size() / 8) {
        std::size_t end = field_end(block, start);
        if (end != 0 && (end > block.size() || block[end - 1] != '\n')) std::abort();
    }

    options = Options{};
    options.numbering = config & 1;
    options.has_min_date = config & 2;
    options.min_date = {2024, 1, 1};
    options.has_max_date = config & 4;
    options.max_date = {2024, 12, 31};
    options.message_id_filter = static_cast<MessageIdFilter>((config >> 3) % 3);
    options.message_id = "1@x";
    selection = SelectionState{};

    std::optional<MessageInfo> info = select_message(block);
    check(info);
    // What an input leaves behind would look like a leak to libFuzzer and cost a heap scan.
    if (info && !options.numbering) clear_registry();
    options = Options{};
    return 0;
}
