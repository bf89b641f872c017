#include "regfile.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace corvanta {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::size_t kHexLineWidth = 76;

struct RootEntry
{
    std::int32_t key;
    std::string_view name;
};

constexpr std::array<RootEntry, 7> kRoots{{
    {static_cast<std::int32_t>(0x80000000u), "HKEY_CLASSES_ROOT"},
    {static_cast<std::int32_t>(0x80000001u), "HKEY_CURRENT_USER"},
    {static_cast<std::int32_t>(0x80000002u), "HKEY_LOCAL_MACHINE"},
    {static_cast<std::int32_t>(0x80000003u), "HKEY_USERS"},
    {static_cast<std::int32_t>(0x80000004u), "HKEY_PERFORMANCE_DATA"},
    {static_cast<std::int32_t>(0x80000005u), "HKEY_CURRENT_CONFIG"},
    {static_cast<std::int32_t>(0x80000006u), "HKEY_DYN_DATA"},
}};

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void appendQuoted(std::string& out, std::string_view s)
{
    out.push_back('"');
    for (char c : s) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

// A string value can be written as "text" when it is one zero-terminated
// string without control characters; anything else goes out as hex so that
// every byte survives the round trip.
bool isPlainString(const RegistryData& d)
{
    if (d.type != RegSz || d.bytes.empty() || d.bytes.back() != 0)
        return false;
    return std::all_of(d.bytes.begin(), d.bytes.end() - 1,
                       [](std::uint8_t b) { return b >= 0x20 && b != 0x7f; });
}

void appendHex(std::string& out, std::string_view prefix, const ByteArray& bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    out.append(prefix);
    std::size_t col = out.size() - out.rfind('\n') - 1;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0xf]);
        col += 2;
        if (i + 1 < bytes.size()) {
            out.push_back(',');
            ++col;
            if (col >= kHexLineWidth) {
                out.append("\\\n  ");
                col = 2;
            }
        }
    }
}

void appendValue(std::string& out, const std::string& name, const RegistryData& d)
{
    if (name.empty())
        out.push_back('@');
    else
        appendQuoted(out, name);
    out.push_back('=');
    if (isPlainString(d)) {
        appendQuoted(out, std::string_view(reinterpret_cast<const char*>(d.bytes.data()),
                                           d.bytes.size() - 1));
    } else if (d.type == RegDword && d.bytes.size() == 4) {
        const std::uint32_t v = d.bytes[0] | (d.bytes[1] << 8) | (d.bytes[2] << 16) |
                                (static_cast<std::uint32_t>(d.bytes[3]) << 24);
        char buf[16];
        auto res = std::to_chars(buf, buf + sizeof buf, v, 16);
        out.append("dword:");
        out.append(8 - static_cast<std::size_t>(res.ptr - buf), '0');
        out.append(buf, res.ptr);
    } else if (d.type == RegBinary) {
        appendHex(out, "hex:", d.bytes);
    } else {
        char buf[16];
        auto res = std::to_chars(buf, buf + sizeof buf, d.type, 16);
        appendHex(out, "hex(" + std::string(buf, res.ptr) + "):", d.bytes);
    }
    out.push_back('\n');
}

void appendKey(std::string& out, const std::string& path, const RegKeyNode& key, bool isRoot)
{
    if (!isRoot || !key.values.empty()) {
        out.append("\n[").append(path).append("]\n");
        for (const auto& [name, data] : key.values)
            appendValue(out, name, data);
    }
    for (const auto& sub : key.subkeys)
        appendKey(out, path + "\\" + sub.name, sub, false);
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Reads a quoted string starting at s[0] == '"'; returns the position after
// the closing quote, or npos when it is not closed.
std::size_t readQuoted(std::string_view s, std::string& out)
{
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out.push_back(s[++i]);
        } else if (s[i] == '"') {
            return i + 1;
        } else {
            out.push_back(s[i]);
        }
    }
    return std::string_view::npos;
}

bool parseHexBytes(std::string_view s, ByteArray& out)
{
    s = trim(s);
    if (s.empty())
        return true;
    while (true) {
        const std::size_t comma = s.find(',');
        const std::string_view item = trim(s.substr(0, comma));
        unsigned v = 0;
        if (item.empty() || item.size() > 2)
            return false;
        auto res = std::from_chars(item.data(), item.data() + item.size(), v, 16);
        if (res.ec != std::errc{} || res.ptr != item.data() + item.size())
            return false;
        out.push_back(static_cast<std::uint8_t>(v));
        if (comma == std::string_view::npos)
            return true;
        s = s.substr(comma + 1);
    }
}

bool parseData(std::string_view s, RegistryData& d)
{
    if (!s.empty() && s.front() == '"') {
        std::string text;
        const std::size_t end = readQuoted(s, text);
        if (end == std::string_view::npos || !trim(s.substr(end)).empty())
            return false;
        d.type = RegSz;
        d.bytes.assign(text.begin(), text.end());
        d.bytes.push_back(0);
        return true;
    }
    if (s.substr(0, 6) == "dword:") {
        const std::string_view digits = s.substr(6);
        std::uint32_t v = 0;
        auto res = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
        if (digits.empty() || digits.size() > 8 || res.ec != std::errc{} ||
            res.ptr != digits.data() + digits.size())
            return false;
        d.type = RegDword;
        d.bytes = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
        return true;
    }
    if (s.substr(0, 4) == "hex:") {
        d.type = RegBinary;
        return parseHexBytes(s.substr(4), d.bytes);
    }
    if (s.substr(0, 4) == "hex(") {
        const std::size_t close = s.find("):");
        if (close == std::string_view::npos || close == 4)
            return false;
        auto res = std::from_chars(s.data() + 4, s.data() + close, d.type, 16);
        if (res.ec != std::errc{} || res.ptr != s.data() + close)
            return false;
        return parseHexBytes(s.substr(close + 2), d.bytes);
    }
    return false;
}

bool parseKeyPath(std::string_view path, RegTree& tree, RegKeyNode*& key)
{
    const std::size_t sep = path.find('\\');
    std::int32_t root = 0;
    if (!RootFromName(path.substr(0, sep), root))
        return false;
    key = &tree.roots[root];
    if (sep == std::string_view::npos)
        return true;
    std::string_view rest = path.substr(sep + 1);
    while (true) {
        const std::size_t next = rest.find('\\');
        const std::string_view part = rest.substr(0, next);
        if (part.empty())
            return false;
        key = &key->ensureSubKey(part);
        if (next == std::string_view::npos)
            return true;
        rest = rest.substr(next + 1);
    }
}

} // namespace

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lowerAscii(x) == lowerAscii(y);
           });
}

bool LessNoCase(std::string_view a, std::string_view b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(lowerAscii(x)) <
               static_cast<unsigned char>(lowerAscii(y));
    });
}

RegKeyNode* RegKeyNode::findSubKey(std::string_view keyName)
{
    auto it = std::lower_bound(
        subkeys.begin(), subkeys.end(), keyName,
        [](const RegKeyNode& k, std::string_view n) { return LessNoCase(k.name, n); });
    return (it != subkeys.end() && EqualsNoCase(it->name, keyName)) ? &*it : nullptr;
}

RegKeyNode& RegKeyNode::ensureSubKey(std::string_view keyName)
{
    auto it = std::lower_bound(
        subkeys.begin(), subkeys.end(), keyName,
        [](const RegKeyNode& k, std::string_view n) { return LessNoCase(k.name, n); });
    if (it != subkeys.end() && EqualsNoCase(it->name, keyName))
        return *it;
    RegKeyNode node;
    node.name = std::string(keyName);
    return *subkeys.insert(it, std::move(node));
}

RegistryData* RegKeyNode::findValue(std::string_view valueName)
{
    for (auto& [n, d] : values) {
        if (EqualsNoCase(n, valueName))
            return &d;
    }
    return nullptr;
}

bool operator==(const RegistryData& a, const RegistryData& b)
{
    return a.type == b.type && a.bytes == b.bytes;
}

bool operator==(const RegKeyNode& a, const RegKeyNode& b)
{
    return a.name == b.name && a.values == b.values && a.subkeys == b.subkeys;
}

std::string RootName(std::int32_t root)
{
    for (const auto& r : kRoots) {
        if (r.key == root)
            return std::string(r.name);
    }
    return {};
}

bool RootFromName(std::string_view name, std::int32_t& root)
{
    for (const auto& r : kRoots) {
        if (EqualsNoCase(r.name, name)) {
            root = r.key;
            return true;
        }
    }
    return false;
}

std::string SerializeRegFile(const RegTree& tree)
{
    std::string out(kHeader);
    out.push_back('\n');
    for (const auto& [root, node] : tree.roots)
        appendKey(out, RootName(root), node, true);
    return out;
}

bool ParseRegFile(std::string_view text, RegTree& tree, std::string& error)
{
    tree = RegTree{};
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    bool headerSeen = false;
    RegKeyNode* key = nullptr;
    std::size_t lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        // Gather one logical line; a hex list continues after a trailing '\'.
        std::string line;
        const std::size_t firstLine = lineNo + 1;
        while (pos < text.size()) {
            const std::size_t nl = text.find('\n', pos);
            std::string_view physical = trim(
                text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos));
            pos = nl == std::string_view::npos ? text.size() : nl + 1;
            ++lineNo;
            // Only a hex list can end in a backslash: quoted text ends in a
            // quote, a key line in ']'.
            if (!physical.empty() && physical.back() == '\\') {
                line.append(physical.substr(0, physical.size() - 1));
                continue;
            }
            line.append(physical);
            break;
        }
        const std::string_view l = trim(line);
        auto fail = [&](const char* why) {
            error = std::string(why) + " at line " + std::to_string(firstLine);
            return false;
        };
        if (l.empty() || l.front() == ';')
            continue;
        if (!headerSeen) {
            if (l != kHeader)
                return fail("missing REGEDIT4 header");
            headerSeen = true;
            continue;
        }
        if (l.front() == '[') {
            if (l.back() != ']' || l.size() < 3 || l[1] == '-')
                return fail("malformed key line");
            if (!parseKeyPath(l.substr(1, l.size() - 2), tree, key))
                return fail("unknown root or empty key name");
            continue;
        }
        if (key == nullptr)
            return fail("value outside a key");
        std::string name;
        std::size_t afterName = 0;
        if (l.front() == '@') {
            afterName = 1;
        } else if (l.front() == '"') {
            afterName = readQuoted(l, name);
            if (afterName == std::string_view::npos)
                return fail("unterminated value name");
        } else {
            return fail("malformed line");
        }
        if (afterName >= l.size() || l[afterName] != '=')
            return fail("missing '='");
        RegistryData data;
        if (!parseData(trim(l.substr(afterName + 1)), data))
            return fail("malformed value data");
        if (RegistryData* existing = key->findValue(name))
            *existing = std::move(data);
        else
            key->values.emplace_back(std::move(name), std::move(data));
    }
    if (!headerSeen) {
        error = "missing REGEDIT4 header";
        return false;
    }
    return true;
}

} // namespace corvanta
