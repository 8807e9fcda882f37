#include "nodelib/Utf8Locator.h"

#include <cstdio>

namespace kasxmln {
namespace detail {

bool Utf8Locator::feed(const char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length && !found_; ++i, ++offset_) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (need_ > 0) {
            if (byte < low_ || byte > high_) {
                sequence_[have_++] = byte;
                fail(false);
                break;
            }
            sequence_[have_++] = byte;
            low_ = 0x80;
            high_ = 0xBF;
            if (--need_ == 0) {
                // A byte order mark at the very start is not part of the text.
                if (!(offset_ == 2 && sequence_[0] == 0xEF && sequence_[1] == 0xBB &&
                      sequence_[2] == 0xBF)) {
                    ++column_;
                }
                have_ = 0;
            }
            continue;
        }
        if (byte < 0x80) {
            if (byte == '\r') {
                ++line_;
                column_ = 1;
                afterCarriageReturn_ = true;
                continue;
            }
            if (byte == '\n') {
                if (!afterCarriageReturn_) {
                    ++line_;
                    column_ = 1;
                }
                afterCarriageReturn_ = false;
                continue;
            }
            afterCarriageReturn_ = false;
            ++column_;
            continue;
        }
        afterCarriageReturn_ = false;
        sequence_[0] = byte;
        have_ = 1;
        if (byte >= 0xC2 && byte <= 0xDF) {
            need_ = 1;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            need_ = 2;
            low_ = byte == 0xE0 ? 0xA0 : 0x80;
            high_ = byte == 0xED ? 0x9F : 0xBF;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            need_ = 3;
            low_ = byte == 0xF0 ? 0x90 : 0x80;
            high_ = byte == 0xF4 ? 0x8F : 0xBF;
        } else {
            fail(false);
        }
    }
    return found_;
}

bool Utf8Locator::finish() {
    if (!found_ && need_ > 0) {
        fail(true);
    }
    return found_;
}

void Utf8Locator::fail(bool truncated) {
    found_ = true;
    truncated_ = truncated;
}

std::string Utf8Locator::describe() const {
    std::string bytes;
    for (std::size_t i = 0; i < have_; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%s%02X", i == 0 ? "" : " ", sequence_[i]);
        bytes += hex;
    }
    std::string text = "invalid UTF-8 (";
    text += truncated_ ? "the text ends inside the sequence " : (have_ == 1 ? "byte " : "bytes ");
    return text + bytes + ")";
}

bool isUtf8DecoderMessage(const std::string& message) {
    return message.find("-byte sequence") != std::string::npos ||
           message.find("byte limit") != std::string::npos;
}

}  // namespace detail
}  // namespace kasxmln
