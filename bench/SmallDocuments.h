// Small documents of the kinds programs read most often, one at a time: a short configuration, a
// settings file full of comments, a configuration that names an external DTD, and a large policy
// file with a DOCTYPE. Each is made the same way every time, so that figures can be compared
// across runs and libraries. Their sizes follow real files of those kinds.
#ifndef VELXMLN_BENCH_SMALLDOCUMENTS_H
#define VELXMLN_BENCH_SMALLDOCUMENTS_H

#include <string>
#include <vector>

namespace bench_documents {

struct SmallDocument {
    std::string name;
    std::string text;
};

/// About 0.8 KB: an application's configuration, no DOCTYPE, no comments.
inline std::string makeSmallConfig() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<configuration version=\"3\">\n"
           "  <server host=\"localhost\" port=\"8080\" secure=\"false\"/>\n"
           "  <database driver=\"postgres\" pool=\"8\">\n"
           "    <url>postgres://db.internal:5432/orders</url>\n"
           "    <user>orders</user>\n"
           "    <timeout unit=\"s\">30</timeout>\n"
           "  </database>\n"
           "  <logging level=\"info\" file=\"/var/log/orders/server.log\" rotate=\"daily\"/>\n"
           "  <cache enabled=\"true\" size=\"256\" ttl=\"600\"/>\n"
           "  <features>\n"
           "    <feature name=\"export\" enabled=\"true\"/>\n"
           "    <feature name=\"audit\" enabled=\"false\"/>\n"
           "    <feature name=\"preview\" enabled=\"true\"/>\n"
           "  </features>\n"
           "  <limits requests=\"1000\" bodyBytes=\"1048576\" note=\"body &amp; headers\"/>\n"
           "  <mail from=\"orders@example.org\" relay=\"smtp.internal\" port=\"25\"/>\n"
           "  <paths data=\"/srv/orders/data\" temp=\"/srv/orders/tmp\"/>\n"
           "</configuration>\n";
}

/// About 10 KB: a user's settings file, most of it commented-out documentation.
inline std::string makeCommentedSettings() {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!--\n  Licensed to the project under one or more agreements. Edit with care: this file\n"
        "  is read at every start, and a mistake stops the tool before it prints anything.\n-->\n"
        "<settings>\n";
    static const char* const kSections[] = {"localRepository", "interactiveMode", "offline",
                                            "pluginGroups",    "proxies",         "servers",
                                            "mirrors",         "profiles",        "activeProfiles"};
    int n = 0;
    for (const char* section : kSections) {
        text += "  <!-- ";
        text += section;
        text +=
            "\n   | Explains what this element sets, what its default is, and where the value is\n"
            "   | taken from when it is missing. Each line of such a comment is read and thrown\n"
            "   | away by every parser, which is what makes files like this one costly to read.\n"
            "   |\n   | Default: see the documentation of the ";
        text += section;
        text += " element.\n   |-->\n  <";
        text += section;
        text += ">\n";
        for (int i = 0; i < 3; ++i, ++n) {
            text += "    <!--\n    <entry id=\"example-" + std::to_string(n) +
                    "\">\n      <value>commented out</value>\n    </entry>\n    -->\n";
            text += "    <entry id=\"e" + std::to_string(n) + "\" active=\"" +
                    (n % 2 == 0 ? "true" : "false") + "\">\n      <value>value " +
                    std::to_string(n) + " &lt;kept&gt;</value>\n      <host>host" +
                    std::to_string(n) + ".example.org</host>\n    </entry>\n";
        }
        text += "  </";
        text += section;
        text += ">\n";
    }
    return text + "</settings>\n";
}

/// About 6 KB: a configuration whose DOCTYPE names an external DTD (never read).
inline std::string makeConfigWithDoctype() {
    std::string text =
        "<?xml version=\"1.0\"?>\n"
        "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
        "<!-- /etc/fonts/local.conf: DO NOT EDIT; generated from the machine's settings -->\n"
        "<fontconfig>\n"
        "  <description>Local font settings</description>\n";
    for (int i = 0; i < 18; ++i) {
        const std::string n = std::to_string(i);
        text += "  <dir prefix=\"xdg\">fonts/set" + n +
                "</dir>\n"
                "  <match target=\"pattern\">\n"
                "    <test qual=\"any\" name=\"family\"><string>Family " +
                n +
                "</string></test>\n"
                "    <edit name=\"family\" mode=\"assign\" binding=\"same\"><string>Sans " +
                n +
                "</string></edit>\n"
                "  </match>\n";
    }
    return text + "  <cachedir>/var/cache/fontconfig</cachedir>\n</fontconfig>\n";
}

/// About 145 KB: a message-bus policy file with a DOCTYPE and many rules.
inline std::string makePolicy() {
    std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN\"\n"
        " \"http://www.example.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig>\n";
    for (int i = 0; text.size() < 145000; ++i) {
        const std::string n = std::to_string(i);
        text += "  <!-- service " + n +
                ": only its own user may own the name -->\n"
                "  <policy user=\"svc" +
                n +
                "\">\n"
                "    <allow own=\"org.example.Service" +
                n +
                "\"/>\n"
                "    <allow send_destination=\"org.example.Service" +
                n + "\" send_interface=\"org.example.Service" + n +
                ".Manager\"/>\n"
                "  </policy>\n"
                "  <policy context=\"default\">\n"
                "    <deny send_destination=\"org.example.Service" +
                n + "\" send_path=\"/org/example/Service" + n +
                "/private\"/>\n"
                "  </policy>\n";
    }
    return text + "</busconfig>\n";
}

inline std::vector<SmallDocument> makeSmallDocuments() {
    return {{"config (0.8 KB)", makeSmallConfig()},
            {"settings with comments (10 KB)", makeCommentedSettings()},
            {"config with DOCTYPE (6 KB)", makeConfigWithDoctype()},
            {"policy with DOCTYPE (145 KB)", makePolicy()}};
}

}  // namespace bench_documents

#endif
