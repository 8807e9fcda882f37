// SaxInterface: the attribute scanner over the node library's SAX parser.
#include <VelXmlN/SaxInterface.h>

#include <VelXmlN/Tools.h>
#include <VelXmlN/kasxmln.h>

namespace VelXmlN {

namespace {

using Attributes = std::map<std::string, std::string>;

// Collects the attributes of the elements at the path, with names and values exactly as the node
// library delivers them.
class MySaxHandler final : public kasxmln::CXMLSaxHandler {
  public:
    void StartElement(const char*, const char* name, const char*,
                      kasxmln::CXMLAttribut** attributes) override {
        elementStack.emplace_back(name != nullptr ? name : "");
        if (elementStack.size() != path.size() || elementStack != path) {
            return;
        }
        Attributes& found = results.emplace_back();
        if (attributes == nullptr) {
            return;
        }
        for (kasxmln::CXMLAttribut** attribute = attributes; *attribute != nullptr; ++attribute) {
            const char* attributeName = (*attribute)->GetName();
            if (attributeName == nullptr) {
                continue;
            }
            const char* value = (*attribute)->GetValue();
            if (value != nullptr) {
                found.insert_or_assign(attributeName, value);
            }
        }
    }

    void EndElement(const char*, const char* name, const char*) override {
        if (!elementStack.empty() && name != nullptr && elementStack.back() == name) {
            elementStack.pop_back();
        }
    }

    std::vector<Attributes> results;
    std::vector<std::string> path;
    std::vector<std::string> elementStack;
};

}  // namespace

SaxInterface::SaxInterface(std::string const& file) : fileName(file) {}
SaxInterface::SaxInterface(SaxInterface const& other) = default;
SaxInterface::SaxInterface(SaxInterface&& other) noexcept = default;
SaxInterface& SaxInterface::operator=(SaxInterface const& other) = default;
SaxInterface& SaxInterface::operator=(SaxInterface&& other) noexcept = default;
SaxInterface::~SaxInterface() = default;

std::vector<std::map<std::string, std::string>> SaxInterface::getAttributes(
    std::string const& path) {
    MySaxHandler handler;
    for (std::string& name : Tools::tokenize(path, "/")) {
        handler.path.push_back(std::move(name));
    }
    try {
        // The manager is taken inside the guard: it starts the parser library, and a library
        // that cannot start is a failure of this scan like any other of the node library.
        kasxmln::CXMLManager* manager = kasxmln::CXMLManager::GetInstance();
        manager->LoadDocument(fileName.c_str(), &handler, false, false, nullptr, false, false);
    } catch (const kasxmln::CXMLException& failure) {
        exceptions.emplace_back(failure.GetMessageText());
        return {};
    }
    errorTexts.clear();
    return std::move(handler.results);
}

std::vector<std::string> const& SaxInterface::getErrorTexts() const {
    return errorTexts;
}

std::vector<std::string> const& SaxInterface::getExceptions() const {
    return exceptions;
}

}  // namespace VelXmlN
