// The one catch point of the windows: every action slot runs its body through guarded().
#pragma once

#include <exception>
#include <functional>

namespace vexlo {

/// The program-wide error handler (MyException). The main window installs one that shows
/// "mistake!" for conversion errors and the message of errors that ended a run or a
/// settings write; until then errors are dropped.
using ErrorHandler = std::function<void(std::exception_ptr)>;
void SetErrorHandler(ErrorHandler handler);
void MyException(std::exception_ptr error);

/// Runs `body`; whatever it throws goes to MyException, never into the Qt event loop.
template <class Body> void guarded(Body &&body) noexcept
{
    try {
        body();
    } catch (...) {
        MyException(std::current_exception());
    }
}

} // namespace vexlo
