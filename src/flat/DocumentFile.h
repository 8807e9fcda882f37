// Writing a whole document to a file, shared by both families of flat functions.
#ifndef VELXMLN_SRC_FLAT_DOCUMENTFILE_H
#define VELXMLN_SRC_FLAT_DOCUMENTFILE_H

#include <VelXmlN/Tree.h>

#include <string>

namespace VelXmlN {
namespace detail {

/// Writes `document` to `fileName` through a TempFileWriter (mode out | binary): the target is
/// replaced only when the whole document was written, flushed and synced. A document without a
/// root is not written at all (the target stays as it was). Returns whether the target was
/// written. An exception of the writer (CXMLException) passes out after the temporary file was
/// removed; the target is then unchanged.
bool writeDocument(const Tree& document, const std::string& fileName);

}  // namespace detail
}  // namespace VelXmlN

#endif
