// The error mode, the last error and the functions that read them.
#include "flat/ErrorMode.h"

#include <VelXmlN/kasxmln.h>
#include <VelXmlN/velxmln.h>

#include "flat/TextBuffer.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <exception>
#include <new>
#include <system_error>

namespace VelXmlN {
namespace detail {

namespace {

// Both belong to the thread, like errno: threads with their own documents never see each other's
// mode or messages.
thread_local int errorMode = VELXMLN_ERRORS_THROW;

struct LastError {
    std::string message;
    // Set when even the message could not be stored; reported as "out of memory".
    bool outOfMemory = false;
};

thread_local LastError lastError;

const char* const kOutOfMemory = "out of memory";

void keep(const char* message, const char* action = nullptr,
          const char* fileName = nullptr) noexcept {
    try {
        lastError.message.clear();
        if (action != nullptr && fileName != nullptr) {
            lastError.message.append("cannot ").append(action).append(" '").append(fileName).append(
                "': ");
        }
        lastError.message += message;
        lastError.outOfMemory = false;
    } catch (...) {
        lastError.message.clear();
        lastError.outOfMemory = true;
    }
}

}  // namespace

bool errorsBecomeResults() noexcept {
    return errorMode == VELXMLN_ERRORS_RETURN;
}

void clearLastError() noexcept {
    lastError.message.clear();
    lastError.outOfMemory = false;
}

void noteError(const std::string& message) noexcept {
    if (errorsBecomeResults()) {
        keep(message.c_str());
    }
}

void noteOpenFailure(const std::string& fileName) noexcept {
    if (!errorsBecomeResults()) {
        return;
    }
    const int code = errno;
    try {
        std::string reason;
        if (platform::isFolder(fileName)) {
            reason = "it is a folder";
        } else if (code != 0) {
            reason = std::generic_category().message(code);
        } else {
            reason = "it cannot be read";
        }
        keep(("cannot open '" + fileName + "': " + reason).c_str());
    } catch (...) {
        lastError.outOfMemory = true;
    }
}

void noteCurrentException(const char* action, const char* fileName) noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        keep(kOutOfMemory, action, fileName);
    } catch (const std::exception& error) {
        keep(error.what(), action, fileName);
    } catch (...) {
        keep("unknown error", action, fileName);
    }
}

}  // namespace detail
}  // namespace VelXmlN

int VELXMLN_SetErrorMode(int mode) {
    if (mode != VELXMLN_ERRORS_THROW && mode != VELXMLN_ERRORS_RETURN) {
        return -1;
    }
    const int previous = VelXmlN::detail::errorMode;
    VelXmlN::detail::errorMode = mode;
    return previous;
}

int VELXMLN_GetErrorMode(void) {
    return VelXmlN::detail::errorMode;
}

int VELXMLN_GetLastError(char* buffer, size_t bufferSize) {
    static const std::string outOfMemory = VelXmlN::detail::kOutOfMemory;
    const VelXmlN::detail::LastError& error = VelXmlN::detail::lastError;
    const std::string& message = error.outOfMemory ? outOfMemory : error.message;
    if (buffer != nullptr) {
        VelXmlN::detail::copyToBuffer(message, buffer, bufferSize);
    }
    return VelXmlN::detail::lengthResult(message.size());
}
