// Fuzz target: sequences of flat handle calls decoded from the input.
//
// Each input is a program: an operation byte, then its arguments (a handle chosen among the
// handles seen so far, stale ones included, or an arbitrary number; texts and numbers from the
// input). Properties: no call crashes, reads freed memory or leaks; a handle of a deleted tree or
// element is refused (-1, 0 or the empty text); texts copied out always end with a zero byte
// inside the buffer. Every tree is deleted at the end of each input, so LeakSanitizer can check
// the whole run.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include <VelXmlN/kasxmln.h>
#include <VelXmlN/velxmln.h>

#include "FuzzSupport.h"

namespace {

const char* const kTreeNames[] = {"t0", "t1", "t2", ""};
constexpr int kTreeNameCount = 4;

struct Program {
    fuzzing::Input& input;
    std::vector<int> trees;
    std::vector<int> tags;

    int pick(const std::vector<int>& from) {
        const int choice = input.smallInt(static_cast<int>(from.size()) + 2);
        if (choice < static_cast<int>(from.size())) {
            return from[static_cast<std::size_t>(choice)];
        }
        return choice == static_cast<int>(from.size()) ? -1 : input.smallInt(64) - 2;
    }
    int tree() { return pick(trees); }
    int tag() { return pick(tags); }
    void keep(int tag) {
        if (tag != -1) {
            tags.push_back(tag);
        }
    }

    // A text result must end with its zero inside the buffer, whatever the length reported.
    static void checkBuffer(const char* buffer, std::size_t size, int length) {
        if (size == 0) {
            return;
        }
        if (std::memchr(buffer, '\0', size) == nullptr) {
            fuzzing::fault("a text result has no terminating zero in its buffer", "");
        }
        if (length < 0 || static_cast<std::size_t>(length) >= size) {
            fuzzing::fault("a text result reports a length beyond its buffer",
                           std::to_string(length) + " of " + std::to_string(size));
        }
    }

    void step() {
        switch (input.smallInt(24)) {
            case 0:
                trees.push_back(VELXMLN_Get_Tree(kTreeNames[input.smallInt(kTreeNameCount)]));
                break;
            case 1:
                VELXMLN_Delete_Tree(tree());
                break;
            case 2:
                keep(VELXMLN_Get_Root_Tag(tree()));
                break;
            case 3: {
                const int t = tree();
                keep(VELXMLN_Create_Root_Tag(t, input.cText(16).c_str()));
                break;
            }
            case 4:
            case 5: {
                const int t = tag();
                keep(VELXMLN_Add_Child_Tag(t, input.cText(16).c_str()));
                break;
            }
            case 6: {
                const int t = tag();
                int handles[8];
                const int count = input.smallInt(9);
                VELXMLN_Get_Children(t, handles, count);
                for (int i = 0; i < count; ++i) {
                    if (handles[i] != 0) {
                        keep(handles[i]);
                    }
                }
                static_cast<void>(VELXMLN_Get_Number_Of_Children(t));
                break;
            }
            case 7: {
                const int t = tag();
                keep(VELXMLN_Find_Child_Tag(t, input.cText(16).c_str()));
                break;
            }
            case 8: {
                const int t = tag();
                const std::string child = input.cText(16);
                const std::string attribute = input.cText(16);
                const std::string value = input.cText(16);
                keep(VELXMLN_Find_Child_To_Attribute(t, child.c_str(), attribute.c_str(),
                                                     value.c_str()));
                keep(VELXMLN_Find_Child_To_Int_Attribute(t, child.c_str(), attribute.c_str(),
                                                         input.int32()));
                const double real = input.real();
                keep(VELXMLN_Find_Child_To_Real_Attribute(t, child.c_str(), attribute.c_str(), real,
                                                          input.real()));
                break;
            }
            case 9: {
                const int t = tag();
                VELXMLN_Delete_Child_Tag(t, input.cText(16).c_str());
                break;
            }
            case 10: {
                const int t = tag();
                VELXMLN_Set_Real(t, input.real());
                static_cast<void>(VELXMLN_Get_Real(t));
                static_cast<void>(VELXMLN_Get_Int(t));
                break;
            }
            case 11: {
                const int t = tag();
                const double value = input.real();
                VELXMLN_Set_Real_Format(t, value, input.cText(12).c_str());
                break;
            }
            case 12: {
                const int t = tag();
                VELXMLN_Set_Int(t, input.int32());
                break;
            }
            case 13: {
                const int t = tag();
                char buffer[32];
                const std::size_t size = static_cast<std::size_t>(input.smallInt(33));
                int length = -7;
                VELXMLN_Get_Tag_Name(t, buffer, size, &length);
                checkBuffer(buffer, size, length);
                length = -7;
                if (VELXMLN_Get_Text(t, buffer, size, &length) != 0) {
                    checkBuffer(buffer, size, length);
                }
                break;
            }
            case 14: {
                const int t = tag();
                VELXMLN_Set_Text(t, input.cText().c_str());
                break;
            }
            case 15: {
                const int t = tag();
                VELXMLN_Add_Text_Line(t, input.cText().c_str());
                break;
            }
            case 16: {
                const int t = tag();
                const std::string name = input.cText(16);
                VELXMLN_Set_Attribute(t, name.c_str(), input.cText().c_str());
                break;
            }
            case 17: {
                const int t = tag();
                const std::string name = input.cText(16);
                VELXMLN_Add_Attribute_Textline(t, name.c_str(), input.cText().c_str());
                break;
            }
            case 18: {
                const int t = tag();
                const std::string name = input.cText(16);
                char buffer[32];
                const std::size_t size = static_cast<std::size_t>(input.smallInt(33));
                int length = -7;
                VELXMLN_Get_Attribute(t, name.c_str(), buffer, size, &length);
                checkBuffer(buffer, size, length);
                static_cast<void>(VELXMLN_Get_Attribute_Real(t, name.c_str()));
                static_cast<void>(VELXMLN_Get_Attribute_Int(t, name.c_str()));
                break;
            }
            case 19: {
                const int t = tag();
                const std::string name = input.cText(16);
                const double value = input.real();
                VELXMLN_Set_Attribute_Real(t, name.c_str(), value);
                VELXMLN_Set_Attribute_Real_Format(t, name.c_str(), value, input.cText(12).c_str());
                break;
            }
            case 20: {
                const int t = tag();
                const std::string name = input.cText(16);
                VELXMLN_Set_Attribute_Int(t, name.c_str(), input.int32());
                break;
            }
            case 21: {
                // Write a tree to the scratch file and read it into another one: every handle of
                // the replaced root's elements must become stale.
                const int from = tree();
                const int to = tree();
                try {
                    VELXMLN_Write_Tree(from, fuzzing::scratchFile("velxmln-fuzz-flat-").c_str());
                    VELXMLN_Read_Tree(to, fuzzing::scratchFile("velxmln-fuzz-flat-").c_str());
                } catch (const kasxmln::CXMLException&) {
                }
                break;
            }
            case 22: {
                // A handle of a deleted tree is refused.
                const int t = tree();
                VELXMLN_Delete_Tree(t);
                if (t > 0 && VELXMLN_Get_Root_Tag(t) != -1) {
                    fuzzing::fault("a deleted tree still gives a root", std::to_string(t));
                }
                break;
            }
            default: {
                // The current-document family beside the handles.
                switch (input.smallInt(4)) {
                    case 0:
                        VELXMLN_Open(input.cText(16).c_str());
                        break;
                    case 1:
                        VELXMLN_Close();
                        break;
                    case 2:
                        VELXMLN_SetAttributeText(input.cText(16).c_str(), input.cText().c_str());
                        break;
                    default:
                        VELXMLN_AddTextLine(input.cText().c_str());
                        break;
                }
                break;
            }
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input input(data, size);
    Program program{input, {}, {}};
    for (int steps = 0; steps < 400 && !input.empty(); ++steps) {
        program.step();
    }
    for (const char* name : kTreeNames) {
        VELXMLN_Delete_Tree(VELXMLN_Get_Tree(name));
    }
    VELXMLN_Stop();
    return 0;
}
