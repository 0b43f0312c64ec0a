// Helpers shared by the test suites.
#pragma once

#include <filesystem>
#include <string>

namespace torvix::test {

// The simulator-written demo track beside the checkout, or an empty path when
// it is not there (a user's own clone); tests then GTEST_SKIP with a message.
std::filesystem::path DemoTrackPath();

// The sample track the repository ships (samples/sample.nltrack).
std::filesystem::path SampleTrackPath();

// A fresh, empty folder under the system's temporary folder, removed when the
// object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace torvix::test
