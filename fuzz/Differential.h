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
// - anything else is a difference (the Xerces path refuses a NUL byte, which the parser takes as
//   the end of the text, and a UTF-8 sequence cut by the end, which it drops after the root, by a
//   watch on the bytes, as the fast reader does).
// A hand-over must keep exactly the bytes given so far.
//
// The SAX file form (CXMLManager::LoadDocument with a handler) is held to a stricter rule, since
// its callers see every call: both accept with the same calls of the handler, arguments and
// source offsets included; or both refuse with the same code and the same message, word for
// word, neither ending the document, and the calls before the refusal agree as far as both go
// (the Xerces-C path decodes its input ahead in blocks, so it may refuse invalid bytes before it
// has handed out the events in front of them).
#ifndef VELXMLN_FUZZ_DIFFERENTIAL_H
#define VELXMLN_FUZZ_DIFFERENTIAL_H

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <fstream>
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
    std::string fault;   // a broken promise of the fast reader itself (a wrong hand-over)
    bool ended = false;  // the SAX file form called EndDocument
};

inline Outcome viaXerces(std::string_view input) {
    Outcome outcome;
    Recorder recorder;
    try {
        kasxmln::detail::xercesEvents(input.data(), input.size(), recorder);
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

/// Records the calls of a SAX parse as one text, each with the source offset during it.
class SaxRecorder final : public kasxmln::CXMLSaxHandler {
  public:
    void StartDocument() override { call("{"); }
    void EndDocument() override {
        call("}");
        ended = true;
    }
    void StartElement(const char* uri, const char* name, const char* qualified,
                      kasxmln::CXMLAttribut** attributes) override {
        call("<");
        fields({uri, name, qualified});
        for (kasxmln::CXMLAttribut** a = attributes; *a != nullptr; ++a) {
            fields({(*a)->GetName(), (*a)->GetValue()});
        }
    }
    void EndElement(const char* uri, const char* name, const char* qualified) override {
        call("</");
        fields({uri, name, qualified});
    }
    void Characters(const char* text, unsigned int length) override {
        call("T");
        field(std::string_view(text, length));
    }
    void StartCDATA() override { call("[["); }
    void EndCDATA() override { call("]]"); }
    void StartDTD(const char* name, const char* publicId, const char* systemId) override {
        call("!");
        fields({name, publicId, systemId});
    }

    std::string events;
    bool ended = false;  // kept apart: a text may hold what looks like the call's record

  private:
    void call(const char* what) {
        events += '\n';
        events += what;
        events += '@';
        events += std::to_string(GetSourceOffset());
    }
    // Lengths first, so that no text can pass for markup of the record.
    void field(std::string_view text) {
        events += ' ';
        events += std::to_string(text.size());
        events += ':';
        events.append(text.data(), text.size());
    }
    void fields(std::initializer_list<const char*> texts) {
        for (const char* text : texts) {
            field(text);
        }
    }
};

/// Writes `input` into the file at `path`.
inline void writeInput(const std::string& path, std::string_view input) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(input.data(), static_cast<std::streamsize>(input.size()));
}

/// The SAX file form on the file at `path`: through the Xerces-C path alone (block 0) or through
/// the fast reader reading blocks of `block` bytes.
inline Outcome viaSax(const std::string& path, std::size_t block) {
    Outcome outcome;
    SaxRecorder recorder;
    try {
        if (block == 0) {
            kasxmln::detail::xercesSaxFile(path, recorder);
        } else {
            kasxmln::detail::loadSaxFile(path, recorder, block);
        }
        outcome.accepted = true;
    } catch (const kasxmln::CXMLException& error) {
        outcome.code = error.GetCode();
        outcome.message = error.GetMessageText();
    }
    outcome.events = std::move(recorder.events);
    outcome.ended = recorder.ended;
    return outcome;
}

/// Whether two outcomes of the SAX file form agree by the rule above.
inline bool sameSax(const Outcome& xerces, const Outcome& fast) {
    if (xerces.accepted != fast.accepted) {
        return false;
    }
    if (xerces.accepted) {
        return xerces.events == fast.events;
    }
    // One record of calls must be the other's first calls.
    const std::string& longer =
        xerces.events.size() > fast.events.size() ? xerces.events : fast.events;
    const std::size_t both = std::min(xerces.events.size(), fast.events.size());
    return xerces.code == fast.code && xerces.message == fast.message && !xerces.ended &&
           !fast.ended && xerces.events.compare(0, both, fast.events, 0, both) == 0 &&
           (both == longer.size() || longer[both] == '\n');
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
enum class Verdict { kSame, kDifferent };

inline Verdict judge(const Outcome& xerces, const Outcome& fast) {
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
        text += outcome.events;
        if (outcome.accepted) {
            return text + "\n";
        }
        return text + "\nrefused, code " + std::to_string(outcome.code) + ": " + outcome.message +
               "\n";
    };
    return one("Xerces path", xerces) + one("fast reader", fast);
}

}  // namespace differential

#endif
