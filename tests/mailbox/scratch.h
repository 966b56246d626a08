#pragma once
// A scratch folder and fresh global state for each mailbox test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>

#include "app/options.h"
#include "app/run.h"
#include "app/settings.h"
#include "mailbox/reader.h"
#include "mailbox/splitter.h"
#include "mailbox/writer.h"
#include "message/header_fields.h"
#include "platform/file_system.h"
#include "tests/support/core_state.h"
#include "tests/support/fake_ui.h"
#include "tests/support/run_tag.h"

class MailboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("parcelo-") + run_tag() + "-" + info->test_suite_name() + "-" + info->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        reset_globals();
    }
    void TearDown() override {
        close_mailbox();
        reset_globals();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    static void reset_globals() {
        reset_core_state();
        fail_reads_after(std::numeric_limits<std::uint64_t>::max());
        limit_buffer(std::numeric_limits<std::size_t>::max());
        use_wide_search(true);
    }
    // The path as our code takes it: directories end in the separator.
    std::string path(const std::string& name = "") const {
        std::string base = dir_.string();
        return name.empty() ? base + path_separator : base + path_separator + name;
    }
    std::string write_file(const std::string& name, const std::string& bytes) const {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return path(name);
    }
    std::string read_file(const std::string& name) const {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
    std::size_t files_in(const std::string& name) const {
        std::size_t count = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_ / name)) ++count;
        return count;
    }
    std::filesystem::path dir_;
};
