#include "platform/failure_reasons.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "tests/platform/scratch.h"

TEST(FailureReasons, TableCoversTheCommonCausesOfBothBuilds) {
    const std::string denied = "Zugriff verweigert", missing = "Datei oder Pfad nicht gefunden",
                      too_long = "Pfad zu lang", full = "Datentr\xE4ger voll",
                      read_only = "Datentr\xE4ger schreibgesch\xFCtzt",
                      in_use = "Datei wird von einem anderen Programm verwendet oder ist gesperrt",
                      not_ready = "Ger\xE4t nicht bereit";
    const struct {
        SystemError error;
        std::string text;
    } cases[] = {
        {{EACCES, 0}, denied},   {{EPERM, 0}, denied},        {{0, 5}, denied},
        {{ENOENT, 0}, missing},  {{ENOTDIR, 0}, missing},     {{0, 2}, missing},    {{0, 3}, missing},
        {{0, 15}, missing},      {{0, 53}, missing},          {{0, 67}, missing},
        {{ENAMETOOLONG, 0}, too_long}, {{0, 111}, too_long},  {{0, 206}, too_long},
        {{ENOSPC, 0}, full},     {{0, 39}, full},             {{0, 112}, full},
        {{EROFS, 0}, read_only}, {{0, 19}, read_only},
        {{EBUSY, 0}, in_use},    {{EAGAIN, 0}, in_use},       {{0, 32}, in_use},    {{0, 33}, in_use},
        {{ENXIO, 0}, not_ready}, {{ENODEV, 0}, not_ready},    {{0, 21}, not_ready},
        // Anything else has no reason; a Windows code decides over the errno value made of it.
        {{EIO, 0}, ""},          {{EINVAL, 0}, ""},           {{0, 0}, ""},         {{0, 123}, ""},
        {{ENOENT, 123}, ""},     {{EACCES, 33}, in_use},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, reason_text(c.error)) << c.error.errno_value << " / " << c.error.windows_code;
}

TEST(FailureReasons, FileServicesNoteWhyTheyFailed) {
    Scratch scratch;
    forget_failure();
    EXPECT_EQ(-1, create_dir(scratch.path("no/such")));
    EXPECT_EQ("Datei oder Pfad nicht gefunden", last_failure_reason());
    // make_dirs starts afresh: a file in the way is no system's refusal.
    scratch.write("file");
    EXPECT_EQ(-1, make_dirs(scratch.path("file/below")));
    EXPECT_EQ("", last_failure_reason());
    EXPECT_EQ(nullptr, open_file(scratch.path("missing.mbx"), "rb"));
    EXPECT_EQ("Datei oder Pfad nicht gefunden", last_failure_reason());
}
