#include <VelXmlN/VelXmlData.h>

#include <utility>

VelXmlAttributeData::VelXmlAttributeData(std::string name, std::string data)
    : name_(std::move(name)), data_(std::move(data)) {}

VelXmlData::VelXmlData(std::string name, std::string data, bool expand)
    : name_(std::move(name)), data_(std::move(data)), expand_(expand) {}

VelXmlData::~VelXmlData() {
    for (VelXmlAttributeData* attribute : attributes_) {
        delete attribute;
    }
    // Children are taken apart level by level through a worklist of detached children, so a deep
    // chain never nests destructor calls. The worklist reuses this element's own vector.
    std::vector<VelXmlData*> pending;
    pending.swap(children_);
    while (!pending.empty()) {
        VelXmlData* element = pending.back();
        pending.pop_back();
        for (VelXmlData* child : element->children_) {
            pending.push_back(child);
        }
        element->children_.clear();
        delete element;
    }
}

VelXmlAttributeData* VelXmlData::addAttribute(std::string name, std::string data) {
    auto attribute = std::make_unique<VelXmlAttributeData>(std::move(name), std::move(data));
    attributes_.push_back(attribute.get());
    return attribute.release();
}

VelXmlData* VelXmlData::addChild(std::unique_ptr<VelXmlData> child) {
    children_.push_back(child.get());
    return child.release();
}
