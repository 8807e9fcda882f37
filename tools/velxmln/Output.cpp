#include "Output.h"

#include "Commands.h"
#include "Input.h"

#include <VelXmlN/AtomicFile.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace velxmlncli {

StandardOutputBuffer::StandardOutputBuffer() : block_(std::size_t{1} << 16) {
    // Every block goes to the system as it is written here, so that a failed write is seen with
    // its own error number, not later and without one when the C library flushes its buffer.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    setp(block_.data(), block_.data() + block_.size());
}

StandardOutputBuffer::int_type StandardOutputBuffer::overflow(int_type c) {
    if (!drain()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize StandardOutputBuffer::xsputn(const char* text, std::streamsize count) {
    const auto size = static_cast<std::size_t>(count);
    if (size <= static_cast<std::size_t>(epptr() - pptr())) {
        traits_type::copy(pptr(), text, size);
        pbump(static_cast<int>(count));
        return count;
    }
    // A piece larger than the room left goes out at once after what is buffered, not copied.
    if (!drain() || !writeThrough(text, size)) {
        return 0;
    }
    return count;
}

int StandardOutputBuffer::sync() {
    return drain() ? 0 : -1;
}

bool StandardOutputBuffer::drain() {
    const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
    setp(block_.data(), block_.data() + block_.size());
    return writeThrough(block_.data(), pending);
}

bool StandardOutputBuffer::writeThrough(const char* bytes, std::size_t count) {
    if (error_ != 0) {
        return false;
    }
    while (count > 0) {
        errno = 0;
        const std::size_t written = std::fwrite(bytes, 1, count, stdout);
        if (written == 0) {
            error_ = errno != 0 ? errno : EIO;
#ifdef _WIN32
            // The C library of Windows reports a pipe whose reader has gone as EINVAL; the
            // system's own error tells it apart.
            const DWORD reason = GetLastError();
            brokenPipe_ = error_ == EPIPE || reason == ERROR_NO_DATA ||
                          reason == ERROR_BROKEN_PIPE || reason == ERROR_PIPE_NOT_CONNECTED;
#else
            brokenPipe_ = error_ == EPIPE;
#endif
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

CheckedStandardOutput::CheckedStandardOutput() : former_(std::cout.rdbuf(&buffer_)) {}

CheckedStandardOutput::~CheckedStandardOutput() {
    std::cout.rdbuf(former_);
}

int CheckedStandardOutput::finish(int status) {
    std::cout.flush();
    const int error = buffer_.error();
    if (error == 0) {
        return status;
    }
    std::cout.clear();
    if (buffer_.brokenPipe()) {
        return kExitBrokenPipe;
    }
    std::cerr << "velxmln: cannot write to standard output: "
              << std::generic_category().message(error) << '\n';
    return kExitError;
}

void writeOutput(const std::string& target, const std::function<void(std::ostream&)>& write) {
    if (target == kStandardStream) {
        write(std::cout);
        return;
    }
    try {
        VelXmlN::writeFileAtomically(target, write);
    } catch (const CommandError&) {
        throw;
    } catch (const std::runtime_error& error) {
        throw CommandError(error.what());
    }
}

std::string editTarget(const std::string& command, const std::string& input,
                       const std::string& output) {
    if (!output.empty()) {
        return output;
    }
    if (input == kStandardStream) {
        throw CommandError(command +
                           ": the input is standard input, so there is no file to write back to; "
                           "give -o FILE, or -o - for standard output");
    }
    return input;
}

}  // namespace velxmlncli
