// The registry file parser, fed any text a damaged or hand-edited file might
// hold. Besides not crashing: what it accepts, it writes back in a form that
// reads as the same registry.

#include "fuzzcheck.h"
#include "regfile.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

using namespace corvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    RegTree tree;
    std::string error;
    if (!ParseRegFile(text, tree, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    // A root key always exists, so a root section with nothing in it is
    // written as nothing: compare without such roots.
    std::erase_if(tree.roots, [](const auto& root) {
        return root.second.values.empty() && root.second.subkeys.empty();
    });
    const std::string written = SerializeRegFile(tree);
    RegTree again;
    FUZZ_CHECK(ParseRegFile(written, again, error));
    FUZZ_CHECK(again == tree);
    return 0;
}
