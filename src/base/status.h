// One way to report failure across the core and the front ends: a Status is
// ok or carries the message a person reads; a Result<T> is a value or such a
// message. Both are [[nodiscard]], so an outcome cannot be dropped unseen.
#pragma once

#include <cassert>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace torvix::base {

class [[nodiscard]] Status {
public:
    Status() = default;  // ok
    static Status Ok() { return Status(); }
    // An empty message still fails; callers pass the text to show.
    static Status Fail(std::string message) { return Status(std::move(message), true); }

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    // Why it failed; empty when ok.
    const std::string& message() const { return message_; }

private:
    Status(std::string message, bool failed) : message_(std::move(message)), failed_(failed) {}

    std::string message_;
    bool failed_ = false;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(const T& value) : value_(value) {}
    Result(T&& value) : value_(std::move(value)) {}
    // From a failed Status, so `return Status::Fail(...)` reads the same in both.
    // An ok Status carries no value: that is a programming error.
    Result(Status status) : error_(status.message()) {
        assert(!status.ok() && "a Result needs a value or a failed Status");
        if (status.ok()) error_ = "no value";
    }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Why there is no value; empty when ok.
    const std::string& error() const { return error_; }
    // The outcome without the value, to pass a failure on.
    Status status() const { return ok() ? Status::Ok() : Status::Fail(error_); }

    // Reading the value of a failed Result is a fault in the caller: it stops
    // a debug build and throws in a release one, never reads garbage.
    T& value() & {
        Checked();
        return *value_;
    }
    const T& value() const& {
        Checked();
        return *value_;
    }
    T&& value() && {
        Checked();
        return std::move(*value_);
    }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    void Checked() const {
        assert(ok() && "value() of a failed Result");
        if (!ok()) throw std::logic_error("value() of a failed Result: " + error_);
    }

    std::optional<T> value_;
    std::string error_;
};

}  // namespace torvix::base
