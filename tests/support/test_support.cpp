#include "support/test_support.h"

#include <atomic>
#include <chrono>
#include <system_error>

#include <unistd.h>

namespace torvix::test {

std::filesystem::path DemoTrackPath() {
    const std::filesystem::path path =
        std::filesystem::path(TORVIX_SOURCE_DIR) / ".." / "shared" / "tracks" / "demo-circuit.nltrack";
    std::error_code ec;
    return std::filesystem::exists(path, ec) ? path : std::filesystem::path();
}

std::filesystem::path SampleTrackPath() {
    return std::filesystem::path(TORVIX_SOURCE_DIR) / "samples" / "sample.nltrack";
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("torvix-test-" + std::to_string(::getpid()) + "-" + std::to_string(stamp) + "-" +
             std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace torvix::test
