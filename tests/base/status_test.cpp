#include "base/status.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

namespace torvix::base {
namespace {

Result<int> Halve(int n) {
    if (n % 2 != 0) return Status::Fail(std::to_string(n) + " is odd");
    return n / 2;
}

// A failure passed up through a caller keeps its message.
Status HalveTwice(int n, int& out) {
    const Result<int> once = Halve(n);
    if (!once) return once.status();
    const Result<int> twice = Halve(*once);
    if (!twice) return twice.status();
    out = *twice;
    return Status::Ok();
}

TEST(Status, OkAndFailed) {
    const Status ok = Status::Ok();
    EXPECT_TRUE(ok.ok());
    EXPECT_TRUE(static_cast<bool>(ok));
    EXPECT_EQ(ok.message(), "");

    const Status failed = Status::Fail("disk full");
    EXPECT_FALSE(failed.ok());
    EXPECT_FALSE(static_cast<bool>(failed));
    EXPECT_EQ(failed.message(), "disk full");
    // A failure without words is still a failure.
    EXPECT_FALSE(Status::Fail("").ok());
}

TEST(Result, ValueOrErrorPassedOn) {
    const Result<int> half = Halve(12);
    ASSERT_TRUE(half.ok());
    EXPECT_EQ(*half, 6);
    EXPECT_EQ(half.error(), "");
    EXPECT_TRUE(half.status().ok());

    int out = 0;
    EXPECT_TRUE(HalveTwice(12, out).ok());
    EXPECT_EQ(out, 3);
    const Status odd = HalveTwice(6, out);  // 6 -> 3, which is odd
    EXPECT_FALSE(odd.ok());
    EXPECT_EQ(odd.message(), "3 is odd");
    EXPECT_EQ(out, 3);  // untouched by the failed call
}

TEST(Result, HoldsMoveOnlyAndStringValues) {
    Result<std::unique_ptr<int>> owned(std::make_unique<int>(7));
    EXPECT_EQ(**owned, 7);
    std::unique_ptr<int> taken = std::move(owned).value();
    EXPECT_EQ(*taken, 7);

    // A string value is a value, not a message.
    const Result<std::string> text(std::string("fine"));
    EXPECT_TRUE(text.ok());
    EXPECT_EQ(text->size(), 4u);
    const Result<std::string> refused(Status::Fail("fine"));
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.error(), "fine");
}

#ifdef NDEBUG
TEST(Result, ReadingAFailedValueThrows) {
    const Result<int> odd = Halve(5);
    EXPECT_THROW((void)odd.value(), std::logic_error);
    EXPECT_THROW((void)*odd, std::logic_error);
}
#else
TEST(Result, ReadingAFailedValueStopsADebugBuild) {
    const Result<int> odd = Halve(5);
    EXPECT_DEATH((void)odd.value(), "failed Result");
}
#endif

}  // namespace
}  // namespace torvix::base
