// XML text to element trees for Tree::buildOfStream: reading the stream, and the node conversion
// run on the events of the loader.
#include <algorithm>
#include <climits>
#include <fstream>
#include <istream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <VelXmlN/kasxmln.h>

#include "document/Conversion.h"
#include "nodelib/NodeEvents.h"

namespace VelXmlN {
namespace detail {

namespace {

using kasxmln::detail::NarrowAttribute;

// Texts shorter than this fit into a std::string without memory of their own (up to 15
// characters in libstdc++ and in Microsoft's library, more in libc++).
constexpr std::size_t kShortText = 16;

constexpr std::size_t kUsualDepth = 16;
constexpr std::size_t kUsualWaiting = 64;

// Read in blocks of this size when the stream cannot tell how much is left.
constexpr std::size_t kReadBlock = 1u << 16;

// The node conversion, run on the loader's events as they come: an element gets its name and
// attributes as it starts; an only text child becomes its value (trimmed of spaces), any other
// text a nameless child (unchanged). The children of the open elements wait, owned here, on one
// stack until their parent ends; then it gets a child list of exactly the right size.
class ElementBuilder final : public kasxmln::detail::NodeEvents {
  public:
    // Room for the usual nesting and number of children from the start, so that a small
    // document is not built in a series of growing allocations.
    ElementBuilder() {
        open_.reserve(kUsualDepth);
        starts_.reserve(kUsualDepth);
        waiting_.reserve(kUsualWaiting);
    }
    ElementBuilder(const ElementBuilder&) = delete;
    ElementBuilder& operator=(const ElementBuilder&) = delete;

    // Children still waiting belong to no parent yet (each owns its finished subtree).
    ~ElementBuilder() override { discardWaiting(); }

    // The root, once the document has ended; the caller owns it.
    std::unique_ptr<Data> takeRoot() { return std::move(root_); }

    void restart() override {
        discardWaiting();
        open_.clear();
        starts_.clear();
        root_.reset();
    }

    void startElement(std::string_view name, const NarrowAttribute* attributes,
                      std::size_t count) override {
        auto element = std::make_unique<Data>(Staged(name, name_).get());
        if (count > 0) {
            setAttributes(*element, attributes, count);
        }
        Data* made = element.get();
        if (open_.empty()) {
            root_ = std::move(element);
        } else {
            made->setParent(open_.back());
            waiting_.push_back(made);
            element.release();
        }
        open_.push_back(made);
        starts_.push_back(waiting_.size());
    }

    void text(std::string_view text, bool last) override {
        Data* element = open_.back();
        if (last && waiting_.size() == starts_.back()) {
            element->setData(std::string(text));
            return;
        }
        auto piece = std::make_unique<Data>();
        // setData would trim spaces at the ends; a piece of mixed content is kept unchanged.
        if (text.front() != ' ' && text.back() != ' ') {
            piece->setData(std::string(text));
        } else {
            piece->setDataPlain(Staged(text, value_).get());
        }
        piece->setParent(element);
        waiting_.push_back(piece.get());
        piece.release();
    }

    void endElement() override {
        const std::size_t start = starts_.back();
        if (start < waiting_.size()) {
            // Adopted only once the list is made, so a failed allocation leaves them waiting.
            open_.back()->getChildren().assign(
                waiting_.begin() + static_cast<std::ptrdiff_t>(start), waiting_.end());
            waiting_.resize(start);
        }
        starts_.pop_back();
        open_.pop_back();
    }

  private:
    // `text` as a string for a record to copy, which then has exactly the room it needs. A short
    // text is made in place, needing no memory of its own; a longer one goes into `buffer`, which
    // keeps its room, so that the record's copy is the only string made.
    class Staged {
      public:
        Staged(std::string_view text, std::string& buffer) {
            if (text.size() < kShortText) {
                own_.emplace(text);
                text_ = &*own_;
            } else {
                buffer.assign(text.data(), text.size());
                text_ = &buffer;
            }
        }
        const std::string& get() const noexcept { return *text_; }

      private:
        std::optional<std::string> own_;
        const std::string* text_;
    };

    // Both readers refuse a repeated attribute name, so every attribute is simply added.
    void setAttributes(Data& element, const NarrowAttribute* attributes, std::size_t count) {
        std::vector<AttributeData*>& list = element.getAttributes();
        list.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const Staged name(attributes[i].name, name_);
            const Staged value(attributes[i].value, value_);
            list.push_back(new AttributeData(name.get(), value.get()));
        }
    }

    void discardWaiting() noexcept {
        for (Data* element : waiting_) {
            delete element;
        }
        waiting_.clear();
    }

    std::unique_ptr<Data> root_;
    std::vector<Data*> open_;          // the open elements, outermost first (borrowed)
    std::vector<Data*> waiting_;       // children of the open elements, in order (owned)
    std::vector<std::size_t> starts_;  // where each open element's children start in waiting_
    std::string name_;                 // staging buffers, see Staged
    std::string value_;
};

}  // namespace

std::unique_ptr<Data> readElements(const char* bytes, std::size_t size) {
    ElementBuilder builder;
    kasxmln::detail::loadEvents(bytes, size, builder);
    return builder.takeRoot();
}

namespace {

using traits = std::istream::traits_type;

// How many bytes a stream buffer has from its position to its end, when it can seek and tell;
// the position is left where it was. -1 when it cannot tell.
std::streamoff bytesLeft(std::streambuf& buffer) {
    const std::streampos here = buffer.pubseekoff(0, std::ios_base::cur, std::ios_base::in);
    if (here == std::streampos(-1)) {
        return -1;
    }
    const std::streampos end = buffer.pubseekoff(0, std::ios_base::end, std::ios_base::in);
    if (buffer.pubseekpos(here, std::ios_base::in) != here || end == std::streampos(-1)) {
        return -1;
    }
    return end - here;
}

// Whether the positions of a stream buffer count what is read from it, so that the reader may
// parse from the buffer and seek back in it. On Windows a file opened in text mode turns "\r\n"
// into "\n" as it is read while its positions count the file's bytes (and libstdc++ misplaces
// them after a read), so there a file buffer is read as a stream that cannot seek.
bool positionsCountWhatIsRead([[maybe_unused]] std::streambuf& buffer) {
#ifdef _WIN32
    return dynamic_cast<std::filebuf*>(&buffer) == nullptr;
#else
    return true;
#endif
}

// Leaves a stream buffer at its end when the read is over, however it ends, so that the stream
// looks as if the whole text had been taken into memory first.
class ToTheEnd {
  public:
    explicit ToTheEnd(std::streambuf& buffer) : buffer_(buffer) {}
    ToTheEnd(const ToTheEnd&) = delete;
    ToTheEnd& operator=(const ToTheEnd&) = delete;
    ~ToTheEnd() {
        try {
            buffer_.pubseekoff(0, std::ios_base::end, std::ios_base::in);
        } catch (...) {
            // A buffer that fails to seek now, after it has been read, must not replace the
            // outcome of the read (a destructor cannot throw anyway); its position is then what
            // the read left.
        }
    }

  private:
    std::streambuf& buffer_;
};

}  // namespace

std::unique_ptr<Data> readDocument(std::istream& in) {
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) {
        return nullptr;
    }
    // A buffer that can seek is parsed straight from its own blocks: the text is not copied into
    // memory first, so a read needs no more memory than the elements it makes.
    const std::streamoff left = positionsCountWhatIsRead(*buffer) ? bytesLeft(*buffer) : -1;
    if (left > 0 && static_cast<unsigned long long>(left) <= UINT_MAX) {
        if (traits::eq_int_type(buffer->sgetc(), traits::eof())) {
            return nullptr;
        }
        ElementBuilder builder;
        {
            ToTheEnd atTheEnd(*buffer);
            kasxmln::detail::loadEvents(*buffer, builder);
        }
        return builder.takeRoot();
    }
    std::string text = readRest(in);
    if (text.empty()) {
        return nullptr;
    }
    if (text.size() > UINT_MAX) {
        throw kasxmln::CXMLException(kasxmln::CXMLException::kLimitError, 0,
                                     "the document is " + std::to_string(text.size()) +
                                         " bytes long; at most " + std::to_string(UINT_MAX) +
                                         " bytes can be read");
    }
    return readElements(text.data(), text.size());
}

std::string readRest(std::istream& in) {
    std::string bytes;
    std::streambuf* buffer = in.rdbuf();
    if (buffer == nullptr) {
        return bytes;
    }
    // A seekable stream tells how much is left, so the text is read into one buffer of the
    // right size; other streams are read in growing blocks.
    const std::streamoff left = bytesLeft(*buffer);
    if (left > 0) {
        bytes.reserve(static_cast<std::size_t>(left));
    }
    for (;;) {
        if (bytes.size() == bytes.capacity()) {
            if (traits::eq_int_type(buffer->sgetc(), traits::eof())) {
                break;
            }
            bytes.reserve(std::max(bytes.capacity() * 2, bytes.capacity() + kReadBlock));
        }
        const std::size_t filled = bytes.size();
        const std::size_t room = bytes.capacity() - filled;
        bytes.resize(bytes.capacity());
        const std::streamsize got =
            buffer->sgetn(&bytes[filled], static_cast<std::streamsize>(room));
        bytes.resize(filled + static_cast<std::size_t>(got > 0 ? got : 0));
        if (got <= 0) {
            break;
        }
    }
    return bytes;
}

}  // namespace detail
}  // namespace VelXmlN
