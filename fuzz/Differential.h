// The two readers of the node library side by side: the fast reader (hand-overs included) and the
// Xerces-C event path, run on the same bytes, and the rule by which their outcomes must agree.
// Shared by the differential fuzz target and the property tests of tests/nodelib.
//
// The rule:
// - both accept: the same events (start with name and attributes, text with its `last` flag,
//   end), byte for byte;
// - both refuse: a CXMLException of the same code, the fast reader's message of the form
//   "what at line L, column C" (the texts themselves may differ: the fast reader uses the other
//   path's words where it knows them, but each reader reports the place where it noticed);
// - the fast reader refuses and the other path accepts: only for a NUL byte, which the other
//   path takes as the end of the text (after the root it then accepts the document), and for a
//   UTF-8 sequence that the end of the input cuts short, which the other path drops after the
//   root. The fast reader refuses both, as the node library promises; the other path is to
//   follow;
// - anything else is a difference.
// A hand-over must keep exactly the bytes given so far.
#ifndef VELXMLN_FUZZ_DIFFERENTIAL_H
#define VELXMLN_FUZZ_DIFFERENTIAL_H

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include <VelXmlN/kasxmln.h>

#include "nodelib/FastReader.h"
#include "nodelib/NodeEvents.h"

namespace differential {

/// Records events as one text; a restart forgets what came before.
class Recorder final : public kasxmln::detail::NodeEvents {
  public:
    void restart() override { events.clear(); }
    void startElement(std::string_view name, const kasxmln::detail::NarrowAttribute* attributes,
                      std::size_t count) override {
        events += '<';
        field(name);
        for (std::size_t i = 0; i < count; ++i) {
            events += ' ';
            field(attributes[i].name);
            events += '=';
            field(attributes[i].value);
        }
        events += ">\n";
    }
    void text(std::string_view text, bool last) override {
        events += last ? "T! " : "T ";
        field(text);
        events += '\n';
    }
    void endElement() override { events += "</>\n"; }

    std::string events;

  private:
    // Lengths first, so that no text can pass for markup of the record.
    void field(std::string_view text) {
        events += std::to_string(text.size());
        events += ':';
        events.append(text.data(), text.size());
    }
};

/// What one reader made of an input.
struct Outcome {
    bool accepted = false;
    std::string events;   // when accepted
    int code = 0;         // when refused
    std::string message;  // when refused
    bool handedOver = false;
    std::string fault;  // a broken promise of the fast reader itself (a wrong hand-over)
};

inline Outcome viaXerces(std::string_view input) {
    Outcome outcome;
    Recorder recorder;
    try {
        kasxmln::detail::loadEvents(input.data(), input.size(), recorder);
        outcome.accepted = true;
        outcome.events = std::move(recorder.events);
    } catch (const kasxmln::CXMLException& error) {
        outcome.code = error.GetCode();
        outcome.message = error.GetMessageText();
    }
    return outcome;
}

/// The fast reader on `input`: in one piece (block 0) or in blocks of `block` bytes, given with
/// feed or (`ownBuffer`) written into the reader's own room. A hand-over goes to the other path
/// with the kept bytes and the rest of the input.
inline Outcome viaFast(std::string_view input, std::size_t block = 0, bool ownBuffer = false) {
    using kasxmln::detail::FastReader;
    Outcome outcome;
    Recorder recorder;
    std::size_t given = 0;
    try {
        FastReader reader(recorder);
        FastReader::Outcome state;
        if (block == 0) {
            state = reader.read(input.data(), input.size());
            given = input.size();
        } else {
            do {
                const std::size_t n = std::min(block, input.size() - given);
                const bool last = given + n == input.size();
                if (ownBuffer) {
                    std::copy_n(input.data() + given, n, reader.room(n));
                    state = reader.commit(n, last);
                } else {
                    state = reader.feed(input.data() + given, n, last);
                }
                given += n;
            } while (state == FastReader::Outcome::kMore && given < input.size());
        }
        if (state == FastReader::Outcome::kHandOver) {
            outcome.handedOver = true;
            if (!recorder.events.empty()) {
                outcome.fault = "events were delivered before the hand-over";
            }
            if (reader.kept() != input.substr(0, given)) {
                outcome.fault = "the hand-over did not keep the bytes given";
            }
            const std::string rest = std::string(reader.kept()) + std::string(input.substr(given));
            Outcome other = viaXerces(rest);
            other.handedOver = true;
            other.fault = outcome.fault;
            return other;
        }
        if (state != FastReader::Outcome::kDone) {
            outcome.fault = "the reader wants more after the last block";
        }
        outcome.accepted = true;
        outcome.events = std::move(recorder.events);
    } catch (const kasxmln::CXMLException& error) {
        outcome.code = error.GetCode();
        outcome.message = error.GetMessageText();
    }
    return outcome;
}

/// True when `message` ends in " at line L, column C".
inline bool hasPlace(const std::string& message) {
    const std::size_t at = message.rfind(" at line ");
    if (at == std::string::npos) {
        return false;
    }
    unsigned long line = 0;
    unsigned long column = 0;
    char tail = 0;
    return std::sscanf(message.c_str() + at, " at line %lu, column %lu%c", &line, &column, &tail) ==
               2 &&
           line > 0;
}

/// How two outcomes relate, by the rule above.
enum class Verdict { kSame, kStricter, kDifferent };

/// True when the input ends with the first byte of a multi-byte UTF-8 sequence that the bytes
/// left cannot complete (whatever they are).
inline bool endsInsideSequence(std::string_view input) {
    for (std::size_t back = 1; back <= 3 && back <= input.size(); ++back) {
        const auto byte = static_cast<unsigned char>(input[input.size() - back]);
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (length > back) {
            return true;
        }
    }
    return false;
}

inline Verdict judge(std::string_view input, const Outcome& xerces, const Outcome& fast) {
    if (!fast.fault.empty()) {
        return Verdict::kDifferent;
    }
    if (xerces.accepted && fast.accepted) {
        return xerces.events == fast.events ? Verdict::kSame : Verdict::kDifferent;
    }
    if (!xerces.accepted && !fast.accepted) {
        return xerces.code == fast.code && (fast.handedOver || hasPlace(fast.message))
                   ? Verdict::kSame
                   : Verdict::kDifferent;
    }
    if (xerces.accepted &&
        (input.find('\0') != std::string_view::npos || endsInsideSequence(input))) {
        return Verdict::kStricter;
    }
    return Verdict::kDifferent;
}

/// A readable account of both outcomes.
inline std::string describe(const Outcome& xerces, const Outcome& fast) {
    const auto one = [](const char* who, const Outcome& outcome) {
        std::string text =
            std::string("--- ") + who + (outcome.handedOver ? " (handed over)" : "") + ":\n";
        if (!outcome.fault.empty()) {
            text += "FAULT: " + outcome.fault + "\n";
        }
        if (outcome.accepted) {
            return text + outcome.events;
        }
        return text + "refused, code " + std::to_string(outcome.code) + ": " + outcome.message +
               "\n";
    };
    return one("Xerces path", xerces) + one("fast reader", fast);
}

}  // namespace differential

#endif
