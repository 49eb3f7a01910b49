#include "widgets/Guarded.h"

#include <utility>

namespace vexlo {

namespace {
ErrorHandler &CurrentHandler()
{
    static ErrorHandler handler;
    return handler;
}
} // namespace

void SetErrorHandler(ErrorHandler handler)
{
    CurrentHandler() = std::move(handler);
}

void MyException(std::exception_ptr error)
{
    const ErrorHandler &handler = CurrentHandler();
    if (!handler || !error)
        return; // no window to report to yet: the error is dropped
    try {
        handler(error);
    } catch (...) {
        // The handler itself failed (e.g. out of memory while showing a box): nothing
        // may leave here, the caller runs inside the event loop.
    }
}

} // namespace vexlo
