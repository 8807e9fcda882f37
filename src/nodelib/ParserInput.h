// What the loader feeds the Xerces-C parser with: input streams that count the bytes taken, and
// a memory manager that bounds the parser's own memory.
#ifndef VELXMLN_SRC_NODELIB_PARSERINPUT_H
#define VELXMLN_SRC_NODELIB_PARSERINPUT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <streambuf>
#include <string>
#include <string_view>

#include <xercesc/framework/MemoryManager.hpp>
#include <xercesc/sax/InputSource.hpp>
#include <xercesc/util/BinInputStream.hpp>

#include "platform/InputFile.h"

namespace kasxmln {
namespace detail {

using VelXmlN::platform::InputFile;

/// Opens `path` for reading in binary mode; throws CXMLException (kFileError) naming the file and
/// the system's reason when that fails.
InputFile openFile(const std::string& path);

/// Reads up to `size` bytes of `file` into `buffer`: how many were read, 0 at its end; throws
/// CXMLException (kFileError) naming the file at `path` and the system's reason when that fails.
std::size_t readFile(InputFile& file, void* buffer, std::size_t size, const std::string& path);

/// Watches the bytes of a document for what the parser lets pass where the node library refuses
/// it: a NUL byte, which the parser takes as the end of the text (after the root it would then
/// accept the document), and in a UTF-8 document a lead byte without room for its sequence
/// before the end of the text, which the parser drops after the root. Documents in UTF-16 or UTF-32
/// (told by their first bytes), where NUL bytes are part of the characters, are not watched.
class ByteWatch {
  public:
    /// Looks at the next bytes of the document.
    void scan(const unsigned char* bytes, std::size_t count);

    /// After the last bytes: what the parser let pass, as "what" with its place in `line` and
    /// `column`; empty when nothing.
    std::string problem(unsigned& line, unsigned& column) const;

    /// What the parser lets pass in the XML declaration, once the first bytes have been seen: a
    /// version number other than "1." and digits, an encoding that contradicts a UTF-8 byte order
    /// mark, or one of two or four bytes per character for a document of single bytes. As "what"
    /// with its place in `line` and `column`; empty when nothing (or not yet known).
    std::string declarationProblem(unsigned& line, unsigned& column) const;

  private:
    void start(const unsigned char* bytes, std::size_t count);
    bool declaredUtf8() const;

    std::string head_;  // the first bytes, until the XML declaration (if any) is complete
    bool started_ = false;
    bool wide_ = false;
    bool utf8_ = false;
    bool found_ = false;
    bool afterCr_ = false;
    std::uint64_t line_ = 1;
    std::uint64_t column_ = 0;  // characters before the current byte on its line
    std::uint64_t nulLine_ = 0;
    std::uint64_t nulColumn_ = 0;
    // The sequence the parser's decoder is in: its lead byte, its place, and its bytes so far.
    unsigned char tail_[6] = {0, 0, 0, 0, 0, 0};
    std::size_t tailCount_ = 0;
    std::uint64_t tailLine_ = 0;
    std::uint64_t tailColumn_ = 0;
};

/// A parser input stream that adds every byte it hands out to `taken`.
class CountingStream : public xercesc::BinInputStream {
  public:
    explicit CountingStream(std::uint64_t& taken) : taken_(taken) {}
    ~CountingStream() override {
        if (alive_ != nullptr) {
            *alive_ = false;
        }
    }
    CountingStream(const CountingStream&) = delete;
    CountingStream& operator=(const CountingStream&) = delete;

    /// Makes the stream clear `*alive` when it is destroyed.
    void watch(bool* alive) noexcept { alive_ = alive; }

    /// Shows every byte handed out to `watch` (which must outlive the stream).
    void watchBytes(ByteWatch* watch) noexcept { watch_ = watch; }

    XMLFilePos curPos() const override { return position_; }
    XMLSize_t readBytes(XMLByte* const toFill, const XMLSize_t maxToRead) override;
    const XMLCh* getContentType() const override { return nullptr; }

  protected:
    virtual std::size_t read(XMLByte* toFill, std::size_t maxToRead) = 0;

  private:
    std::uint64_t& taken_;
    std::uint64_t position_ = 0;
    bool* alive_ = nullptr;
    ByteWatch* watch_ = nullptr;
};

/// Bytes in memory, not owned.
class MemoryStream final : public CountingStream {
  public:
    MemoryStream(const char* bytes, std::size_t size, std::uint64_t& taken)
        : CountingStream(taken), bytes_(bytes), size_(size) {}

  protected:
    std::size_t read(XMLByte* toFill, std::size_t maxToRead) override;

  private:
    const char* bytes_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

/// The bytes of a stream buffer from its current position on, not owned. Every read is filled as
/// far as the buffer has bytes, as from memory, whatever pieces the buffer hands out.
class StreambufStream final : public CountingStream {
  public:
    StreambufStream(std::streambuf& input, std::uint64_t& taken)
        : CountingStream(taken), input_(input) {}

  protected:
    std::size_t read(XMLByte* toFill, std::size_t maxToRead) override;

  private:
    std::streambuf& input_;
};

/// How a file that fails to read is reported: as CXMLException (kFileError) naming the file and
/// the system's reason (the node library), or as the parser's own file error, which the parse
/// then reports like any other fatal error (Sax2Interface).
enum class FileErrors { Library, Parser };

/// An open file.
class FileStream final : public CountingStream {
  public:
    FileStream(InputFile file, std::string path, std::uint64_t& taken, FileErrors errors)
        : CountingStream(taken), file_(std::move(file)), path_(std::move(path)), errors_(errors) {}

  protected:
    std::size_t read(XMLByte* toFill, std::size_t maxToRead) override;

  private:
    InputFile file_;
    std::string path_;
    FileErrors errors_;
};

/// Bytes in memory (not owned), then the rest of an open file (not owned), with
/// FileErrors::Library.
class KeptThenFileStream final : public CountingStream {
  public:
    KeptThenFileStream(std::string_view kept, InputFile& file, std::string path,
                       std::uint64_t& taken)
        : CountingStream(taken), kept_(kept), file_(file), path_(std::move(path)) {}

  protected:
    std::size_t read(XMLByte* toFill, std::size_t maxToRead) override;

  private:
    std::string_view kept_;
    InputFile& file_;
    std::string path_;
};

/// The file at a narrow path, opened when the parser asks for it, with FileErrors::Parser. The
/// parser is given the name as the system identifier only: handed the name to open, Xerces-C
/// would take it for a URL (and fetch "http://..." names) and pass it through its own transcoder.
class FileSource final : public xercesc::InputSource {
  public:
    FileSource(std::string path, const std::u16string& systemId, std::uint64_t& taken);

    /// Null when the file cannot be opened: the parser then reports a fatal error naming it.
    xercesc::BinInputStream* makeStream() const override;

  private:
    std::string path_;
    std::uint64_t& taken_;
};

/// An input source that hands out one stream made in advance.
class StreamSource final : public xercesc::InputSource {
  public:
    StreamSource(std::unique_ptr<CountingStream> stream, const std::u16string& systemId);
    StreamSource(const StreamSource&) = delete;
    StreamSource& operator=(const StreamSource&) = delete;

    /// Destroys the stream when the parser did not: Xerces-C drops a stream it has taken without
    /// destroying it when it runs out of memory while making its reader for it. The source must
    /// outlive the parser that reads it.
    ~StreamSource() override;

    xercesc::BinInputStream* makeStream() const override;

    /// Shows every byte of the stream to `watch`; before the parse only.
    void watchBytes(ByteWatch* watch) noexcept {
        if (stream_ != nullptr) {
            stream_->watchBytes(watch);
        }
    }

  private:
    mutable std::unique_ptr<CountingStream> stream_;
    mutable CountingStream* handedOut_ = nullptr;
    mutable bool handedOutAlive_ = false;
};

/// The parser's own memory, bounded like the text it delivers. Xerces-C builds an attribute
/// value in full before handing it out, so an attribute full of entity references could grow to
/// gigabytes before any callback sees it. Beyond a floor of 16 MiB, the parser may hold at most
/// kMaxAmplification bytes for every byte of input taken so far; one more allocation is refused
/// with Xerces-C's own out-of-memory exception, which its code is built to unwind.
///
/// Every block is kept on a list, and the blocks still there when the manager goes (after the
/// parser that used it) are freed: Xerces-C does not free everything when a handler's exception
/// ends a parse in the middle of a document type declaration.
class BudgetedMemory final : public xercesc::MemoryManager {
  public:
    explicit BudgetedMemory(const std::uint64_t& taken) : taken_(taken) {}
    BudgetedMemory(const BudgetedMemory&) = delete;
    BudgetedMemory& operator=(const BudgetedMemory&) = delete;
    ~BudgetedMemory() override;

    xercesc::MemoryManager* getExceptionMemoryManager() override;
    void* allocate(XMLSize_t size) override;
    void deallocate(void* p) override;

    /// Whether an allocation was refused for the budget (rather than by the system).
    bool exceeded() const noexcept { return exceeded_; }

  private:
    struct alignas(16) Block {
        Block* previous;
        Block* next;
        std::size_t size;
    };

    const std::uint64_t& taken_;
    std::uint64_t live_ = 0;
    Block* blocks_ = nullptr;
    bool exceeded_ = false;
};

}  // namespace detail
}  // namespace kasxmln

#endif
