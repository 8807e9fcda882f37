#include <VelXmlN/AtomicFile.h>

#include <VelXmlN/Tree.h>

#include "flat/FileOpeners.h"
#include "platform/FileSystem.h"

#include <ostream>
#include <stdexcept>

namespace VelXmlN {

void writeFileAtomically(const std::string& fileName,
                         const std::function<void(std::ostream&)>& write) {
    std::string error;
    if (!detail::writeWhole(fileName,
                            static_cast<std::ios_base::openmode>(Tree::getOFStreamOpenMode()),
                            write, error)) {
        throw std::runtime_error(error);
    }
}

void discardUnfinishedWrites() noexcept {
    platform::discardUnfinishedWrites();
}

}  // namespace VelXmlN
