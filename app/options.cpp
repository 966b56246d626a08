// The switches after the two positional paths, and the usage text shown on a syntax error.
#include "app/options.h"

#include <cstdlib>
#include <string_view>

#include "app/log.h"
#include "app/messages.h"
#include "platform/text.h"
#include "ui/dialogs.h"

Options options;

namespace {

// A repeated switch is a syntax error, but parsing goes on so that a later bad
// date is still the error the user sees.
void set_once(bool& flag, bool value) {
    if (flag == value) {
        options.syntax_error = true;
        return;
    }
    flag = value;
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// `value` comes from the lower-cased argument, `as_given` quotes the user's own spelling.
void parse_date_switch(bool& has_date, CalendarDate& date, std::string_view value,
                       const std::string& as_given) {
    if (has_date) {
        options.syntax_error = true;
        return;
    }
    const std::optional<CalendarDate> parsed = parse_date_option(value);
    if (!parsed) abort_with_message(with_abort_suffix(format_text(MSG_INVALID_DATE, as_given)), 3);
    has_date = true;
    date = *parsed;
}

void parse_message_id_switch(const std::string& value, const std::string& as_given) {
    if (options.message_id_filter != MessageIdFilter::NONE) {
        options.syntax_error = true;
        return;
    }
    options.message_id = value;
    options.message_id_filter = MessageIdFilter::ALL_MATCHES;
    if (!value.empty() && value.back() == '!') {
        options.message_id_filter = MessageIdFilter::STOP_AFTER_FIRST;
        options.message_id.pop_back();
    }
    if (options.message_id.empty())
        abort_with_message(with_abort_suffix(format_text(MSG_INVALID_MESSAGE_ID, as_given)), 3);
}

void parse_switch(const std::string& argument) {
    const std::string lower = lower_case(argument);
    constexpr std::string_view MIN_DATE = "/mindate=";
    constexpr std::string_view MAX_DATE = "/maxdate=";
    constexpr std::string_view MESSAGE_ID = "/message-id=";

    if (lower == "/p") {
        if (options.no_ask) {
            options.syntax_error = true;
            return;
        }
        options.no_ask = true;
        open_log();  // now, so that the head block comes before any message of a later switch
    } else if (lower == "/i") {
        set_once(options.start_minimised, true);
    } else if (lower == "/f") {
        if (options.separator_policy == SeparatorPolicy::LENIENT) {
            options.syntax_error = true;
            return;
        }
        options.separator_policy = SeparatorPolicy::LENIENT;
    } else if (lower == "/n") {
        set_once(options.numbering, true);
    } else if (lower == "/d") {
        set_once(options.use_subdirs, false);
    } else if (starts_with(lower, MIN_DATE)) {
        parse_date_switch(options.has_min_date, options.min_date, std::string_view(lower).substr(MIN_DATE.size()),
                          argument.substr(MIN_DATE.size()));
    } else if (starts_with(lower, MAX_DATE)) {
        parse_date_switch(options.has_max_date, options.max_date, std::string_view(lower).substr(MAX_DATE.size()),
                          argument.substr(MAX_DATE.size()));
    } else if (starts_with(lower, MESSAGE_ID)) {
        parse_message_id_switch(lower.substr(MESSAGE_ID.size()), argument.substr(MESSAGE_ID.size()));
    } else {
        options.syntax_error = true;
    }
}

}  // namespace

void parse_options(const std::vector<std::string>& args) {
    set_log_arguments(args);
    for (std::size_t i = 3; i < args.size(); ++i) parse_switch(args[i]);
    if (args.size() < 3) options.syntax_error = true;
}

std::string usage_text() {
    // The first entry is the blank line after the version line.
    static constexpr const char* HELP_LINES[] = {
        "",
        "Teilt Mailbox-Dateien im mbox-Format in einzelne E-Mail-Dateien auf.",
        "Für jede mbox-Datei wird normalerweise ein eigenes Unterverzeichnis erstellt.",
        "",
        "  Aufruf:      parcelo  <Dateispezifikation>  <Ausgabeverzeichnis>  [Optionen]",
        "",
        "( Beispiel:    parcelo  c:\\daten\\*.mbx  c:\\temp\\ )",
        "",
        "ACHTUNG:  Vorhandene gleichnamige E-Mail-Dateien werden überschrieben !",
        "",
        "Optionen:",
        "/p                          Im Falle eines Fehlers fragt das Programm nicht den",
        "                             Benutzer, sondern versucht automatisch fortzufahren.",
        "/i                           Das Programm startet als Icon in der Taskleiste.",
        "/n                          Als Namen der erzeugten E-Mail-Dateien werden laufende",
        "                             Nummern verwendet.",
        "/d                          Alle Mails werden ins Ausgabeverzeichnis entpackt (ohne",
        "                             Unterverzeichnisse).",
        "/MinDate=...        untere Datumsgrenze",
        "/MaxDate=...       obere Datumsgrenze",
        "/Message-ID=...  eindeutiger Kennzeichner einer Nachricht",
    };
    std::string text = std::string(VERSION_LINE) + "    (c) parcelo-Team";
    for (const char* line : HELP_LINES) text += std::string("\n") + line;
    return text;
}

void show_usage() {
    if (!options.no_ask) {
        show_usage_box(usage_text());
    } else if (log_is_open()) {
        write_log_raw(MSG_SYNTAX_ERROR);
        close_log();
    }
    std::exit(3);
}
