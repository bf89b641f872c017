#pragma once

#include "registrystore.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvanta {

// One key of the file store's tree: its name as written, its values in the
// order they were first set, and its subkeys kept in case-insensitive order
// (the order in which Windows enumerates them).
struct RegKeyNode
{
    std::string name;
    std::vector<std::pair<std::string, RegistryData>> values;
    std::vector<RegKeyNode> subkeys;

    RegKeyNode* findSubKey(std::string_view keyName);
    // Returns the existing subkey of that name or inserts a new one in order.
    RegKeyNode& ensureSubKey(std::string_view keyName);
    RegistryData* findValue(std::string_view valueName);
};

// All roots of one registry file. Roots never share keys.
struct RegTree
{
    std::map<std::int32_t, RegKeyNode> roots;
    bool operator==(const RegTree&) const = default;
};

bool operator==(const RegistryData& a, const RegistryData& b);
bool operator==(const RegKeyNode& a, const RegKeyNode& b);

bool EqualsNoCase(std::string_view a, std::string_view b);
// Orders names as the registry does: without regard to (ASCII) case.
bool LessNoCase(std::string_view a, std::string_view b);

// The name of a predefined root ("HKEY_LOCAL_MACHINE"), or "" for an unknown one.
std::string RootName(std::int32_t root);
// The root with that name, or false when the name is no root's.
bool RootFromName(std::string_view name, std::int32_t& root);

// Writes the tree in the registry-export text format ("REGEDIT4"): one
// [ROOT\path] section per key, "name"="text" for plain strings, dword:
// for DWORDs and hex(N): byte lists for everything else.
std::string SerializeRegFile(const RegTree& tree);

// Reads the text back. On failure returns false, leaves `tree` unspecified and
// puts a short reason with the line number into `error`.
bool ParseRegFile(std::string_view text, RegTree& tree, std::string& error);

// Replaces each %NAME% whose NAME `lookup` knows; an unknown %NAME% and a lone
// percent sign are kept as written, as the Windows expansion keeps them.
template <typename Lookup> std::string ExpandPercentVariables(std::string_view text, Lookup lookup)
{
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t open = text.find('%', i);
        if (open == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, open - i));
        const std::size_t close = text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(open));
            break;
        }
        std::string value;
        if (close > open + 1 &&
            lookup(std::string(text.substr(open + 1, close - open - 1)), value)) {
            out.append(value);
            i = close + 1;
        } else {
            out.append(text.substr(open, close - open + 1));
            i = close + 1;
        }
    }
    return out;
}

} // namespace corvanta
