#include <VelXmlN/AtomicFile.h>

#include <VelXmlN/Tree.h>

#include "external/FileSystem.h"
#include "flat/FileOpeners.h"

#include <ostream>
#include <stdexcept>

namespace VelXmlN {

void writeFileAtomically(const std::string& fileName,
                         const std::function<void(std::ostream&)>& write) {
    detail::TempFileWriter writer(
        fileName, static_cast<std::ios_base::openmode>(Tree::getOFStreamOpenMode()));
    if (writer.stream() == nullptr) {
        throw std::runtime_error(writer.error());
    }
    try {
        write(*writer.stream());
    } catch (...) {
        writer.abandon();
        writer.finish();
        throw;
    }
    if (!writer.finish()) {
        throw std::runtime_error(writer.error());
    }
}

void discardUnfinishedWrites() noexcept {
    platform::discardUnfinishedWrites();
}

}  // namespace VelXmlN
