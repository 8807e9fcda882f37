// The one place that starts the Xerces-C library for the node library and the writer's converter.
#ifndef VELXMLN_SRC_NODELIB_XERCESINIT_H
#define VELXMLN_SRC_NODELIB_XERCESINIT_H

namespace kasxmln {
namespace detail {

/// Initialises Xerces-C once per process (thread-safe); later calls return at once. The library
/// is never terminated: other parts of the process may use it too, and its memory is released at
/// exit. Throws CXMLException when Xerces-C cannot start.
void ensureXerces();

}  // namespace detail
}  // namespace kasxmln

#endif
