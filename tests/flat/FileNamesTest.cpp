// File names outside ASCII: the flat functions take them in the narrow code page, like every other
// text, and the file on disk carries the characters they stand for (on Windows the name reaches the
// file system as UTF-16 through the code-page layer).
#include <VelXmlN/CodePage.h>
#include <VelXmlN/velxmln.h>

#include "support/ScratchFolder.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using VelXmlN::NarrowCodePage;

namespace {

// The names of the files in `folder`, in UTF-8.
std::vector<std::string> utf8Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().u8string());
    }
    return names;
}

// Writes, replaces and reads a document under `narrowName` in a fresh folder; the one file there
// must be named `utf8Name`.
void writeReplaceAndRead(const std::string& narrowName, const std::string& utf8Name) {
    testsupport::ScratchFolder scratch;
    const std::string path = scratch / narrowName;
    VELXMLN_Stop();
    VELXMLN_Open("doc");
    VELXMLN_SetAttributeInt("n", 1);
    ASSERT_EQ(VELXMLN_WriteFile(path.c_str()), 1);
    VELXMLN_SetAttributeInt("n", 2);
    ASSERT_EQ(VELXMLN_WriteFile(path.c_str()), 1) << "the file is replaced";
    EXPECT_EQ(utf8Names(scratch.path()), std::vector<std::string>{utf8Name});
    ASSERT_EQ(VELXMLN_ReadFile(path.c_str()), 1);
    int n = 0;
    VELXMLN_Open("doc");
    EXPECT_EQ(VELXMLN_GetAttributeInt("n", &n), 1);
    EXPECT_EQ(n, 2);
    VELXMLN_Stop();
}

}  // namespace

TEST(FileNames, NonAsciiNamesInTheSystemCodePageAndInUtf8) {
    {
        const testsupport::CodePageScope scope(NarrowCodePage::System);
#ifdef _WIN32
        // Windows-1252, the ANSI code page of a Western Windows (and of Wine): "ä€ café.xml".
        writeReplaceAndRead("\xE4\x80 caf\xE9.xml", "\xC3\xA4\xE2\x82\xAC caf\xC3\xA9.xml");
#else
        writeReplaceAndRead("\xC3\xA4\xE2\x82\xAC caf\xC3\xA9.xml",
                            "\xC3\xA4\xE2\x82\xAC caf\xC3\xA9.xml");
#endif
    }
    const testsupport::CodePageScope scope(NarrowCodePage::Utf8);
    // "ä€ café 中 😀.xml": beyond Windows-1252 and beyond the basic plane.
    const std::string name = "\xC3\xA4\xE2\x82\xAC caf\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80.xml";
    writeReplaceAndRead(name, name);
}
