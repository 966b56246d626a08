#include "app/targets.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/file_system.h"

namespace {

std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '/', path_separator);
    return path;
}

// Mailbox and folder names as a tree may hold them, and the level each becomes.
TEST(Targets, EveryNameStaysBelowTheOutput) {
    enum Kind { MAILBOX, WHOLE_NAME, FOLDER };
    struct Case {
        Kind kind;
        const char* name;
        const char* level;
    };
    const Case cases[] = {
        {MAILBOX, "...", "_.."},         {MAILBOX, "...mbox", "_.."},       {WHOLE_NAME, "...", "_..."},
        {FOLDER, "...sbd", "_.."},       {FOLDER, "..sbd", "_."},           {FOLDER, ".", "_."},
        {FOLDER, ". .", "_. ."},         {FOLDER, "NUL.sbd", "_NUL"},       {MAILBOX, "com1.txt.mbx", "_com1.txt"},
        {FOLDER, "Con", "_Con"},         {MAILBOX, "Inbox.mbx", "Inbox"},   {FOLDER, "Work.sbd", "Work"},
        {FOLDER, ".sbd", ".sbd"},        {MAILBOX, "Console.mbx", "Console"}, {MAILBOX, ".inbox", ".inbox"},
    };
    const std::string output = native("/out/");
    std::string nested = output;
    for (const Case& c : cases) {
        const std::string level = c.kind == FOLDER       ? mirrored_name(c.name)
                                  : c.kind == WHOLE_NAME ? safe_target_name(c.name)
                                                         : safe_target_name(base_name(c.name));
        EXPECT_EQ(stored_name(c.level), level) << c.name;  // Windows drops trailing dots
        EXPECT_TRUE(inside_output(output + level, output)) << level;
        nested += level + path_separator;
        EXPECT_TRUE(inside_output(nested, output)) << nested;
    }
}

// The check that runs before anything is made, whatever built the target.
TEST(Targets, TheLastCheckRefusesEveryWayOut) {
    const std::string output = native("/out/");
    struct Case {
        const char* target;
        bool inside;
    };
    for (const Case& c : {Case{"/out/", true}, Case{"/out/a", true}, Case{"/out/a/b/", true}, Case{"/out/_../_.", true},
                          Case{"/out/a. b", true}, Case{"/out/..", false}, Case{"/out/a/../../x", false},
                          Case{"/out/.", false}, Case{"/out/...", false}, Case{"/out/a/. ./b", false},
                          Case{"/out/a//b", false}, Case{"/out//", false}, Case{"/other/a", false},
                          Case{"/outside", false}})
        EXPECT_EQ(c.inside, inside_output(native(c.target), output)) << c.target;
    // Windows drops case and trailing dots and blanks, so these are one directory there.
    EXPECT_EQ(target_key(native("Archiv/m")), target_key(native("archiv. /M")));
    EXPECT_NE(target_key(native("Archiv/m")), target_key(native("Archiv/m[2]")));
}

}  // namespace
