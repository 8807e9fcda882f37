// The five subcommands. Each returns the exit status; failures are thrown as CommandError (or
// passed on from the library) and turned into one line on standard error by main.
#ifndef VELXMLN_TOOLS_COMMANDS_H
#define VELXMLN_TOOLS_COMMANDS_H

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
};

int runFormat(const FormatOptions& options);
int runSelect(const SelectOptions& options);
int runDiff(const DiffOptions& options);
int runScan(const ScanOptions& options);
int runSet(const SetOptions& options);

}  // namespace velxmlncli

#endif
