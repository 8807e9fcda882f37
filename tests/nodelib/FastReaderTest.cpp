// The fast reader against the Xerces-C event path, by the rule of fuzz/Differential.h, over every
// document at hand (the W3C suite when it is there, tests/data, the fuzz seeds and regressions)
// and over generated documents and mutations of them; and the fast reader against itself, read in
// blocks of every size. The SAX file form on the fast reader against its Xerces-C path, call for
// call, over the same documents.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "Differential.h"
#include "support/ScratchFolder.h"

namespace {

namespace fs = std::filesystem;
using kasxmln::detail::ByteRange;
using kasxmln::detail::FastReader;

struct Input {
    std::string name;
    std::string bytes;
};

void collect(const fs::path& folder, std::vector<Input>& inputs) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file() && entry.file_size() < (1u << 20) &&
            entry.path().filename() != "README") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        inputs.push_back({file.string(), std::string(std::istreambuf_iterator<char>(in), {})});
    }
}

std::vector<Input> documentsAtHand() {
    std::vector<Input> inputs;
    collect(VELXMLN_XMLCONF_DIR, inputs);
    collect(fs::path(VELXMLN_SOURCE_DIR) / "tests" / "data", inputs);
    collect(fs::path(VELXMLN_SOURCE_DIR) / "fuzz" / "seeds", inputs);
    collect(fs::path(VELXMLN_SOURCE_DIR) / "fuzz" / "regressions", inputs);
    return inputs;
}

// Random documents, well-formed mostly, with everything the fast reader takes: declarations, a
// DOCTYPE, comments, processing instructions, CDATA, references, line ends of every kind,
// non-ASCII names and texts.
class Generator {
  public:
    explicit Generator(std::uint32_t seed) : random_(seed) {}

    std::string document() {
        std::string out;
        if (chance(10)) {
            out += "\xEF\xBB\xBF";
        }
        if (chance(40)) {
            out += pick({"<?xml version=\"1.0\"?>", "<?xml version='1.0' encoding='UTF-8'?>",
                         "<?xml version=\"1.0\" encoding=\"us-ascii\" standalone=\"yes\"?>",
                         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>",
                         "<?xml version=\"1.1\"?>"});
        }
        misc(out);
        if (chance(20)) {
            out +=
                pick({"<!DOCTYPE r>", "<!DOCTYPE r SYSTEM \"r.dtd\">",
                      "<!DOCTYPE r PUBLIC \"-//x//y\" 'r.dtd'>", "<!DOCTYPE r [<!ENTITY e 'x'>]>"});
            misc(out);
        }
        element(out, 0);
        misc(out);
        return out;
    }

    std::string mutate(std::string text) {
        static const char* const pieces[] = {
            "<",    ">",    "&",    ";", "\"", "'",    "]]>", "--",   "?>",   "\0",          "\r",
            "\xC3", "\x80", "\xFF", " ", "x",  "&#0;", "&lt", "</a>", "<!--", "\xEF\xBF\xBE"};
        const int edits = 1 + static_cast<int>(number(3));
        for (int i = 0; i < edits && !text.empty(); ++i) {
            const std::size_t at = number(text.size());
            switch (number(3)) {
                case 0:
                    text.erase(at, 1 + number(4));
                    break;
                case 1: {
                    const char* piece = pieces[number(std::size(pieces))];
                    text.insert(at, piece,
                                *piece == '\0' ? 1 : std::char_traits<char>::length(piece));
                    break;
                }
                default:
                    text[at] = text[number(text.size())];
                    break;
            }
        }
        return text;
    }

  private:
    bool chance(int percent) { return number(100) < static_cast<std::size_t>(percent); }
    std::size_t number(std::size_t below) {
        return std::uniform_int_distribution<std::size_t>(0, below - 1)(random_);
    }
    template <std::size_t N>
    const char* pick(const char* const (&choices)[N]) {
        return choices[number(N)];
    }
    const char* pick(std::initializer_list<const char*> choices) {
        return choices.begin()[number(choices.size())];
    }

    void misc(std::string& out) {
        while (chance(30)) {
            out += pick({" ", "\n", "\r\n", "<!-- note -->", "<?pi data?>", "\t"});
        }
    }

    std::string name() {
        std::string text = pick({"a", "b", "item", "x:y", "_n", "\xC3\xA4", "\xE6\x97\xA5"});
        if (chance(30)) {
            text += pick({"1", "-", ".", "\xCC\x80", "b"});
        }
        return text;
    }

    std::string characters(bool attribute) {
        std::string text;
        const int pieces = static_cast<int>(number(5));
        for (int i = 0; i < pieces; ++i) {
            text += pick({"text",      " ",        "  ",
                          "\n",        "\r\n",     "\r",
                          "\t",        "&amp;",    "&lt;",
                          "&gt;",      "&quot;",   "&apos;",
                          "&#65;",     "&#x20AC;", "&#13;",
                          "&#x10000;", "\xC3\xA9", "\xF0\x9F\x98\x80",
                          "]",         ">",        attribute ? "'" : "]]"});
        }
        return text;
    }

    void element(std::string& out, int depth) {
        const std::string tag = name();
        out += '<' + tag;
        const int attributes = static_cast<int>(number(4));
        for (int i = 0; i < attributes; ++i) {
            out += pick({" ", "\n", "  "});
            out += name() + std::to_string(i) + pick({"=", " = "}) + '"' + characters(true) + '"';
        }
        if (chance(25) || depth > 5) {
            out += pick({"/>", " />"});
            return;
        }
        out += '>';
        const int children = static_cast<int>(number(5));
        for (int i = 0; i < children; ++i) {
            switch (number(6)) {
                case 0:
                case 1:
                    element(out, depth + 1);
                    break;
                case 2:
                    out += "<![CDATA[" + characters(false) + "<&]]>";
                    break;
                case 3:
                    out += pick({"<!-- c -->", "<?t d?>", "<!---->", "<?t?>"});
                    break;
                default:
                    out += characters(false);
                    break;
            }
        }
        out += "</" + tag + pick({">", " >"});
    }

    std::mt19937 random_;
};

struct Tally {
    int compared = 0;
    int acceptedBoth = 0;
    int refusedBoth = 0;
    int sameWhat = 0;
    int samePlace = 0;
    int handedOver = 0;
    std::vector<std::string> differences;

    void add(const std::string& name, const std::string& input) {
        const differential::Outcome xerces = differential::viaXerces(input);
        const differential::Outcome fast = differential::viaFast(input);
        ++compared;
        handedOver += fast.handedOver ? 1 : 0;
        switch (differential::judge(xerces, fast)) {
            case differential::Verdict::kSame:
                if (xerces.accepted) {
                    ++acceptedBoth;
                } else {
                    ++refusedBoth;
                    const auto what = [](const std::string& m) {
                        return m.substr(0, m.rfind(" at line "));
                    };
                    const auto place = [](const std::string& m) {
                        const std::size_t at = m.rfind(" at line ");
                        return at == std::string::npos ? std::string() : m.substr(at);
                    };
                    sameWhat += what(xerces.message) == what(fast.message) ? 1 : 0;
                    samePlace += place(xerces.message) == place(fast.message) ? 1 : 0;
                }
                break;
            case differential::Verdict::kDifferent:
                if (differences.size() < 10) {
                    differences.push_back(name + "\n" + input.substr(0, 400) + "\n" +
                                          differential::describe(xerces, fast));
                }
                break;
        }
    }

    void report(const char* what) const {
        std::printf(
            "%s: %d inputs, both accept %d, both refuse %d (same text %d, same place %d), "
            "fast reader handed over %d\n",
            what, compared, acceptedBoth, refusedBoth, sameWhat, samePlace, handedOver);
        for (const std::string& difference : differences) {
            ADD_FAILURE() << difference;
        }
    }
};

TEST(FastReader, SameOutcomeAsXercesOnEveryDocumentAtHand) {
    const std::vector<Input> inputs = documentsAtHand();
    Tally tally;
    for (const Input& input : inputs) {
        tally.add(input.name, input.bytes);
    }
    tally.report("documents at hand");
    EXPECT_GT(tally.compared, 10);
}

TEST(FastReader, SameOutcomeAsXercesOnGeneratedAndMutatedDocuments) {
    Generator generator(12);
    Tally tally;
    for (int i = 0; i < 3000; ++i) {
        const std::string document = generator.document();
        tally.add("generated #" + std::to_string(i), document);
        for (int m = 0; m < 3; ++m) {
            tally.add("mutated #" + std::to_string(i), generator.mutate(document));
        }
    }
    tally.report("generated");
    // The mix must exercise both outcomes of both readers.
    EXPECT_GT(tally.acceptedBoth, 3000);
    EXPECT_GT(tally.refusedBoth, 3000);
}

// The same outcome, message for message, whatever the blocks the input arrives in.
TEST(FastReader, BlocksOfAnySizeReadAsOnePiece) {
    std::vector<std::string> inputs;
    for (const Input& input : documentsAtHand()) {
        if (input.bytes.size() <= 2048) {
            inputs.push_back(input.bytes);
        }
    }
    Generator generator(7);
    for (int i = 0; i < 300; ++i) {
        inputs.push_back(generator.document());
        inputs.push_back(generator.mutate(inputs.back()));
    }
    int checked = 0;
    for (std::size_t i = 0; i < inputs.size(); i += (i < 600 ? 1 : 7)) {
        const std::string& input = inputs[i];
        const differential::Outcome whole = differential::viaFast(input);
        for (const std::size_t block : {1, 2, 3, 5, 16, 17, 4096}) {
            for (const bool ownBuffer : {false, true}) {
                if (block > 3 && block != 4096 && ownBuffer) {
                    continue;
                }
                const differential::Outcome pieces = differential::viaFast(input, block, ownBuffer);
                ++checked;
                EXPECT_TRUE(pieces.fault.empty()) << pieces.fault;
                EXPECT_EQ(whole.accepted, pieces.accepted) << input;
                EXPECT_EQ(whole.events, pieces.events) << input;
                EXPECT_EQ(whole.message, pieces.message) << "block " << block << "\n" << input;
                if (whole.message != pieces.message || whole.events != pieces.events) {
                    return;
                }
            }
        }
    }
    EXPECT_GT(checked, 1000);
}

// The SAX file form, whole and in small blocks, gives the handler exactly the calls, offsets and
// refusals of the Xerces-C path.
TEST(FastReader, SaxFileFormCallsTheHandlerAsTheXercesPathDoes) {
    std::vector<Input> inputs = documentsAtHand();
    Generator generator(5);
    for (int i = 0; i < 1000; ++i) {
        const std::string document = generator.document();
        inputs.push_back({"generated #" + std::to_string(i), document});
        inputs.push_back({"mutated #" + std::to_string(i), generator.mutate(document)});
    }
    testsupport::ScratchFolder folder;
    const std::string path = folder.file("doc.xml");
    int accepted = 0;
    int refused = 0;
    int differences = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        differential::writeInput(path, inputs[i].bytes);
        const differential::Outcome xerces = differential::viaSax(path, 0);
        // Every block size meets every construct cut somewhere in a long enough run.
        for (const std::size_t block : {std::size_t{1} << 16, 1 + i % 11}) {
            const differential::Outcome fast = differential::viaSax(path, block);
            if (!differential::sameSax(xerces, fast) && ++differences <= 10) {
                ADD_FAILURE() << inputs[i].name << ", blocks of " << block << "\n"
                              << inputs[i].bytes.substr(0, 400) << "\n"
                              << differential::describe(xerces, fast);
            }
        }
        (xerces.accepted ? accepted : refused) += 1;
    }
    std::printf("SAX file form: %d documents read, %d refused\n", accepted, refused);
    EXPECT_GT(accepted, 1500);
    EXPECT_GT(refused, 1500);
}

// Positions, when asked for, change nothing else and point at the bytes they name.
class RangeCheck final : public kasxmln::detail::PositionEvents {
  public:
    explicit RangeCheck(const std::string& input) : input_(input) {}
    void startTag(ByteRange tag, const ByteRange* values, std::size_t count) override {
        EXPECT_EQ('<', at(tag.begin));
        EXPECT_EQ('>', at(tag.end - 1));
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_TRUE(at(values[i].begin - 1) == '"' || at(values[i].begin - 1) == '\'');
            EXPECT_EQ(at(values[i].begin - 1), at(values[i].end));
            EXPECT_LT(tag.begin, values[i].begin);
            EXPECT_LT(values[i].end, tag.end);
        }
        ++tags;
    }
    void text(ByteRange text) override {
        EXPECT_LT(text.begin, text.end);
        EXPECT_EQ('<', at(text.end));
    }
    void endTag(ByteRange tag) override {
        if (tag.begin != tag.end) {
            EXPECT_EQ("</", input_.substr(tag.begin, 2));
            EXPECT_EQ('>', at(tag.end - 1));
        } else {
            EXPECT_EQ("/>", input_.substr(tag.begin - 2, 2));
        }
    }
    int tags = 0;

  private:
    char at(std::uint64_t offset) const { return offset < input_.size() ? input_[offset] : '\0'; }
    const std::string& input_;
};

TEST(FastReader, PositionsPointAtTheirBytes) {
    Generator generator(3);
    int tags = 0;
    for (int i = 0; i < 300; ++i) {
        const std::string input = generator.document();
        differential::Recorder plain;
        differential::Recorder positioned;
        RangeCheck check(input);
        FastReader first(plain);
        FastReader second(positioned, &check);
        FastReader::Outcome outcome;
        try {
            outcome = first.read(input.data(), input.size());
        } catch (const kasxmln::CXMLException&) {
            continue;  // "]]" and ">" met in a text
        }
        ASSERT_EQ(outcome, second.read(input.data(), input.size()));
        EXPECT_EQ(plain.events, positioned.events);
        tags += check.tags;
    }
    EXPECT_GT(tags, 300);
}

}  // namespace
