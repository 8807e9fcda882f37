// The rules each subcommand's help states below its options.
#ifndef VELXMLN_TOOLS_HELP_H
#define VELXMLN_TOOLS_HELP_H

#include <CLI/CLI.hpp>

namespace velxmlncli {

/// Puts the rules of each subcommand of `app` that has some (standard input and output, paths,
/// what is kept and dropped, exit statuses) below its options in its help.
void describeRules(CLI::App& app);

}  // namespace velxmlncli

#endif
