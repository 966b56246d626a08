// The window layer binds its functions by name; only Windows has them.
#ifdef _WIN32
#include "ui/win32/binder.h"

#include <gtest/gtest.h>

TEST(BindFunctions, BindsAWholeTable) {
    void* length = nullptr;
    void* tick = nullptr;
    const Binding table[] = {{"kernel32.dll", "lstrlenA", &length},
                             {"kernel32.dll", "GetTickCount64", &tick}};
    EXPECT_EQ(nullptr, bind_functions(table));
    ASSERT_NE(nullptr, length);
    EXPECT_NE(nullptr, tick);
    EXPECT_EQ(5, reinterpret_cast<decltype(&lstrlenA)>(length)("fuenf"));
}

TEST(BindFunctions, NamesTheFirstThatFails) {
    void* first = nullptr;
    void* missing = nullptr;
    void* after = nullptr;
    const Binding table[] = {{"user32.dll", "GetActiveWindow", &first},
                             {"user32.dll", "NoSuchFunctionAnywhere", &missing},
                             {"nosuchlibrary.dll", "Nothing", &after}};
    EXPECT_STREQ("NoSuchFunctionAnywhere", bind_functions(table));
    EXPECT_NE(nullptr, first);
    EXPECT_EQ(nullptr, missing);
    EXPECT_EQ(nullptr, after);

    const Binding no_library[] = {{"nosuchlibrary.dll", "Nothing", &after}};
    EXPECT_STREQ("Nothing", bind_functions(no_library));
}

TEST(BindFunctions, FailureText) {
    EXPECT_EQ("Couldn't link function:\n\nNoSuchFunctionAnywhere()",
              link_failure_text("NoSuchFunctionAnywhere"));
}
#endif
