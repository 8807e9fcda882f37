// Finds the first byte sequence of a text that is not UTF-8, with its line and column. The
// parser's UTF-8 decoder reports a failure at the position where it began decoding a block of
// input, which can lie thousands of lines earlier; this gives the exact place instead.
#ifndef VELXMLN_SRC_NODELIB_UTF8LOCATOR_H
#define VELXMLN_SRC_NODELIB_UTF8LOCATOR_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace kasxmln {
namespace detail {

class Utf8Locator {
  public:
    /// Reads the next piece of the text. Returns true once an invalid sequence has been found
    /// (then further pieces are ignored).
    bool feed(const char* bytes, std::size_t length);

    /// Ends the text: a sequence still open is invalid. Returns whether one was found at all.
    bool finish();

    /// What was found: "invalid UTF-8 (bytes C3 28)".
    std::string describe() const;

    /// Where it was found: lines counted from 1 (CR LF and CR are one line break), columns in
    /// characters from 1.
    std::uint64_t line() const noexcept { return line_; }
    std::uint64_t column() const noexcept { return column_; }

  private:
    void fail(bool truncated);

    std::uint64_t line_ = 1;
    std::uint64_t column_ = 1;
    std::uint64_t offset_ = 0;
    bool afterCarriageReturn_ = false;
    bool found_ = false;
    bool truncated_ = false;
    // The sequence being read: its bytes so far, how many it needs, the range of the next one.
    unsigned char sequence_[4] = {0, 0, 0, 0};
    std::size_t have_ = 0;
    std::size_t need_ = 0;
    unsigned char low_ = 0x80;
    unsigned char high_ = 0xBF;
};

/// True for the messages of the parser's UTF-8 decoder.
bool isUtf8DecoderMessage(const std::string& message);

}  // namespace detail
}  // namespace kasxmln

#endif
