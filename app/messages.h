#pragma once
#include <string>

// The program's texts (cp1252 after compilation).
inline constexpr const char* ABORT_SUFFIX = "\nProgramm abgebrochen.";
inline constexpr const char* QUESTION_SUFFIX = "\n\nMöchten Sie fortfahren?";
inline constexpr const char* MSG_INVALID_DATE = "Ungültiges Datum '%s'.";
inline constexpr const char* MSG_INVALID_MESSAGE_ID = "Ungültige Message-ID '%s'.";
inline constexpr const char* MSG_INVALID_DIRECTORY = "Ungültiges Verzeichnis '%s'.";
inline constexpr const char* MSG_CREATE_DIRECTORY = "Fehler beim Erzeugen des Verzeichnisses '%s'.";
inline constexpr const char* MSG_DISK_FULL = "Nicht genügend Speicherplatz verfügbar auf Laufwerk %s.";
inline constexpr const char* MSG_NO_MATCH = "Keine Datei passend zu '%s' gefunden.";
inline constexpr const char* MSG_NOT_FOUND = "Datei '%s' nicht gefunden.";
inline constexpr const char* MSG_TOO_LARGE = "Die Datei '%s' ist zu groß (> 2 GiB).";
inline constexpr const char* MSG_READ_ERROR = "Fehler beim Lesen der Datei '%s'.";
inline constexpr const char* MSG_UNKNOWN_FORMAT = "Unbekanntes Dateiformat '%s'.";
inline constexpr const char* MSG_CREATE_FILE = "Fehler beim Erzeugen der Datei '%s'.";
inline constexpr const char* MSG_WRITE_FILE = "Fehler beim Schreiben der Datei '%s'.";
inline constexpr const char* MSG_CRASH = "Ein unerwarteter Fehler ist aufgetreten, siehe Datei '%s'.";
inline constexpr const char* MSG_SYNTAX_ERROR = "Syntaxfehler beim Aufruf des Programms.\n";
inline constexpr const char* MSG_USER_CANCELLED = "Abbruch durch den Benutzer.";
inline constexpr const char* MSG_ERROR_COUNT = "%d Fehler%s.";
inline constexpr const char* MSG_CONFIRM_CANCEL = "Möchten Sie das Programm wirklich abbrechen?";

// "%s" (or "%d") replaced by the argument; texts may hold any byte, so no printf.
std::string format_text(const char* format, const std::string& argument);

[[noreturn]] void abort_with_message(const std::string& text, int exit_code);
bool ask_continue(const std::string& text);  // true: continue, false: stop
[[noreturn]] void crash(int);
