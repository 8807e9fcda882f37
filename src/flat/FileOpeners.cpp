#include "flat/FileOpeners.h"

#include <cstring>
#include <exception>
#include <new>
#include <streambuf>
#include <vector>

namespace VelXmlN {
namespace detail {

namespace {

std::unique_ptr<std::ifstream> openForReading(const std::string& fileName) {
    std::unique_ptr<std::ifstream> stream = platform::openTextForReading(fileName);
    // POSIX opens a folder for reading without complaint and fails only at the first read;
    // Windows refuses it at once. A folder is no input file on either.
    if (stream->good() && platform::isFolder(fileName)) {
        stream->setstate(std::ios_base::failbit);
    }
    return stream;
}

}  // namespace

std::unique_ptr<std::ifstream> openInputFile(const std::string& fileName,
                                             ShortPathFunction shortPath) {
    std::unique_ptr<std::ifstream> stream = openForReading(fileName);
    if (stream->good()) {
        return stream;
    }
    // A long name can fail where its 8.3 form works (paths beyond the old length limit, names in
    // another code page). Without a short form the same name is tried once more.
    std::string retryName;
    if (shortPath == nullptr || !shortPath(fileName, retryName)) {
        retryName = fileName;
    }
    stream.reset();
    return openForReading(retryName);
}

// Collects the stream's output in blocks and hands them to the output file; the first refusal is
// kept so that finish() can say what the system answered.
class TempFileWriter::Buffer : public std::streambuf {
  public:
    explicit Buffer(platform::OutputFile& file) : file_(file), block_(kBlock) {
        setp(block_.data(), block_.data() + block_.size());
    }

    // Hands over what is held; false once the system has refused anything.
    bool drain() {
        const std::size_t held = static_cast<std::size_t>(pptr() - pbase());
        setp(block_.data(), block_.data() + block_.size());
        return pass(block_.data(), held);
    }

    const platform::FileError& failure() const { return failure_; }
    bool failed() const { return failed_; }

  protected:
    int_type overflow(int_type c) override {
        if (!drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    std::streamsize xsputn(const char* data, std::streamsize count) override {
        const auto size = static_cast<std::size_t>(count);
        if (size < kBlock / 2) {
            if (static_cast<std::size_t>(epptr() - pptr()) < size && !drain()) {
                return 0;
            }
            std::memcpy(pptr(), data, size);
            pbump(static_cast<int>(size));
            return count;
        }
        // Large pieces go straight to the file rather than through the block.
        if (!drain() || !pass(data, size)) {
            return 0;
        }
        return count;
    }

    int sync() override { return drain() ? 0 : -1; }

  private:
    static constexpr std::size_t kBlock = std::size_t{1} << 16;

    bool pass(const char* data, std::size_t size) {
        if (failed_) {
            return false;
        }
        if (size > 0 && !file_.write(data, size, failure_)) {
            failed_ = true;
        }
        return !failed_;
    }

    platform::OutputFile& file_;
    std::vector<char> block_;
    platform::FileError failure_;
    bool failed_ = false;
};

TempFileWriter::TempFileWriter(const std::string& fileName, std::ios_base::openmode mode)
    : uncaughtAtStart_(std::uncaught_exceptions()) {
    platform::FileError failure;
    if (!file_.open(fileName, (mode & std::ios_base::app) != 0, failure)) {
        error_ = failure.message;
        return;
    }
    buffer_ = std::make_unique<Buffer>(file_);
    stream_ = std::make_unique<std::ostream>(buffer_.get());
    targetName_ = fileName;
}

TempFileWriter::~TempFileWriter() {
    if (std::uncaught_exceptions() > uncaughtAtStart_) {
        abandoned_ = true;
    }
    try {
        finish();
    } catch (const std::bad_alloc&) {
        // Only an error text can fail to be built here. A destructor has nobody to tell, and
        // whatever step was reached, the target is either untouched or wholly replaced.
        file_.discard();
    }
}

void TempFileWriter::noteError(const std::string& message) {
    if (error_.empty()) {
        error_ = message;
    }
}

bool TempFileWriter::finish() {
    if (finished_) {
        return replaced_;
    }
    finished_ = true;
    if (!stream_) {
        return false;
    }
    const bool complete = buffer_->drain() && !stream_->fail();
    stream_.reset();
    if (buffer_->failed()) {
        noteError(buffer_->failure().message);
    } else if (!complete) {
        noteError("cannot write '" + targetName_ + "': the output stream failed");
    } else if (abandoned_) {
        noteError("the write of '" + targetName_ + "' was abandoned");
    }
    platform::FileError failure;
    if (complete && !abandoned_) {
        replaced_ = file_.commit(failure);
        if (!replaced_) {
            noteError(failure.message);
        }
    }
    if (!replaced_) {
        file_.discard();
    }
    return replaced_;
}

bool writeWhole(const std::string& fileName, std::ios_base::openmode mode,
                const std::function<void(std::ostream&)>& write, std::string& error) {
    TempFileWriter writer(fileName, mode);
    std::ostream* stream = writer.stream();
    if (stream != nullptr && stream->good()) {
        try {
            write(*stream);
        } catch (...) {
            // Half a document must never replace the file: the temporary file goes before the
            // exception reaches the caller.
            writer.abandon();
            writer.finish();
            throw;
        }
    }
    const bool written = writer.finish();
    error = writer.error();
    return written;
}

}  // namespace detail
}  // namespace VelXmlN
