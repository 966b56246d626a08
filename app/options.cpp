// The switches after the two positional paths, and the usage text shown on a syntax error.
#include "app/options.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/log.h"
#include "app/messages.h"
#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/dialogs.h"

Options options;

namespace {

constexpr const char* CREDIT_LINE = "(c) parcelo-Team";

// Parsing goes on after a syntax error, so that a later bad date is still the error the
// user sees; the first fault is the one named.
void syntax_fault(const char* text, const std::string& argument) {
    if (!options.syntax_error) options.syntax_error_text = format_text(text, argument);
    options.syntax_error = true;
}

void set_once(bool& flag, bool value, const std::string& argument) {
    if (flag == value) return syntax_fault(MSG_REPEATED_ARGUMENT, argument);
    flag = value;
}

[[noreturn]] void print_and_exit(const std::string& text) {
    std::fputs(external_text(text + "\n").c_str(), stdout);
    std::exit(0);
}

bool starts_with(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// `value` comes from the lower-cased argument, `as_given` quotes the user's own spelling.
void parse_date_switch(bool& has_date, CalendarDate& date, std::string_view value,
                       const std::string& as_given, const std::string& argument) {
    if (has_date) return syntax_fault(MSG_REPEATED_ARGUMENT, argument);
    const std::optional<CalendarDate> parsed = parse_date_option(value);
    if (!parsed) abort_with_message(with_abort_suffix(format_text(MSG_INVALID_DATE, as_given)), 3);
    has_date = true;
    date = *parsed;
}

void parse_message_id_switch(const std::string& value, const std::string& as_given, const std::string& argument) {
    if (options.message_id_filter != MessageIdFilter::NONE) return syntax_fault(MSG_REPEATED_ARGUMENT, argument);
    options.message_id = value;
    options.message_id_filter = MessageIdFilter::ALL_MATCHES;
    if (!value.empty() && value.back() == '!') {
        options.message_id_filter = MessageIdFilter::STOP_AFTER_FIRST;
        options.message_id.pop_back();
    }
    if (options.message_id.empty())
        abort_with_message(with_abort_suffix(format_text(MSG_INVALID_MESSAGE_ID, as_given)), 3);
}

// `argument` as the user wrote it ("-n" on POSIX), `slashed` in the "/" form compared here.
void parse_switch(const std::string& slashed, const std::string& argument) {
    const std::string lower = lower_case(slashed);
    constexpr std::string_view MIN_DATE = "/mindate=";
    constexpr std::string_view MAX_DATE = "/maxdate=";
    constexpr std::string_view MESSAGE_ID = "/message-id=";

    if (lower == "/p") {
        if (options.no_ask) return syntax_fault(MSG_REPEATED_ARGUMENT, argument);
        options.no_ask = true;
        open_log();  // now, so that the head block comes before any message of a later switch
    } else if (lower == "/i") {
        set_once(options.start_minimised, true, argument);
    } else if (lower == "/f") {
        if (options.separator_policy == SeparatorPolicy::LENIENT)
            return syntax_fault(MSG_REPEATED_ARGUMENT, argument);
        options.separator_policy = SeparatorPolicy::LENIENT;
    } else if (lower == "/n") {
        set_once(options.numbering, true, argument);
    } else if (lower == "/d") {
        set_once(options.use_subdirs, false, argument);
    } else if (lower == "/s") {
        set_once(options.whole_tree, true, argument);
    } else if (starts_with(lower, MIN_DATE)) {
        parse_date_switch(options.has_min_date, options.min_date, std::string_view(lower).substr(MIN_DATE.size()),
                          slashed.substr(MIN_DATE.size()), argument);
    } else if (starts_with(lower, MAX_DATE)) {
        parse_date_switch(options.has_max_date, options.max_date, std::string_view(lower).substr(MAX_DATE.size()),
                          slashed.substr(MAX_DATE.size()), argument);
    } else if (starts_with(lower, MESSAGE_ID)) {
        parse_message_id_switch(lower.substr(MESSAGE_ID.size()), slashed.substr(MESSAGE_ID.size()), argument);
    } else {
        syntax_fault(MSG_UNKNOWN_ARGUMENT, argument);
    }
}

// Dash switches anywhere until "--"; slash switches, as on Windows, only after the two paths.
std::vector<std::string> parse_posix_arguments(const std::vector<std::string>& args) {
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) print_and_exit(usage_text());
    if (args.size() == 2 && args[1] == "--version") print_and_exit(std::string(VERSION_LINE) + "\n" + CREDIT_LINE);
    std::vector<std::string> paths;
    bool switches_ended = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& argument = args[i];
        if (!switches_ended && argument == "--") {
            switches_ended = true;
        } else if (!switches_ended && argument.size() > 1 && argument[0] == '-') {
            parse_switch("/" + argument.substr(1), argument);
        } else if (paths.size() < 2) {
            paths.push_back(argument);
        } else {
            parse_switch(argument, argument);
        }
    }
    return paths;
}

// `parcelo *.mbox out` reaches us as several mailbox names: the first two positions then
// hold files that exist, where a pattern and a directory belong.
bool shell_expanded_pattern(const std::vector<std::string>& paths) {
    if (paths.size() < 2) return false;
    for (std::size_t i = 0; i < 2; ++i)
        if (path_kind(full_path(paths[i])) != PathKind::FILE) return false;
    return true;
}

}  // namespace

std::vector<std::string> parse_options(const std::vector<std::string>& args) {
    set_log_arguments(args);
    std::vector<std::string> paths;
    // Windows keeps its command line as it always was; POSIX users get the habits of their shells.
    if (!windows_paths()) {
        paths = parse_posix_arguments(args);
    } else {
        for (std::size_t i = 3; i < args.size(); ++i) parse_switch(args[i], args[i]);
        paths.assign(args.begin() + std::min<std::size_t>(args.size(), 1),
                     args.begin() + std::min<std::size_t>(args.size(), 3));
    }
    if (paths.size() < 2) syntax_fault(MSG_TOO_FEW_ARGUMENTS, "");
    if (!windows_paths() && shell_expanded_pattern(paths)) {
        // Said instead of whatever fault the expansion caused, which would only mislead.
        options.syntax_error = true;
        options.syntax_error_text = MSG_EXPANDED_PATTERN;
    }
    return paths;
}

std::string usage_text() { return windows_paths() ? windows_usage_text() : posix_usage_text(); }

namespace {

template <std::size_t N>
std::string below_version_line(const char* const (&lines)[N]) {
    std::string text = std::string(VERSION_LINE) + "    " + CREDIT_LINE;
    for (const char* line : lines) text += std::string("\n") + line;
    return text;
}

}  // namespace

std::string windows_usage_text() {
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
    return below_version_line(HELP_LINES);
}

// The same shape on POSIX, with every switch in both forms and the habits of its shells.
std::string posix_usage_text() {
    static constexpr const char* HELP_LINES[] = {
        "",
        "Teilt Mailbox-Dateien im mbox-Format in einzelne E-Mail-Dateien auf.",
        "Für jede mbox-Datei wird normalerweise ein eigenes Unterverzeichnis erstellt.",
        "",
        "  Aufruf:      parcelo  <Dateispezifikation>  <Ausgabeverzeichnis>  [Optionen]",
        "               parcelo  --help | --version",
        "",
        "<Dateispezifikation> ist eine Mailbox-Datei, ein Verzeichnis (alle Dateien",
        "darin) oder ein Muster mit * und ?. Ein Muster gehört in Anführungszeichen,",
        "damit parcelo es erweitert und nicht die Shell:  parcelo '*.mbox' Ausgabe",
        "",
        "( Beispiel:    parcelo  '/home/anna/Mail/*.mbox'  /tmp/post  -n )",
        "",
        "ACHTUNG:  Vorhandene gleichnamige E-Mail-Dateien werden überschrieben !",
        "",
        "Optionen, mit / nach den beiden Pfaden oder mit - an beliebiger Stelle:",
        "/p  -p             Im Falle eines Fehlers fragt das Programm nicht den",
        "                   Benutzer, sondern versucht automatisch fortzufahren; die",
        "                   Meldungen gehen in die Datei parcelo.log in $TMPDIR (sonst",
        "                   /tmp).",
        "/i  -i             Nur der Fortschritt in Prozent wird angezeigt.",
        "/f  -f             Jede Zeile, die mit \"From \" beginnt, beginnt eine neue",
        "                   Nachricht.",
        "/n  -n             Als Namen der erzeugten E-Mail-Dateien werden laufende",
        "                   Nummern verwendet.",
        "/d  -d             Alle Mails werden ins Ausgabeverzeichnis entpackt (ohne",
        "                   Unterverzeichnisse).",
        "/s  -s             Auch alle Unterverzeichnisse werden gelesen.",
        "/MinDate=J-M-T     -MinDate=J-M-T     untere Datumsgrenze, etwa 2007-3-15",
        "/MaxDate=J-M-T     -MaxDate=J-M-T     obere Datumsgrenze",
        "/Message-ID=ID     -Message-ID=ID     eindeutiger Kennzeichner einer Nachricht;",
        "                                      mit ! am Ende nur die erste solche",
        "--                 Ende der Optionen mit -, für Pfade, die mit - beginnen",
        "--help  -h         Dieser Text",
        "--version          Die Version",
    };
    return below_version_line(HELP_LINES);
}

void show_usage() {
    if (!options.no_ask) {
        // On POSIX the faulty argument comes first, on a line of its own.
        const bool named = !windows_paths() && !options.syntax_error_text.empty();
        show_usage_box(named ? options.syntax_error_text + "\n" + usage_text() : usage_text());
    } else if (log_is_open()) {
        write_log_raw(MSG_SYNTAX_ERROR);
        if (!options.syntax_error_text.empty()) write_log_text(options.syntax_error_text);
        close_log();
    }
    std::exit(3);
}
