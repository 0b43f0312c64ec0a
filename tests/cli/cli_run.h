// Runs the command-line program in-process and keeps what it printed.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/commands.h"

namespace torvix::cli {

struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
};

inline ToolRun RunTool(std::vector<std::string> args) {
    args.insert(args.begin(), "torvix-cli");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ToolRun r;
    r.code = RunCli(static_cast<int>(argv.size()), argv.data());
    r.out = testing::internal::GetCapturedStdout();
    r.err = testing::internal::GetCapturedStderr();
    return r;
}

}  // namespace torvix::cli
