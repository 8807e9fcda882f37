#include "flat/FileOpeners.h"

#include <cerrno>
#include <exception>
#include <new>
#include <system_error>

namespace VelXmlN {
namespace detail {

namespace {

std::unique_ptr<std::ifstream> openForReading(const std::string& fileName) {
    auto stream = std::make_unique<std::ifstream>(fileName, std::ios_base::in);
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

TempFileWriter::TempFileWriter(const std::string& fileName, std::ios_base::openmode mode,
                               MoveFunction move)
    : move_(move != nullptr ? move : platform::moveFile),
      uncaughtAtStart_(std::uncaught_exceptions()) {
    platform::FileError failure;
    std::string folder;
    if (!platform::temporaryFolder(folder, failure) ||
        !platform::createUniqueFile(folder, kTemporaryPrefix, temporaryName_, failure)) {
        error_ = failure.message;
        return;
    }
    try {
        targetName_ = fileName;
        if ((mode & std::ios_base::app) != 0 && platform::fileExists(targetName_) &&
            !platform::copyFile(targetName_, temporaryName_, failure)) {
            // Going on would replace the target by the appended part alone.
            giveUp(failure.message);
            return;
        }
        stream_ = std::make_unique<std::ofstream>(temporaryName_, mode | std::ios_base::out);
        if (!stream_->good()) {
            giveUp("cannot open the temporary file '" + temporaryName_ + "'");
        }
    } catch (...) {
        // Out of memory: the constructor fails, so no destructor will clean up after it.
        stream_.reset();
        platform::FileError ignored;
        platform::removeFile(temporaryName_, ignored);
        throw;
    }
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
    }
}

void TempFileWriter::giveUp(const std::string& message) {
    noteError(message);
    stream_.reset();
    platform::FileError ignored;
    platform::removeFile(temporaryName_, ignored);
    temporaryName_.clear();
    targetName_.clear();
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
    // The caller may have asked the stream for exceptions; finishing reports by its result.
    stream_->exceptions(std::ios_base::goodbit);
    const bool failedBefore = stream_->fail();
    errno = 0;
    stream_->flush();
    stream_->close();
    const int closeErrno = errno;
    bool complete = !stream_->fail();
    stream_.reset();
    platform::FileError failure;
    if (!complete) {
        std::string message = "cannot write the temporary file '" + temporaryName_ + "'";
        if (!failedBefore && closeErrno != 0) {
            message += ": " + std::generic_category().message(closeErrno);
        }
        noteError(message);
    } else if (!platform::flushToDisk(temporaryName_, failure)) {
        noteError(failure.message);
        complete = false;
    }
    if (complete && abandoned_) {
        noteError("the write of '" + targetName_ + "' was abandoned");
    }
    if (complete && !abandoned_) {
        replaced_ = replaceTarget();
    }
    if (!replaced_) {
        platform::FileError ignored;
        platform::removeFile(temporaryName_, ignored);
    }
    return replaced_;
}

bool TempFileWriter::replaceTarget() {
    platform::FileError failure;
    if (move_(temporaryName_, targetName_, failure)) {
        return true;
    }
    if (!failure.crossDevice) {
        noteError(failure.message);
        return false;
    }
    // A rename cannot leave its file system, and copying straight over the target could be cut
    // half-way. A copy in the target's own folder can be renamed over it in one step.
    std::string nearTarget;
    platform::FileError nearFailure;
    if (!platform::createUniqueFile(platform::parentFolder(targetName_), kTemporaryPrefix,
                                    nearTarget, nearFailure)) {
        noteError(nearFailure.message);
        return false;
    }
    if (platform::copyFile(temporaryName_, nearTarget, nearFailure) &&
        platform::flushToDisk(nearTarget, nearFailure) &&
        move_(nearTarget, targetName_, nearFailure)) {
        platform::FileError ignored;
        platform::removeFile(temporaryName_, ignored);
        return true;
    }
    noteError(nearFailure.message);
    platform::FileError ignored;
    platform::removeFile(nearTarget, ignored);
    return false;
}

}  // namespace detail
}  // namespace VelXmlN
