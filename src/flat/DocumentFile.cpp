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
    TempFileWriter writer(fileName, std::ios_base::out | std::ios_base::binary);
    std::ostream* stream = writer.stream();
    if (stream == nullptr || !stream->good()) {
        writer.finish();
        noteError(writer.error());
        return false;
    }
    try {
        document.putToStream(*stream);
    } catch (...) {
        // Half a document must never replace the file; the writer's destructor removes the
        // temporary file before the exception reaches the caller.
        writer.abandon();
        throw;
    }
    const bool replaced = writer.finish();
    if (!replaced) {
        noteError(writer.error());
    }
    return replaced;
}

}  // namespace detail
}  // namespace VelXmlN
