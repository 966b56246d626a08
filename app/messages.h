#pragma once
#include <string>

// The program's texts (cp1252 after compilation).
inline constexpr const char* PROGRAM_NAME = "parcelo";
inline constexpr const char* VERSION_LINE = "parcelo 0.68";
inline constexpr const char* ABORT_SUFFIX = "\nProgramm abgebrochen.";
inline constexpr const char* QUESTION_SUFFIX = "\n\nMöchten Sie fortfahren?";
inline constexpr const char* MSG_INVALID_DATE = "Ungültiges Datum '%s'.";
inline constexpr const char* MSG_INVALID_MESSAGE_ID = "Ungültige Message-ID '%s'.";
inline constexpr const char* MSG_INVALID_DIRECTORY = "Ungültiges Verzeichnis '%s'.";
inline constexpr const char* MSG_INVALID_TARGET = "Ungültiges Zielverzeichnis '%s'.";
inline constexpr const char* MSG_CREATE_DIRECTORY = "Fehler beim Erzeugen des Verzeichnisses '%s'.";
inline constexpr const char* MSG_DISK_FULL = "Nicht genügend Speicherplatz verfügbar auf Laufwerk %s.";
inline constexpr const char* MSG_NO_MATCH = "Keine Datei passend zu '%s' gefunden.";
inline constexpr const char* MSG_NOT_FOUND = "Datei '%s' nicht gefunden.";
inline constexpr const char* MSG_TOO_LARGE = "Die Datei '%s' ist zu groß (> %d GiB).";  // see too_large_format
inline constexpr const char* MSG_SIZE_HINT =
    "Die Grenze lässt sich mit [Mailboxes] MaxMailboxSize in '%s' ändern (0 = keine Grenze).";
inline constexpr const char* MSG_READ_ERROR = "Fehler beim Lesen der Datei '%s'.";
inline constexpr const char* MSG_UNKNOWN_FORMAT = "Unbekanntes Dateiformat '%s'.";
inline constexpr const char* MSG_CREATE_FILE = "Fehler beim Erzeugen der Datei '%s'.";
inline constexpr const char* MSG_WRITE_FILE = "Fehler beim Schreiben der Datei '%s'.";
inline constexpr const char* MSG_CRASH = "Ein unerwarteter Fehler ist aufgetreten, siehe Datei '%s'.";
inline constexpr const char* MSG_SYNTAX_ERROR = "Syntaxfehler beim Aufruf des Programms.\n";
inline constexpr const char* MSG_USER_CANCELLED = "Abbruch durch den Benutzer.";
inline constexpr const char* MSG_ERROR_COUNT = "%d Fehler%s.";
inline constexpr const char* MSG_CONFIRM_CANCEL = "Möchten Sie das Programm wirklich abbrechen?";
inline constexpr const char* MSG_NOT_A_MAILBOX = "Keine Mailbox-Datei, übersprungen: '%s'.";
inline constexpr const char* MSG_UNKNOWN_ARGUMENT = "Unbekannter Parameter '%s'.";
inline constexpr const char* MSG_REPEATED_ARGUMENT = "Doppelter Parameter '%s'.";
inline constexpr const char* MSG_TOO_FEW_ARGUMENTS = "Zu wenige Parameter.";
inline constexpr const char* MSG_EXPANDED_PATTERN =
    "Die Shell hat das Muster bereits erweitert; bitte in Anführungszeichen setzen: parcelo '*.mbox' Ausgabe";
inline constexpr const char* MSG_CRASH_FILE = "Fehler beim Verarbeiten der Datei '%s'";

// Settings-file errors, each shown inside the frame below.
inline constexpr const char* MSG_SETTINGS_FRAME = "Fehler in der Datei '%s':\n";
inline constexpr const char* MSG_NO_SECTION = "Keinen Abschnitt gefunden.";
inline constexpr const char* MSG_INVALID_SECTION = "Ungültiger Abschnitt in Zeile %d.";
inline constexpr const char* MSG_DUPLICATE_NAME = "Doppelter Name in Zeile %d.";
inline constexpr const char* MSG_UNKNOWN_SECTION = "Unbekannter Abschnitt '%s'.";
inline constexpr const char* MSG_UNKNOWN_KEY = "Unbekannter Schlüssel '%s'.";
inline constexpr const char* MSG_PREFIX_COMMA =
    "Ein Präfix mit einem Komma muss in Anführungszeichen eingeschlossen sein.";
inline constexpr const char* MSG_CONTRADICTION = "Widerspruch ob '%s' ersetzt werden soll oder nicht.";
inline constexpr const char* MSG_INVALID_EXTENSION = "Ungültige Dateierweiterung '%s'.";
inline constexpr const char* MSG_NAME_BUDGET =
    "Die Erweiterung ist zu lang oder der Wert von 'MaxFilenameLength' ist zu klein.";

// The first "%s" (or "%d") replaced by the argument; texts may hold any byte, so no printf.
std::string format_text(const char* format, const std::string& argument);
std::string with_abort_suffix(const std::string& text);  // text + ABORT_SUFFIX
// The system's reason for a failed call on a line of its own, in parentheses; none if empty.
std::string with_reason(const std::string& text, const std::string& reason);
std::string too_large_format(int gib);  // MSG_TOO_LARGE with the limit in place, the path still to come

// The texts the crash handler needs, renewed whenever the current file or the log changes.
void update_crash_texts();
std::string crash_block();  // the block appended to the crash report

[[noreturn]] void abort_with_message(const std::string& text, int exit_code);
bool ask_continue(const std::string& text);  // true: continue, false: stop
[[noreturn]] void crash(int);
