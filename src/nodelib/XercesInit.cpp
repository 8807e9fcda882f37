#include "nodelib/XercesInit.h"

#include <mutex>
#include <string>

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include <VelXmlN/kasxmln.h>

#include "platform/CodePageConvert.h"

namespace kasxmln {
namespace detail {

void ensureXerces() {
    static std::once_flag once;
    // call_once runs the initialisation again on the next call when it throws.
    std::call_once(once, [] {
        try {
            xercesc::XMLPlatformUtils::Initialize();
        } catch (const xercesc::XMLException& error) {
            const std::string text = "the XML parser library cannot start: " +
                                     VelXmlN::detail::toNarrow(error.getMessage());
            throw CXMLException(CXMLException::kUsageError, 0, text.c_str());
        }
    });
}

}  // namespace detail
}  // namespace kasxmln
