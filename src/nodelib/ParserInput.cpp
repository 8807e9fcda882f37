#include "nodelib/ParserInput.h"

#include <cstring>
#include <new>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>

#include <VelXmlN/kasxmln.h>

#include "platform/ErrorText.h"

namespace kasxmln {
namespace detail {

namespace {

// The parser's working memory for an ordinary document stays far below this.
constexpr std::uint64_t kParserMemoryFloor = 16u * 1024u * 1024u;

[[noreturn]] void throwFileError(const char* doing, const std::string& path, int error) {
    throw CXMLException(CXMLException::kFileError, static_cast<unsigned>(error),
                        std::string("cannot ") + doing + " file '" + path +
                            "': " + VelXmlN::platform::errorText(error));
}

}  // namespace

InputFile openFile(const std::string& path) {
    InputFile file;
    if (const int error = file.open(path)) {
        throwFileError("open", path, error);
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
    int error = 0;
    const std::size_t got = file_.read(toFill, maxToRead, error);
    if (error != 0) {
        if (errors_ == FileErrors::Parser) {
            ThrowXML(xercesc::XMLPlatformUtilsException,
                     xercesc::XMLExcepts::File_CouldNotReadFromFile);
        }
        throwFileError("read", path_, error);
    }
    return got;
}

FileSource::FileSource(std::string path, const std::u16string& systemId, std::uint64_t& taken)
    : path_(std::move(path)), taken_(taken) {
    setSystemId(systemId.c_str());
}

xercesc::BinInputStream* FileSource::makeStream() const {
    InputFile file;
    if (file.open(path_) != 0) {
        return nullptr;
    }
    return new FileStream(std::move(file), path_, taken_, FileErrors::Parser);
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
