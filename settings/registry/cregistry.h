#pragma once

#include "registryerror.h"
#include "registrystore.h"
#include "registryvalue.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvanta {

// Error numbers raised by cRegistry (object-error base 0x80040000 + 1048 + n
// for the last four).
inline constexpr std::int32_t RegErrKey = 26001;
inline constexpr std::int32_t RegErrSetValue = static_cast<std::int32_t>(0x800469A9u);
inline constexpr std::int32_t RegErrEnumerate = static_cast<std::int32_t>(0x800469AAu);
inline constexpr std::int32_t RegErrAssociationItems = static_cast<std::int32_t>(0x800469ACu);
inline constexpr std::int32_t RegErrAssociationClass = static_cast<std::int32_t>(0x800469ADu);

// A cursor on the registry: set a root (ClassKey), a key path (SectionKey) and
// a value name (ValueKey), then read or write Value or call a key operation.
//
// Reading never raises: a value that cannot be read yields Default. Every
// other failure raises RegistryError with a number, the source
// "<executable>.cRegistry" and a description. No key stays open between calls.
//
// An instance is not shared between threads; create one per access. The store
// is shared (see IRegistryStore) and kept alive by the instance.
class cRegistry final
{
public:
    explicit cRegistry(std::shared_ptr<IRegistryStore> store = DefaultRegistryStore());

    // True when the section key can be opened for querying.
    bool KeyExists() const;
    // Creates the section key (and its parents) or opens it. Raises 26001.
    bool CreateKey();
    // Deletes the section key, which must have no subkeys. Raises 26001.
    bool DeleteKey();
    // Deletes the value named by ValueKey. Raises 26001.
    bool DeleteValue();

    // Reads the value; on success ValueType becomes the type found. Strings come
    // without their terminating zero (REG_EXPAND_SZ expanded, REG_MULTI_SZ with
    // its zero separators), DWORDs as std::int32_t (big-endian ones reversed),
    // everything else as a ByteArray of exactly the stored bytes.
    RegValue Value();
    // Writes by ValueType: 1/2 store the value's text (REG_EXPAND_SZ when two
    // percent signs are set apart, else REG_SZ); 3 needs a ByteArray; 4/5
    // store a 16- or 32-bit integer as REG_DWORD and silently skip any other
    // value; other types fail. Creates the key when needed.
    void SetValue(const RegValue& vValue);

    // Names of the section key's values / subkeys; always true. The vectors
    // hold exactly the count names, first name at index 0.
    bool EnumerateValues(std::vector<std::string>& sKeyNames, std::int32_t& iKeyCount);
    bool EnumerateSections(std::vector<std::string>& sSect, std::int32_t& iSectCount);

    // Registers a file type under HKEY_CLASSES_ROOT and HKEY_LOCAL_MACHINE's
    // SOFTWARE\Classes. Leaves ClassKey at HKEY_LOCAL_MACHINE.
    void CreateEXEAssociation(const std::string& sExePath, const std::string& sClassName,
                              const std::string& sClassDescription, const std::string& sAssociation,
                              const std::string& sOpenMenuText = {}, bool bSupportPrint = false,
                              const std::string& sPrintMenuText = {}, bool bSupportNew = false,
                              const std::string& sNewMenuText = {}, bool bSupportInstall = false,
                              const std::string& sInstallMenuText = {},
                              std::int32_t lDefaultIconIndex = -1);
    // Adds shell verbs given as name, menu text, command triples.
    void CreateAdditionalEXEAssociations(const std::string& sClassName,
                                         const std::vector<RegValue>& vItems);

    std::int32_t ValueType() const { return m_valueType; }
    void SetValueType(std::int32_t eValueType) { m_valueType = eValueType; }
    std::int32_t ClassKey() const { return m_classKey; }
    void SetClassKey(std::int32_t eKey) { m_classKey = eKey; }
    const std::string& SectionKey() const { return m_sectionKey; }
    void SetSectionKey(const std::string& sSectionKey) { m_sectionKey = sSectionKey; }
    const std::string& ValueKey() const { return m_valueKey; }
    void SetValueKey(const std::string& sValueKey) { m_valueKey = sValueKey; }
    const RegValue& Default() const { return m_default; }
    void SetDefault(const RegValue& vDefault) { m_default = vDefault; }

    // "<executable name without extension>.cRegistry".
    static std::string ErrorSource();

private:
    static std::int32_t ReverseByteOrder(std::int32_t value);
    std::string ExpandEnvironment(const std::string& text);
    void WriteClassValue(const std::string& text);
    [[noreturn]] static void Raise(std::int32_t number, std::string description);

    std::shared_ptr<IRegistryStore> m_store;
    std::int32_t m_classKey = 0;
    std::string m_sectionKey;
    std::string m_valueKey;
    std::int32_t m_valueType = 0;
    RegValue m_default;
};

} // namespace corvanta
