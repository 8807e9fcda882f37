#include "Help.h"

#include <map>
#include <string>

namespace velxmlncli {
namespace {

const char* const kCommonRules =
    "Every input may be - for standard input, and -o - is standard output. When standard\n"
    "output is a pipe whose reader has gone, the command ends quietly with status 141.";

#define VELXMLN_STATUS_RULES                                                                 \
    "Exit status: 0 done; 2 on an error, one line on standard error (also when standard\n"   \
    "output cannot be written); 141, quietly, when standard output is a pipe whose reader\n" \
    "has gone (whether SIGPIPE ends the command or is ignored)."

const char* const kFormatRules =
    "IN may be - (standard input); -o - is standard output. Texts and attributes are kept;\n"
    "comments, processing instructions and the DOCTYPE are dropped. OUT is replaced only\n"
    "once the whole document is written.\n" VELXMLN_STATUS_RULES;

const char* const kSelectRules =
    "IN may be - (standard input). No match prints nothing and is no error.\n" VELXMLN_STATUS_RULES;

const char* const kDiffRules =
    "A or B (not both) may be - (standard input). Root names and attributes are compared.\n"
    "Exit status: 0 equal; 1 different; 2 on an error, one line on standard error (also when\n"
    "standard output cannot be written); 141, quietly, when standard output is a pipe whose\n"
    "reader has gone.";

const char* const kScanRules =
    "IN may be - (standard input), a pipe or a FIFO: every input is read once. PATH is element\n"
    "names from the root, without predicates. Attributes print sorted by name.\n"
    "Exit status: 0 done; 2 on an error, also a scanner's (its messages go to standard error\n"
    "after the elements found before it), or when standard output cannot be written; 141,\n"
    "quietly, when standard output is a pipe whose reader has gone.";

// What the three subcommands that edit a file keep, and where they need --reformat.
#define VELXMLN_KEPT_BYTES                                                                  \
    "Every byte the edit does not change is kept: comments, processing instructions, the\n" \
    "DOCTYPE, white space, line ends, quotes and the encoding declaration.\n"

#define VELXMLN_EDIT_IO_RULES                                                                   \
    "Refused unless --reformat (which writes the library's layout as format does): documents\n" \
    "that are not UTF-8 or US-ASCII, or have an internal DTD subset.\n"                         \
    "IN may be - (standard input) when -o is given; -o - is standard output. A path that\n"     \
    "selects nothing is an error, and nothing is written.\n" VELXMLN_STATUS_RULES

const char* const kSetRules = VELXMLN_KEPT_BYTES
    "--attr NAME= sets an empty value. --text is refused on an element with child elements\n"
    "(the text would be mixed into them) unless --reformat.\n" VELXMLN_EDIT_IO_RULES;

const char* const kDeleteRules = VELXMLN_KEPT_BYTES
    "An element on a line of its own takes the line with it. Deleting the root element, or\n"
    "an attribute that no selected element has, is refused.\n" VELXMLN_EDIT_IO_RULES;

const char* const kAddRules = VELXMLN_KEPT_BYTES
    "The new element follows the file's own indentation, line ends and quotes. An element\n"
    "that holds a text gets no child (it would be mixed into the text) unless "
    "--reformat.\n" VELXMLN_EDIT_IO_RULES;

}  // namespace

void describeRules(CLI::App& app) {
    static const std::map<std::string, const char*> rules = {
        {"format", kFormatRules}, {"select", kSelectRules}, {"diff", kDiffRules},
        {"scan", kScanRules},     {"set", kSetRules},       {"delete", kDeleteRules},
        {"add", kAddRules}};
    app.footer(kCommonRules);
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; })) {
        const auto found = rules.find(command->get_name());
        if (found != rules.end()) {
            command->footer(found->second);
        }
    }
}

}  // namespace velxmlncli
