// Fuzz target: the node library's fast reader against its Xerces-C event path.
//
// Property (fuzz/Differential.h): on every input both give the same events, or both refuse it
// with an exception of the same code (the fast reader's message saying where), or the fast reader
// alone refuses a NUL byte. The fast reader also reads the input in blocks of a size taken from
// the input and must then give exactly what it gave for the whole. The SAX file form on the fast
// reader, reading the input in such blocks from a file, must call the handler exactly as its
// Xerces-C path does (the stricter rule of Differential.h).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Differential.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const differential::Outcome xerces = differential::viaXerces(input);
    const differential::Outcome fast = differential::viaFast(input);
    if (differential::judge(xerces, fast) == differential::Verdict::kDifferent) {
        fuzzing::fault("the fast reader and the Xerces path disagree",
                       differential::describe(xerces, fast));
    }
    const std::size_t block = size == 0 ? 1 : 1 + data[size - 1] % 13;
    const differential::Outcome pieces = differential::viaFast(input, block, (size & 1) != 0);
    if (!pieces.fault.empty() || pieces.accepted != fast.accepted || pieces.events != fast.events ||
        pieces.message != fast.message) {
        const std::string what =
            "the fast reader reads blocks of " + std::to_string(block) + " bytes differently";
        fuzzing::fault(what.c_str(), differential::describe(fast, pieces));
    }
    const std::string& file = fuzzing::scratchFile("velxmln-fuzz-differential-");
    differential::writeInput(file, input);
    const differential::Outcome saxXerces = differential::viaSax(file, 0);
    const differential::Outcome saxFast = differential::viaSax(file, block);
    if (!differential::sameSax(saxXerces, saxFast)) {
        fuzzing::fault("the SAX file form calls the handler differently on the fast reader",
                       differential::describe(saxXerces, saxFast));
    }
    return 0;
}
