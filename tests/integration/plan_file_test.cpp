// vantrel-cli provision handed what no plan should be: a device, a directory,
// a missing file, an endless standard input, a 50 MB file and a 4 MiB one of
// bad rows. Each ends with status 2 and a bounded message before any scan
// (with --trace a scan's own lines would show), in an address space of
// 512 MiB where no sanitizer needs more.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "test_lan.h"

#if defined(__SANITIZE_ADDRESS__)
#define PLAN_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PLAN_TEST_SANITIZED 1
#endif
#endif

namespace {

using namespace std::chrono_literals;

class ProvisionFile : public testing::Test {
protected:
    void SetUp() override {
        dir = "/tmp/vantrel-plan-file-" + std::to_string(getpid());
        std::filesystem::create_directories(dir + "/a-directory");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Runs vantrel-cli --trace provision PLAN with /dev/zero as standard input;
    // its exit status, and its standard error in `errors`.
    int Provision(const std::string& plan, std::string& errors) {
        Launch how;
        how.stdinPath = "/dev/zero";
        how.stderrPath = dir + "/stderr";
#ifndef PLAN_TEST_SANITIZED  // the sanitizer's shadow memory takes terabytes of address space
        how.addressSpace = 512ull << 20;
#endif
        auto cli = Start({VANTREL_CLI, "--trace", "provision", plan}, how);
        const int status = cli ? cli->Wait(120s) : -1;
        EXPECT_EQ(cli ? cli->Output() : "", "") << plan;  // no table: nothing was run
        std::ifstream in(dir + "/stderr", std::ios::binary);
        errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return status;
    }

    // A plan file of `bytes` (rounded down to whole rows) whose every row is bad; its row count.
    std::size_t BadRows(const std::string& path, std::size_t bytes) {
        const std::string header = "hwaddr,ip,subnet,gateway,name\n", row = "nothing,dhcp,,,\n";
        std::string block;
        while (block.size() < (1u << 20)) block += row;
        std::ofstream out(path, std::ios::binary);
        out << header;
        std::size_t rows = 0, left = bytes - header.size();
        for (; left >= block.size(); left -= block.size()) {
            out << block;
            rows += block.size() / row.size();
        }
        out << block.substr(0, left / row.size() * row.size());
        return rows + left / row.size();
    }

    std::string dir;
};

TEST_F(ProvisionFile, WhatIsNoPlanEndsBeforeAnyScan) {
    const std::string tooLarge = "is larger than 4 MiB (4194304 bytes), the most a plan may hold\n";
    const std::string big = dir + "/big.csv";
    BadRows(big, 50u << 20);
    struct Case {
        std::string plan, message;
    } cases[] = {
        {"/dev/zero", "/dev/zero: is not a regular file (give - to read standard input)\n"},
        {"-", "stdin: " + tooLarge},
        {dir + "/a-directory", dir + "/a-directory: cannot be read: " + std::strerror(EISDIR) + "\n"},
        {dir + "/missing.csv", dir + "/missing.csv: cannot be read: " + std::strerror(ENOENT) + "\n"},
        {big, big + ": " + tooLarge},
    };
    for (const Case& c : cases) {
        std::string errors;
        EXPECT_EQ(Provision(c.plan, errors), 2) << c.plan;
        EXPECT_EQ(errors, c.message);
    }
}

TEST_F(ProvisionFile, APlanOfBadRowsListsAHundredFaultsAndCountsTheRest) {
    const std::string plan = dir + "/bad-rows.csv";
    const std::size_t rows = BadRows(plan, (4u << 20) - 64);
    ASSERT_GT(rows, 200000u);
    std::string errors;
    EXPECT_EQ(Provision(plan, errors), 2);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < errors.size();) {
        const std::size_t end = errors.find('\n', at);
        lines.push_back(errors.substr(at, end - at));
        at = end == std::string::npos ? errors.size() : end + 1;
    }
    ASSERT_EQ(lines.size(), 101u) << errors.substr(0, 2000);
    EXPECT_EQ(lines.front(), plan + ":2: bad hardware address \"nothing\"");
    EXPECT_EQ(lines[99], plan + ":101: bad hardware address \"nothing\"");
    EXPECT_EQ(lines.back(), plan + ": … and " + std::to_string(rows - 100) + " more");
}

}  // namespace
