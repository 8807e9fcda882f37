// The error mode of the flat functions: per thread, exceptions either pass out (the default) or
// become failure results with a message kept for VELXMLN_GetLastError.
#ifndef VELXMLN_SRC_FLAT_ERRORMODE_H
#define VELXMLN_SRC_FLAT_ERRORMODE_H

#include <string>

namespace VelXmlN {
namespace detail {

/// True when the calling thread asked for errors as results (VELXMLN_ERRORS_RETURN).
bool errorsBecomeResults() noexcept;

/// Empties the calling thread's last error.
void clearLastError() noexcept;

/// Keeps `message` as the calling thread's last error when errors become results; does nothing
/// otherwise, so that a thread in the default mode never collects stale messages.
void noteError(const std::string& message) noexcept;

/// Keeps "cannot open '<fileName>': <the system's reason>" after an input file failed to open,
/// when errors become results. Call right after the failed open, while errno still tells why.
void noteOpenFailure(const std::string& fileName) noexcept;

/// Keeps the message of the exception being handled (call only inside a catch block), after
/// "cannot <action> '<fileName>': " when both are given.
void noteCurrentException(const char* action = nullptr, const char* fileName = nullptr) noexcept;

/// Runs `body` as a flat function's body. In the default mode it is just called, and whatever it
/// throws passes on. When errors become results the last error is cleared first, and an exception
/// is caught, its message kept and `failure` returned.
/// With an `action` ("read", "write") and a `fileName`, a kept message names the file.
template <typename Result, typename Body>
Result guarded(Result failure, Body&& body, const char* action = nullptr,
               const char* fileName = nullptr) {
    if (!errorsBecomeResults()) {
        return body();
    }
    clearLastError();
    try {
        return body();
    } catch (...) {
        noteCurrentException(action, fileName);
        return failure;
    }
}

/// guarded() for the functions that return nothing.
template <typename Body>
void guardedVoid(Body&& body, const char* action = nullptr, const char* fileName = nullptr) {
    if (!errorsBecomeResults()) {
        body();
        return;
    }
    clearLastError();
    try {
        body();
    } catch (...) {
        noteCurrentException(action, fileName);
    }
}

}  // namespace detail
}  // namespace VelXmlN

#endif
