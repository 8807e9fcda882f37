// The seven subcommands. Each returns the exit status; failures are thrown as CommandError (or
// passed on from the library) and turned into one line on standard error by main.
#ifndef VELXMLN_TOOLS_COMMANDS_H
#define VELXMLN_TOOLS_COMMANDS_H

#include <VelXmlN/Tree.h>

#include <string>
#include <vector>

namespace velxmlncli {

/// Exit statuses: success (and "equal" for diff), "different" for diff, and every error.
constexpr int kExitOk = 0;
constexpr int kExitDifferent = 1;
constexpr int kExitError = 2;

struct FormatOptions {
    std::string input;
    std::string output;  ///< empty: standard output
    int encodeSkip = 0;
};

struct SelectOptions {
    std::string input;
    std::string path;
    std::string attribute;  ///< empty: plain paths
    bool count = false;
    bool values = false;  ///< print only the texts
};

struct DiffOptions {
    std::string inputA;
    std::string inputB;
    bool structure = false;
    std::vector<std::string> ignores;  ///< ELEMENT@ATTRIBUTE
    bool json = false;                 ///< one JSON object per record
};

struct ScanOptions {
    std::string input;
    std::string path;
    std::string engine = "xerces";
    bool json = false;
};

struct SetOptions {
    std::string input;
    std::string path;
    std::vector<std::string> texts;       ///< at most one (the parser allows no more)
    std::vector<std::string> attributes;  ///< NAME=VALUE
    std::string output;                   ///< empty: the input file
    bool reformat = false;                ///< write the library's layout instead of editing bytes
};

struct DeleteOptions {
    std::string input;
    std::string path;
    std::vector<std::string> attributes;  ///< names; none: delete the elements themselves
    std::string output;                   ///< empty: the input file
    bool reformat = false;
};

struct AddOptions {
    std::string input;
    std::string path;
    std::string name;                     ///< of the new child element
    std::vector<std::string> texts;       ///< at most one
    std::vector<std::string> attributes;  ///< NAME=VALUE
    std::string output;                   ///< empty: the input file
    bool reformat = false;
};

/// Writes `tree` in the library's layout to `target`: standard output for "-", otherwise the file,
/// through a temporary file beside it. Throws CommandError naming the target when that fails.
void writeDocument(const VelXmlN::Tree& tree, const std::string& target);

int runFormat(const FormatOptions& options);
int runSelect(const SelectOptions& options);
int runDiff(const DiffOptions& options);
int runScan(const ScanOptions& options);
int runSet(const SetOptions& options);
int runDelete(const DeleteOptions& options);
int runAdd(const AddOptions& options);

}  // namespace velxmlncli

#endif
