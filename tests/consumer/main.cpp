#include <VelXmlN/VelXmlN.h>

#include <iostream>

int main() {
    VelXmlN::Data root("config");
    root.createChild("speed")->setData(2.5);
    root.setAttribute("version", 3);
    const bool ok = root.getChildDouble("speed") == 2.5 && root.getAttributeInt("version") == 3;
    std::cout << (ok ? "consumer ok" : "consumer FAILED")
              << " (VelXmlN " VELXMLN_VERSION_STRING ")\n";
    return ok ? 0 : 1;
}
