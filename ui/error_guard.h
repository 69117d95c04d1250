#pragma once

#include <QObject>

#include <exception>
#include <type_traits>
#include <utility>

// The boundary between the event loop and code that can fail: every slot, timer and event override
// that reaches the database runs inside run(). A failure stops the handler and shows one error box
// with its text; nothing crosses the event loop.
namespace guard {

// Shows the application-wide error display for the exception.
void report(std::exception_ptr error, bool fromTimer = false);

template<typename F>
bool run(F &&work)
{
    try {
        std::forward<F>(work)();
        return true;
    } catch (...) {
        report(std::current_exception());
        return false;
    }
}

// Connects a signal to a handler that runs inside run(): a member function of the receiver without
// arguments, or a callable. The handler runs as long as the receiver lives.
template<typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection connect(Sender *sender, Signal signal, Receiver *receiver, Handler handler)
{
    return QObject::connect(sender, signal, receiver, [receiver, handler] {
        if constexpr (std::is_member_function_pointer_v<Handler>)
            run([receiver, handler] { (receiver->*handler)(); });
        else
            run(handler);
    });
}

// For timers: skipped while a long action runs, while an error box of an earlier tick is still
// open, or after the program was asked to end; at most one such box is shown at a time, and a
// lost connection is reported once until a tick succeeds again (the timer keeps trying meanwhile).
bool timerMayRun();
void timerSucceeded();
template<typename F>
bool runFromTimer(F &&work)
{
    if (!timerMayRun())
        return false;
    try {
        std::forward<F>(work)();
        timerSucceeded();
        return true;
    } catch (...) {
        report(std::current_exception(), true);
        return false;
    }
}

} // namespace guard
