#include "external/ParserInput.h"

#include "external/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <VelXmlN/kasxmln.h>

namespace kasxmln {
namespace detail {

namespace {

// The parser's working memory for an ordinary document stays far below this.
constexpr std::uint64_t kParserMemoryFloor = 16u * 1024u * 1024u;

[[noreturn]] void throwFileError(const char* doing, const std::string& path, int error) {
    throw CXMLException(
        CXMLException::kFileError, static_cast<unsigned>(error),
        std::string("cannot ") + doing + " file '" + path + "': " + std::strerror(error));
}

}  // namespace

File openFile(const std::string& path) {
    File file(VelXmlN::platform::openBytesForReading(path));
    if (!file) {
        throwFileError("open", path, errno);
    }
    // A file that opens but cannot be read (a directory) fails here, not in the parser's first
    // read: Xerces-C's reader loses memory when an exception leaves its constructor.
    const int first = std::getc(file.get());
    if (first == EOF && std::ferror(file.get()) != 0) {
        throwFileError("read", path, errno);
    }
    if (first != EOF) {
        std::ungetc(first, file.get());
    }
    return file;
}

XMLSize_t CountingStream::readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) {
    const std::size_t got = read(toFill, maxToRead);
    position_ += got;
    taken_ += got;
    return got;
}

std::size_t MemoryStream::read(XMLByte* toFill, std::size_t maxToRead) {
    const std::size_t left = size_ - offset_;
    const std::size_t count = left < maxToRead ? left : maxToRead;
    std::memcpy(toFill, bytes_ + offset_, count);
    offset_ += count;
    return count;
}

std::size_t StreambufStream::read(XMLByte* toFill, std::size_t maxToRead) {
    std::size_t got = 0;
    while (got < maxToRead) {
        const std::streamsize piece = input_.sgetn(reinterpret_cast<char*>(toFill) + got,
                                                   static_cast<std::streamsize>(maxToRead - got));
        if (piece <= 0) {
            break;
        }
        got += static_cast<std::size_t>(piece);
    }
    return got;
}

std::size_t FileStream::read(XMLByte* toFill, std::size_t maxToRead) {
    const std::size_t got = std::fread(toFill, 1, maxToRead, file_.get());
    if (got == 0 && std::ferror(file_.get()) != 0) {
        throwFileError("read", path_, errno);
    }
    return got;
}

StreamSource::StreamSource(std::unique_ptr<CountingStream> stream, const std::u16string& systemId)
    : stream_(std::move(stream)) {
    setSystemId(systemId.c_str());
}

StreamSource::~StreamSource() {
    if (handedOutAlive_) {
        delete handedOut_;
    }
}

xercesc::BinInputStream* StreamSource::makeStream() const {
    if (stream_ == nullptr) {
        return nullptr;
    }
    handedOut_ = stream_.release();
    handedOut_->watch(&handedOutAlive_);
    handedOutAlive_ = true;
    return handedOut_;
}

xercesc::MemoryManager* BudgetedMemory::getExceptionMemoryManager() {
    return xercesc::XMLPlatformUtils::fgMemoryManager;
}

BudgetedMemory::~BudgetedMemory() {
    while (blocks_ != nullptr) {
        Block* block = blocks_;
        blocks_ = block->next;
        ::operator delete(block);
    }
}

void* BudgetedMemory::allocate(XMLSize_t size) {
    const std::uint64_t wanted = live_ + size;
    if (wanted > kParserMemoryFloor && wanted / kMaxAmplification > taken_) {
        exceeded_ = true;
        throw xercesc::OutOfMemoryException();
    }
    auto* block = static_cast<Block*>(::operator new(sizeof(Block) + size, std::nothrow));
    if (block == nullptr) {
        throw xercesc::OutOfMemoryException();
    }
    block->previous = nullptr;
    block->next = blocks_;
    block->size = size;
    if (blocks_ != nullptr) {
        blocks_->previous = block;
    }
    blocks_ = block;
    live_ = wanted;
    return block + 1;
}

void BudgetedMemory::deallocate(void* p) {
    if (p == nullptr) {
        return;
    }
    Block* block = static_cast<Block*>(p) - 1;
    live_ -= block->size;
    if (block->previous != nullptr) {
        block->previous->next = block->next;
    } else {
        blocks_ = block->next;
    }
    if (block->next != nullptr) {
        block->next->previous = block->previous;
    }
    ::operator delete(block);
}

}  // namespace detail
}  // namespace kasxmln
