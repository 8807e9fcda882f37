// velxmln: reads, writes, selects, compares, scans and edits XML documents with the VelXmlN
// library. Usage in README.md and `velxmln --help`.
#include "Commands.h"
#include "Help.h"
#include "Input.h"
#include "Output.h"
#include "Text.h"

#include <VelXmlN/AtomicFile.h>
#include <VelXmlN/Version.h>

#include <CLI/CLI.hpp>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <new>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace velxmlncli;

const char* const kOverview =
    "Reads, writes, selects, compares, scans and edits XML documents with the VelXmlN library.\n"
    "Errors go to standard error as one line; the exit status is then 2.";

// The path rules, stated where a path is asked for.
const char* const kPathHelp =
    "The elements to select. The first step names the root element (plant/line, a leading '/' "
    "allowed); //machine searches the whole tree. A step takes at most one predicate "
    "[@NAME='VALUE'] or [@NAME=\"VALUE\"] (a '/' in the value is part of it; '' asks for an empty "
    "value), then a position [N] counted from 1 among the siblings that match: "
    "dir[@prefix='xdg'][2]";

const char* const kReformatHelp =
    "Edit the tree and write it in the library's layout (UTF-8, CR LF, one tab per level; "
    "comments, processing instructions and the DOCTYPE dropped), also for documents whose bytes "
    "cannot be kept";

// An interrupted edit leaves its file as it was; the temporary file beside it goes too, and the
// signal then ends the program as it would have.
extern "C" void onInterrupt(int signalNumber) {
    VelXmlN::discardUnfinishedWrites();
    // So does the private copy of a piped input being scanned.
    discardScanCopy();
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

void removeTemporaryFilesWhenInterrupted() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
#ifdef SIGHUP
    std::signal(SIGHUP, onInterrupt);
#endif
}

int reportError(const std::string& message) {
    // What was written before the error goes out first, so that the two streams keep their order.
    std::cout.flush();
    std::cerr << "velxmln: " << oneLine(message) << '\n';
    return kExitError;
}

/// Refuses what no subcommand can do with standard input and output: an empty -o (an unset shell
/// variable must not quietly mean "the input itself"), and both inputs of diff from standard
/// input.
void checkStandardStreams(const CLI::App& app, const DiffOptions& diff) {
    for (const CLI::App* command : app.get_subcommands()) {
        const CLI::Option* output = command->get_option_no_throw("--output");
        if (output != nullptr && output->count() > 0 && output->as<std::string>().empty()) {
            throw CommandError(command->get_name() +
                               ": -o names no file; give a file name, or - for standard output");
        }
    }
    if (app.got_subcommand("diff") && diff.inputA == kStandardStream &&
        diff.inputB == kStandardStream) {
        throw CommandError("diff: A and B cannot both be standard input (-)");
    }
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The same bytes on every platform: documents already end their lines with CR LF, which text
    // mode would turn into CR CR LF, and every other line ends with LF as documented.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::ios_base::sync_with_stdio(false);
    removeTemporaryFilesWhenInterrupted();
    CheckedStandardOutput standardOutput;

    CLI::App app(kOverview, "velxmln");
    app.set_version_flag("--version", "velxmln " VELXMLN_VERSION_STRING);
    app.require_subcommand(1);
    // CLI11 reads "/name" as an option on Windows by default, which would take a path such as
    // "/data/plant.xml" (the root of the current drive) for an unknown option. The command has
    // only "--name" options everywhere; subcommands inherit this setting.
    app.allow_windows_style_options(false);

    FormatOptions format;
    CLI::App* formatCommand = app.add_subcommand(
        "format",
        "Read a document and write it back in the library's layout: UTF-8, CR LF line ends, one "
        "tab per level. Writes to standard output, or replaces OUT atomically (OUT may be IN).");
    formatCommand->add_option("IN", format.input, "The XML file to read")->required();
    formatCommand->add_option("-o,--output", format.output, "Write to this file instead");
    formatCommand
        ->add_option("--encode-skip", format.encodeSkip,
                     "Leave characters of texts below the root unescaped: 1 '&', 2 \"'\", "
                     "4 '\"', or their sum")
        ->check(CLI::Range(0, 7));

    SelectOptions select;
    CLI::App* selectCommand = app.add_subcommand(
        "select",
        "Print the elements a path selects, one a line: a path that selects that element alone, a "
        "tab, its text.");
    selectCommand->add_option("IN", select.input, "The XML file to read")->required();
    selectCommand->add_option("XPATH", select.path, kPathHelp)->required();
    selectCommand->add_option("--attr", select.attribute,
                              "Write [@NAME='value'] on the steps whose element has NAME");
    CLI::Option* countFlag =
        selectCommand->add_flag("--count", select.count, "Print only the number of elements");
    selectCommand->add_flag("--values", select.values, "Print only the texts, one a line")
        ->excludes(countFlag);

    DiffOptions diff;
    CLI::App* diffCommand = app.add_subcommand(
        "diff",
        "Compare two documents from their root elements down; print one line per difference: "
        "kind, path in A, path in B (- where the element is missing; paths select the element), "
        "the attribute (@name) or text piece (#text) concerned, A's value, B's value. Exit "
        "status 0 when equal, 1 when different, 2 on error.");
    diffCommand->add_option("A", diff.inputA, "The first XML file")->required();
    diffCommand->add_option("B", diff.inputB, "The second XML file")->required();
    diffCommand->add_flag("--structure", diff.structure,
                          "Compare names and numbers only, not texts and attribute values");
    diffCommand->add_option("--ignore", diff.ignores,
                            "Ignore attribute ATTRIBUTE of elements named ELEMENT "
                            "(ELEMENT@ATTRIBUTE; repeatable)");
    diffCommand->add_flag("--json", diff.json,
                          "Print one JSON object a line: kind, pathA, pathB, item, a, b (null "
                          "where a side has nothing)");

    ScanOptions scan;
    CLI::App* scanCommand = app.add_subcommand(
        "scan",
        "Stream a file and print the attributes of the elements at PATH, one element a line, "
        "without building a tree.");
    scanCommand->add_option("IN", scan.input, "The XML file to scan")->required();
    scanCommand
        ->add_option("PATH", scan.path,
                     "Element names from the root, separated by '/': plant/line/machine")
        ->required();
    scanCommand->add_option("--engine", scan.engine, "xerces (SAX2, default) or node")
        ->check(CLI::IsMember({"xerces", "node"}));
    scanCommand->add_flag("--json", scan.json, "Print one JSON object a line");

    SetOptions set;
    CLI::App* setCommand = app.add_subcommand(
        "set",
        "Change the text or attributes of the elements an XPath selects and write the file back "
        "with every other byte kept (to IN unless -o is given).");
    setCommand->add_option("IN", set.input, "The XML file to change")->required();
    setCommand->add_option("XPATH", set.path, kPathHelp)->required();
    setCommand->add_option("--text", set.texts, "The new text of each element")->expected(1);
    setCommand->add_option("--attr", set.attributes,
                           "Set attribute NAME to VALUE (NAME=VALUE; repeatable)");
    setCommand->add_option("-o,--output", set.output, "Write to this file instead of IN");
    setCommand->add_flag("--reformat", set.reformat, kReformatHelp);

    DeleteOptions remove;
    CLI::App* deleteCommand = app.add_subcommand(
        "delete",
        "Delete the elements an XPath selects, or only their attributes NAME with --attr, and "
        "write the file back with every other byte kept (to IN unless -o is given).");
    deleteCommand->add_option("IN", remove.input, "The XML file to change")->required();
    deleteCommand->add_option("XPATH", remove.path, kPathHelp)->required();
    deleteCommand->add_option("--attr", remove.attributes,
                              "Delete this attribute instead of the element (repeatable)");
    deleteCommand->add_option("-o,--output", remove.output, "Write to this file instead of IN");
    deleteCommand->add_flag("--reformat", remove.reformat, kReformatHelp);

    AddOptions add;
    CLI::App* addCommand = app.add_subcommand(
        "add",
        "Add a child element NAME, after the other children, to each element an XPath selects, "
        "in the file's own indentation, line ends and quotes (to IN unless -o is given).");
    addCommand->add_option("IN", add.input, "The XML file to change")->required();
    addCommand->add_option("XPATH", add.path, kPathHelp)->required();
    addCommand->add_option("NAME", add.name, "The name of the new element")->required();
    addCommand->add_option("--text", add.texts, "The text of the new element")->expected(1);
    addCommand->add_option("--attr", add.attributes,
                           "Give it attribute NAME with VALUE (NAME=VALUE; repeatable)");
    addCommand->add_option("-o,--output", add.output, "Write to this file instead of IN");
    addCommand->add_flag("--reformat", add.reformat, kReformatHelp);

    describeRules(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& request) {
        return standardOutput.finish(app.exit(request));
    } catch (const CLI::CallForVersion& request) {
        return standardOutput.finish(app.exit(request));
    } catch (const CLI::ParseError& error) {
        return reportError(std::string(error.what()) + " (see velxmln --help)");
    }

    const auto runParsedCommand = [&]() -> int {
        if (formatCommand->parsed()) {
            return runFormat(format);
        }
        if (selectCommand->parsed()) {
            return runSelect(select);
        }
        if (diffCommand->parsed()) {
            return runDiff(diff);
        }
        if (scanCommand->parsed()) {
            return runScan(scan);
        }
        if (deleteCommand->parsed()) {
            return runDelete(remove);
        }
        if (addCommand->parsed()) {
            return runAdd(add);
        }
        return runSet(set);
    };
    int status = kExitOk;
    try {
        checkStandardStreams(app, diff);
        status = runParsedCommand();
    } catch (const std::bad_alloc&) {
        return reportError("out of memory");
    } catch (const std::exception& error) {
        return reportError(error.what());
    }
    // A command that reported its own error has said what went wrong; a failed write after it
    // would only add a second line to the same status.
    return status == kExitError ? status : standardOutput.finish(status);
}
