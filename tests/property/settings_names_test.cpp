// The settings file may name any character as a replacement and any text as the extension;
// the names built under them must still be names Windows takes, inside the folder.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "message/file_names.h"
#include "tests/property/windows_names.h"

namespace {

class SettingsNames : public ::testing::Test {
protected:
    void SetUp() override {
        settings = Settings{};
        clear_registry();
    }
    void TearDown() override {
        settings = Settings{};
        clear_registry();
    }
    // Applies the file; false when the settings refuse it (which is a sound answer too).
    bool apply(const std::string& text) {
        if (apply_settings(parse_settings_text(text))) return false;
        return !check_name_budget();
    }
    void expect_valid_names(const std::string& what) {
        for (const char* subject : {"banana split", "a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r.s.t.u.v.w.x.y.z.0.1.2.3.4.5",
                                    "x y", "Re: ...", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"}) {
            std::string name = build_file_name(subject, DateTime{}, 0).file_name + settings.file_extension;
            EXPECT_EQ("", windows_names::fault(name)) << what << ", subject " << subject;
        }
    }
};

}  // namespace

TEST_F(SettingsNames, ReplacementsCannotBringInReservedCharacters) {
    for (const char* item : {"\"a/\"", "\"a\\\"", "\"a:\"", "\"a*\"", "\"a?\"", "\"a|\"", "\"a<\"", "\"a\x01\"",
                             "\" /\"", "\" \\\"", "\".\\\"", "\".:\""}) {
        settings = Settings{};
        clear_registry();
        if (apply("[mailfiles]\nreplaceinfilename=" + std::string(item) + "\n")) expect_valid_names(item);
    }
}

TEST_F(SettingsNames, TheExtensionCannotLeaveTheFolder) {
    for (const char* extension : {"..\\..\\..\\..\\evil", "../../../../evil", "a/b", "a\\b", "txt.", "e:ml", "e\x01l"}) {
        settings = Settings{};
        clear_registry();
        if (apply("[mailfiles]\nfileextension=" + std::string(extension) + "\n")) expect_valid_names(extension);
    }
}
