#include "nodelib/ParserInput.h"

#include <algorithm>
#include <string_view>

#include <cstring>
#include <new>

#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLExceptMsgs.hpp>

#include <VelXmlN/kasxmln.h>

#include "nodelib/Utf8Locator.h"
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

namespace {

// The XML declaration is looked for in this many first bytes.
constexpr std::size_t kHead = 256;

// The length of the sequence that the parser's UTF-8 decoder reads for a lead byte (it still
// knows the five- and six-byte forms).
std::size_t sequenceLength(unsigned char lead) {
    return lead >= 0xFC ? 6 : lead >= 0xF8 ? 5 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ByteWatch::declaredUtf8() const {
    std::string_view head(head_);
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        head.remove_prefix(3);
    }
    if (head.size() < 6 || head.substr(0, 5) != "<?xml" ||
        std::string_view(" \t\r\n").find(head[5]) == std::string_view::npos) {
        return true;  // no declaration: UTF-8 unless a byte order mark says otherwise
    }
    const std::size_t end = head.find("?>");
    if (end == std::string_view::npos) {
        return false;  // a declaration longer than the head: not worth a guess
    }
    const std::string_view declaration = head.substr(0, end);
    const std::size_t name = declaration.find("encoding");
    if (name == std::string_view::npos) {
        return true;
    }
    const std::size_t quote = declaration.find_first_of("'\"", name);
    if (quote == std::string_view::npos) {
        return false;
    }
    const std::size_t close = declaration.find(declaration[quote], quote + 1);
    if (close == std::string_view::npos) {
        return false;
    }
    std::string value;
    for (const char c : declaration.substr(quote + 1, close - quote - 1)) {
        value += lower(c);
    }
    return value == "utf-8" || value == "utf8";
}

void ByteWatch::start(const unsigned char* bytes, std::size_t count) {
    head_.append(reinterpret_cast<const char*>(bytes), std::min(count, kHead - head_.size()));
    if (head_.size() < 2) {
        return;
    }
    const auto b0 = static_cast<unsigned char>(head_[0]);
    const auto b1 = static_cast<unsigned char>(head_[1]);
    // A byte order mark of UTF-16, or a first character with a zero byte: wide characters.
    wide_ = (b0 == 0xFE && b1 == 0xFF) || (b0 == 0xFF && b1 == 0xFE) || b0 == 0 || b1 == 0;
    if (wide_ || head_.size() == kHead || head_.find("?>") != std::string::npos ||
        head_.find('>') != std::string::npos) {
        started_ = true;
        utf8_ = !wide_ && declaredUtf8();
    }
}

void ByteWatch::scan(const unsigned char* bytes, std::size_t count) {
    if (count == 0 || wide_) {
        return;
    }
    if (!started_) {
        start(bytes, count);
        if (wide_) {
            return;
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char byte = bytes[i];
        if (byte == '\n') {
            if (!afterCr_) {
                ++line_;
            }
            column_ = 0;
        } else if (byte == '\r') {
            ++line_;
            column_ = 0;
        } else if ((byte & 0xC0) != 0x80) {
            ++column_;
        }
        afterCr_ = byte == '\r';
        if (byte == 0 && !found_) {
            found_ = true;
            nulLine_ = line_;
            nulColumn_ = column_;
        }
        if (tailCount_ > 0 && tailCount_ < sequenceLength(tail_[0])) {
            tail_[tailCount_++] = byte;  // whatever it is, the parser takes it into the sequence
        } else if (byte >= 0xC0) {
            tail_[0] = byte;
            tailCount_ = 1;
            tailLine_ = line_;
            tailColumn_ = column_;
        } else {
            tailCount_ = 0;
        }
    }
}

std::string ByteWatch::problem(unsigned& line, unsigned& column) const {
    const std::string declaration = declarationProblem(line, column);
    if (!declaration.empty()) {
        return declaration;
    }
    if (found_) {
        line = static_cast<unsigned>(nulLine_);
        column = static_cast<unsigned>(nulColumn_);
        return "invalid character 0x0";
    }
    if (utf8_ && tailCount_ > 0 && tailCount_ < sequenceLength(tail_[0])) {
        Utf8Locator locator;
        if (!locator.feed(reinterpret_cast<const char*>(tail_), tailCount_)) {
            locator.finish();
        }
        line = static_cast<unsigned>(tailLine_);
        column = static_cast<unsigned>(tailColumn_);
        return locator.describe();
    }
    return std::string();
}

std::string ByteWatch::declarationProblem(unsigned& line, unsigned& column) const {
    if (!started_ || wide_) {
        return std::string();
    }
    std::string_view head(head_);
    const bool utf8Mark = head.substr(0, 3) == "\xEF\xBB\xBF";
    if (utf8Mark) {
        head.remove_prefix(3);
    }
    if (head.size() < 6 || head.substr(0, 5) != "<?xml" ||
        std::string_view(" \t\r\n").find(head[5]) == std::string_view::npos) {
        return std::string();
    }
    const std::size_t end = head.find("?>");
    if (end == std::string_view::npos) {
        return std::string();
    }
    // The declaration's value of `name` and the column after its closing quote; a malformed
    // declaration is left to the parser, which reports it in its own words.
    const std::string_view declaration = head.substr(0, end);
    const auto value = [declaration, &line, &column](std::string_view name, std::string& text) {
        std::size_t at = declaration.find(name);
        if (at == std::string_view::npos) {
            return false;
        }
        at = declaration.find_first_not_of(" \t\r\n", at + name.size());
        if (at == std::string_view::npos || declaration[at] != '=') {
            return false;
        }
        at = declaration.find_first_not_of(" \t\r\n", at + 1);
        if (at == std::string_view::npos || (declaration[at] != '"' && declaration[at] != '\'')) {
            return false;
        }
        const std::size_t close = declaration.find(declaration[at], at + 1);
        if (close == std::string_view::npos) {
            return false;
        }
        text.assign(declaration.substr(at + 1, close - at - 1));
        // The declaration is on the first line, after the byte order mark.
        line = 1;
        column = 1;
        for (std::size_t i = 0; i <= close; ++i) {
            column += (static_cast<unsigned char>(declaration[i]) & 0xC0) != 0x80 ? 1 : 0;
        }
        return true;
    };
    std::string text;
    if (value("version", text)) {
        const bool digits = text.size() > 2 && text.compare(0, 2, "1.") == 0 &&
                            text.find_first_not_of("0123456789", 2) == std::string::npos;
        if (!digits) {
            return "unsupported XML version '" + text + "'";
        }
    }
    if (value("encoding", text)) {
        std::string name;
        for (const char c : text) {
            name += lower(c);
        }
        if (utf8Mark && name != "utf-8" && name != "utf8" && name != "us-ascii" &&
            name != "ascii") {
            return "encoding '" + text + "' contradicts the byte order mark of UTF-8";
        }
        for (const char* wide : {"utf-16", "utf16", "utf-32", "utf32", "ucs-2", "ucs2", "ucs-4",
                                 "ucs4", "iso-10646-ucs-2", "iso-10646-ucs-4"}) {
            if (name.compare(0, std::strlen(wide), wide) == 0) {
                return "encoding '" + text + "' does not fit a document of single-byte characters";
            }
        }
    }
    return std::string();
}

XMLSize_t CountingStream::readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) {
    const std::size_t got = read(toFill, maxToRead);
    position_ += got;
    taken_ += got;
    if (watch_ != nullptr) {
        watch_->scan(toFill, got);
    }
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

std::size_t readFile(InputFile& file, void* buffer, std::size_t size, const std::string& path) {
    int error = 0;
    const std::size_t got = file.read(buffer, size, error);
    if (error != 0) {
        throwFileError("read", path, error);
    }
    return got;
}

std::size_t KeptThenFileStream::read(XMLByte* toFill, std::size_t maxToRead) {
    // Each read is filled as far as the file allows, as the parser tells the encoding by the
    // first bytes it gets: a few kept bytes alone would not do.
    const std::size_t n = std::min(kept_.size(), maxToRead);
    if (n > 0) {
        std::memcpy(toFill, kept_.data(), n);
        kept_.remove_prefix(n);
    }
    return n + (n < maxToRead ? readFile(file_, toFill + n, maxToRead - n, path_) : 0);
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
