// The system's text for an error number, for messages that name what failed and why.
#ifndef VELXMLN_SRC_PLATFORM_ERRORTEXT_H
#define VELXMLN_SRC_PLATFORM_ERRORTEXT_H

#include <string>

namespace VelXmlN {
namespace platform {

/// The system's message for the error number `code` (an errno value), such as "No such file or
/// directory". Safe to call from several threads at once, unlike std::strerror.
std::string errorText(int code);

}  // namespace platform
}  // namespace VelXmlN

#endif
