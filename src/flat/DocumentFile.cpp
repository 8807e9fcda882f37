#include "flat/DocumentFile.h"

#include "flat/ErrorMode.h"
#include "flat/FileOpeners.h"

#include <ios>
#include <ostream>

namespace VelXmlN {
namespace detail {

bool writeDocument(const Tree& document, const std::string& fileName) {
    if (document.getRoot() == nullptr) {
        // An empty document is most often a read that failed: writing it would empty the file.
        noteError("cannot write '" + fileName + "': the document has no root element");
        return false;
    }
    std::string error;
    const bool replaced = writeWhole(
        fileName, std::ios_base::out | std::ios_base::binary,
        [&document](std::ostream& out) { document.putToStream(out); }, error);
    if (!replaced) {
        noteError(error);
    }
    return replaced;
}

}  // namespace detail
}  // namespace VelXmlN
