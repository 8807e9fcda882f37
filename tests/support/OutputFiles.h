// One write through the platform layer's OutputFile, for the tests of both of its sides.
#ifndef VELXMLN_TESTS_SUPPORT_OUTPUTFILES_H
#define VELXMLN_TESTS_SUPPORT_OUTPUTFILES_H

#include <string>

#include "platform/FileSystem.h"

namespace testsupport {

enum class Ending { kCommit, kDrop };

/// Writes `bytes` to `target` through an OutputFile and commits it, or drops the file unfinished
/// (which must leave the target as it was): "" when every step worked, else the message.
inline std::string replace(const std::string& target, const std::string& bytes, bool append = false,
                           Ending ending = Ending::kCommit) {
    VelXmlN::platform::OutputFile file;
    VelXmlN::platform::FileError error;
    if (!file.open(target, append, error) || !file.write(bytes.data(), bytes.size(), error) ||
        (ending == Ending::kCommit && !file.commit(error))) {
        return error.message;
    }
    return "";
}

}  // namespace testsupport

#endif
