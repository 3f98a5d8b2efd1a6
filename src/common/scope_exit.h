#pragma once
// Runs a function on every way out of a scope.
#include <exception>
#include <utility>

namespace vandrel {

template <class F>
class ScopeExit {
public:
    explicit ScopeExit(F f) : f_(std::move(f)), uncaught_(std::uncaught_exceptions()) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

    // On a normal way out an error of the function passes on. While an error
    // already passes through, that error wins and one of the function is
    // dropped, since two at once would end the program.
    ~ScopeExit() noexcept(false) {
        if (std::uncaught_exceptions() == uncaught_) {
            f_();
            return;
        }
        try {
            f_();
        } catch (...) {
        }
    }

private:
    F f_;
    int uncaught_;
};

} // namespace vandrel
