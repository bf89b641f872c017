#include "cregistry.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

#include <exception>

namespace corvanta {

namespace {

std::string executableBaseName()
{
    std::string path;
#ifdef _WIN32
    char buffer[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    path.assign(buffer, n);
#else
    char buffer[PATH_MAX + 1] = {};
    const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n > 0)
        path.assign(buffer, static_cast<std::size_t>(n));
#endif
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name.empty() ? "corvanta" : name;
}

// A text is an expandable string when it holds a percent sign and a further
// one at least two characters later: "%X%" qualifies, "%%" does not.
bool hasSeparatedPercents(const std::string& text)
{
    const std::size_t first = text.find('%');
    return first != std::string::npos && text.find('%', first + 2) != std::string::npos;
}

ByteArray dwordBytes(std::uint32_t v)
{
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

std::string quotedPath(std::string path)
{
    const auto begin = path.find_first_not_of(" \t");
    const auto end = path.find_last_not_of(" \t");
    path = begin == std::string::npos ? std::string() : path.substr(begin, end - begin + 1);
    if (path.empty() || path.front() != '"')
        path.insert(path.begin(), '"');
    if (path.size() < 2 || path.back() != '"')
        path.push_back('"');
    return path;
}

} // namespace

cRegistry::cRegistry(std::shared_ptr<IRegistryStore> store) : m_store(std::move(store)) {}

std::string cRegistry::ErrorSource()
{
    static const std::string source = executableBaseName() + ".cRegistry";
    return source;
}

void cRegistry::Raise(std::int32_t number, std::string description)
{
    throw RegistryError(number, ErrorSource(), std::move(description));
}

bool cRegistry::KeyExists() const
{
    try {
        return m_store->openKey(m_classKey, m_sectionKey, KeyQueryValue) == regresult::Success;
    } catch (const std::exception&) {
        return false;
    }
}

bool cRegistry::CreateKey()
{
    if (m_store->createKey(m_classKey, m_sectionKey) != regresult::Success)
        Raise(RegErrKey, "Failed to create registry Key: '" + m_sectionKey);
    return true;
}

bool cRegistry::DeleteKey()
{
    if (m_store->deleteKey(m_classKey, m_sectionKey) != regresult::Success)
        Raise(RegErrKey, "Failed to delete registry Key: '" + std::to_string(m_classKey) +
                             "',Section: '" + m_sectionKey);
    return true;
}

bool cRegistry::DeleteValue()
{
    const std::string where = std::to_string(m_classKey) + "',Section: '" + m_sectionKey;
    if (m_store->openKey(m_classKey, m_sectionKey, KeyWriteAccess) != regresult::Success)
        Raise(RegErrKey, "Failed to open key '" + where + "' for delete access");
    // No error is pending in this thread after a failed store call, so the
    // message ends with the bare separator.
    if (m_store->deleteValue(m_classKey, m_sectionKey, m_valueKey) != regresult::Success)
        Raise(RegErrKey,
              "Failed to delete registry Key: '" + where + "',Key: '" + m_valueKey + ", ");
    return true;
}

RegValue cRegistry::Value()
{
    try {
        RegistryData data;
        if (m_store->queryValue(m_classKey, m_sectionKey, m_valueKey, data) != regresult::Success)
            return m_default;
        m_valueType = static_cast<std::int32_t>(data.type);
        switch (data.type) {
        case RegSz:
        case RegExpandSz:
        case RegMultiSz: {
            // Drop the terminating zero only when there is one: a string stored
            // without it keeps its last character.
            std::size_t size = data.bytes.size();
            if (size > 0 && data.bytes[size - 1] == 0)
                --size;
            std::string text(data.bytes.begin(), data.bytes.begin() + static_cast<long>(size));
            return data.type == RegExpandSz ? RegValue(ExpandEnvironment(text)) : RegValue(text);
        }
        case RegDword:
        case RegDwordBigEndian: {
            ByteArray b = data.bytes;
            b.resize(4, 0);
            const std::uint32_t v =
                b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
            const auto asInt = static_cast<std::int32_t>(v);
            return data.type == RegDword ? asInt : ReverseByteOrder(asInt);
        }
        default:
            return data.bytes;
        }
    } catch (const std::exception&) {
        return m_default;
    }
}

void cRegistry::SetValue(const RegValue& vValue)
{
    const std::string text = ValueText(vValue);
    const std::string description = "Failed to set registry value Key: '" +
                                    std::to_string(m_classKey) + "',Section: '" + m_sectionKey +
                                    "',Key: '" + m_valueKey + "' to value: '" + text + "'";
    long opened = regresult::AccessDenied;
    try {
        opened = m_store->createKey(m_classKey, m_sectionKey);
    } catch (const std::exception&) {
    }
    if (opened != regresult::Success)
        Raise(RegErrKey, description);

    long result = regresult::Success;
    try {
        switch (m_valueType) {
        case RegSz:
        case RegExpandSz: {
            RegistryData data;
            data.type = hasSeparatedPercents(text) ? RegExpandSz : RegSz;
            data.bytes.assign(text.begin(), text.end());
            data.bytes.push_back(0);
            result = m_store->setValue(m_classKey, m_sectionKey, m_valueKey, data);
            break;
        }
        case RegBinary:
            if (const auto* bytes = std::get_if<ByteArray>(&vValue)) {
                result = m_store->setValue(m_classKey, m_sectionKey, m_valueKey,
                                           RegistryData{RegBinary, *bytes});
            } else {
                // Raised without a message of its own; this is the text the
                // error then carries by default.
                Raise(RegErrKey, "Application-defined or object-defined error");
            }
            break;
        case RegDword:
        case RegDwordBigEndian: {
            std::int32_t number = 0;
            if (const auto* i16 = std::get_if<std::int16_t>(&vValue))
                number = *i16;
            else if (const auto* i32 = std::get_if<std::int32_t>(&vValue))
                number = *i32;
            else
                break; // any other value is silently not written
            result = m_store->setValue(
                m_classKey, m_sectionKey, m_valueKey,
                RegistryData{RegDword, dwordBytes(static_cast<std::uint32_t>(number))});
            break;
        }
        default:
            result = regresult::InvalidData;
            break;
        }
    } catch (const RegistryError&) {
        throw;
    } catch (const std::exception&) {
        result = regresult::WriteFault;
    }
    if (result != regresult::Success)
        Raise(RegErrSetValue, description);
}

bool cRegistry::EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount)
{
    sKeyNames.clear();
    iKeyCount = 0;
    try {
        m_store->enumValues(m_classKey, m_sectionKey, sKeyNames);
    } catch (const std::exception&) {
        // Keep the names listed before the failure, as a failed step ends the listing.
    }
    iKeyCount = static_cast<std::int32_t>(sKeyNames.size());
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount)
{
    sSect.clear();
    iSectCount = 0;
    try {
        m_store->enumSubKeys(m_classKey, m_sectionKey, sSect);
    } catch (const std::exception& e) {
        sSect.clear();
        Raise(RegErrEnumerate, e.what());
    }
    iSectCount = static_cast<std::int32_t>(sSect.size());
    return true;
}

void cRegistry::CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                                     const std::string& sClassDescription,
                                     const std::string& sAssociation,
                                     const std::string& sOpenMenuText, bool bSupportPrint,
                                     const std::string& sPrintMenuText, bool bSupportNew,
                                     const std::string& sNewMenuText, bool bSupportInstall,
                                     const std::string& sInstallMenuText,
                                     std::int32_t lDefaultIconIndex)
{
    const std::string exe = quotedPath(sExePath);
    const std::string shell = sClassName + "\\shell\\";
    auto write = [this](const std::string& key, const std::string& text) {
        m_sectionKey = key;
        WriteClassValue(text);
    };
    auto orDefault = [](const std::string& text, const std::string& fallback) {
        return text.empty() ? fallback : text;
    };
    m_valueType = RegSz;
    m_valueKey.clear();

    write("." + sAssociation, sClassName);
    write(sClassName, sClassDescription);
    write(shell + "open", orDefault(sOpenMenuText, "&Open"));
    write(shell + "open\\command", exe + " \"%1\"");
    if (bSupportPrint) {
        write(shell + "print", orDefault(sPrintMenuText, "&Print"));
        write(shell + "print\\command", exe + " /p \"%1\"");
    }
    if (bSupportInstall) {
        write(shell + "add", orDefault(sInstallMenuText, "&Install " + sAssociation));
        write(shell + "add\\command", exe + " /a \"%1\"");
    }
    if (bSupportNew) {
        write(shell + "new", orDefault(sNewMenuText, "&New"));
        write(shell + "new\\command", exe + " /n \"%1\"");
    }
    if (lDefaultIconIndex > -1)
        write(sClassName + "\\DefaultIcon", exe + "," + std::to_string(lDefaultIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& sClassName,
                                                const std::vector<RegValue>& vItems)
{
    if (vItems.size() % 3 != 0)
        Raise(RegErrAssociationItems,
              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
              "Name/Text/Command");
    m_classKey = HKEY_CLASSES_ROOT_KEY;
    m_sectionKey = sClassName;
    if (!KeyExists())
        Raise(RegErrAssociationClass,
              "Error - attempt to create additional associations before class defined.");
    m_valueType = RegSz;
    m_valueKey.clear();
    for (std::size_t i = 0; i < vItems.size(); i += 3) {
        const std::string verb = sClassName + "\\shell\\" + ValueText(vItems[i]);
        m_sectionKey = verb;
        WriteClassValue(ValueText(vItems[i + 1]));
        m_sectionKey = verb + "\\command";
        WriteClassValue(ValueText(vItems[i + 2]));
    }
    m_sectionKey = sClassName;
}

std::int32_t cRegistry::ReverseByteOrder(std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    return static_cast<std::int32_t>((v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) |
                                     (v << 24));
}

std::string cRegistry::ExpandEnvironment(const std::string& text)
{
    return m_store->expandEnvironment(text);
}

void cRegistry::WriteClassValue(const std::string& text)
{
    const std::string section = m_sectionKey;
    m_classKey = HKEY_CLASSES_ROOT_KEY;
    SetValue(text);
    m_classKey = HKEY_LOCAL_MACHINE_KEY;
    m_sectionKey = "SOFTWARE\\Classes\\" + section;
    SetValue(text);
    m_sectionKey = section;
}

} // namespace corvanta
