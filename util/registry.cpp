// Registry wrappers.
#include "util/registry.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "logging/log.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "util/error_text.h"

char *gv_agentInstallDir = nullptr;

namespace {

constexpr const char16_t *kPlaceholder = u"--";

bool IsPlaceholder(const char16_t *wide) {
    return std::u16string_view(wide) == kPlaceholder;
}

// The signed decimal at the start of a wide text: leading blanks, a sign, digits. Values
// beyond 32 bits saturate, as the C runtime's conversion does.
int32_t WideToInt(const char16_t *p) {
    while (*p == u' ' || (*p >= u'\t' && *p <= u'\r')) ++p;
    bool negative = *p == u'-';
    if (*p == u'-' || *p == u'+') ++p;
    int64_t n = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        n = n * 10 + (*p - u'0');
        if (n > int64_t(INT32_MAX) + 1) n = int64_t(INT32_MAX) + 1;
    }
    if (negative) return int32_t(-n);
    return n > INT32_MAX ? INT32_MAX : int32_t(n);
}

// The bytes stored for the text under the given type.
std::string PrepareData(const char16_t *wide, DWORD type) {
    size_t length = PlatWideLength(wide);
    const char *raw = reinterpret_cast<const char *>(wide);
    switch (type) {
        case REG_DWORD: {
            uint32_t n = uint32_t(WideToInt(wide));
            LogDebug("writeValue:  REG_DWORD -- sizeOfInputData: %d\n", 4);
            return std::string(reinterpret_cast<const char *>(&n), 4);
        }
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_BINARY: {
            std::string bytes(raw, (length + 1) * 2);
            LogDebug("writeValue:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: %d\n",
                     int(bytes.size()));
            return bytes;
        }
        case REG_MULTI_SZ: {
            // One string, then the empty string that ends the list.
            std::string bytes(raw, (length + 1) * 2);
            bytes.append(2, '\0');
            LogDebug("writeValue:  Data type is REG_MULTI_SZ: %d\n", int(bytes.size()));
            return bytes;
        }
        default: {
            // Four bytes from the start of the text, padded with nulls when it is shorter.
            std::string bytes(raw, std::min<size_t>((length + 1) * 2, 4));
            bytes.resize(4, '\0');
            return bytes;
        }
    }
}

// The data of a failed write, logged by its type so that no byte past it is read.
void LogFailedData(const std::string &bytes, DWORD type) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        std::u16string text(bytes.size() / 2, u'\0');
        memcpy(text.data(), bytes.data(), text.size() * 2);
        LogError("writeValue:    Valuedata: %S \n", text.c_str());
    } else if (type == REG_DWORD && bytes.size() == 4) {
        uint32_t n;
        memcpy(&n, bytes.data(), 4);
        LogError("writeValue:    Valuedata: %u \n", n);
    } else {
        std::string hex;
        char byte[4];
        for (unsigned char c : bytes) {
            snprintf(byte, sizeof byte, "%02x", c);
            hex += byte;
        }
        LogError("writeValue:    Valuedata: %s \n", hex.c_str());
    }
}

}  // namespace

extern "C" {

DWORD addRegistryKey(HKEY root, const char *subkey) {
    LogDebug("addRegistryKey:  Entering addRegistryKey \n");
    PlatRegKey *key = nullptr;
    DWORD disposition = 0;
    DWORD code = PlatRegCreateKey(root, subkey, KEY_ALL_ACCESS, &key, &disposition);
    if (code != ERROR_SUCCESS) {
        LogError("addRegistryKey:  Create registry key \"%s\" function failed: %d \n", subkey,
                 int(code));
        LogErrorCode(int(code));
        return code;
    }
    if (disposition == REG_OPENED_EXISTING_KEY) {
        LogDebug("addRegistryKey:  Opened already existing key! \n");
    } else {
        LogDebug("addRegistryKey:  Create registry key function successfull: %d \n", 1);
    }
    PlatRegCloseKey(key);
    return ERROR_SUCCESS;
}

DWORD writeValue(HKEY root, const char *subkey, const char *valueName, const char *valueData,
                 DWORD dataType) {
    LogDebug("writeValue:  Entering writeValue \n");
    if (valueName == nullptr || valueData == nullptr) {
        LogInfo("writeValue : Valuename or Valuedata is Empty \n");
        return 13;
    }
    LogDebug("writeValue: Subkey : %s \n", subkey);
    LogDebug("writeValue: Value Name: %s \n", valueName);
    LogDebug("writeValue: Value Data: %s \n", valueData);

    char16_t *wideName = nullptr;
    char16_t *wideData = nullptr;
    if (!ChangeUtf8ToWideStr(valueName, &wideName) || !ChangeUtf8ToWideStr(valueData, &wideData)) {
        free(wideName);
        free(wideData);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    const char16_t *name = wideName;
    const char16_t *data = wideData;
    if (IsPlaceholder(wideName)) {
        LogInfo("writeValue : going to add the (default) value .\n");
        name = u"";
    }
    if (IsPlaceholder(wideData)) {
        LogInfo("writeValue : going to add the value data as 0 value .\n");
        data = u"";
    }
    std::string bytes = PrepareData(data, dataType);

    DWORD code = addRegistryKey(root, subkey);
    if (code != ERROR_SUCCESS) {
        LogError("writeValue:  WriteValue failure during key creation! %d \n", int(code));
        free(wideName);
        free(wideData);
        return code;
    }
    PlatRegKey *key = nullptr;
    code = PlatRegOpenKey(root, subkey, KEY_ALL_ACCESS, &key);
    if (code != ERROR_SUCCESS) {
        LogError("writeValue:  Key open failure! %d \n", int(code));
        LogErrorCode(int(code));
        free(wideName);
        free(wideData);
        return code;
    }
    LogDebug("writeValue:  Key found ...!: %d\n", 0);
    LogDebug("writeValue:  After addRegistryKey method in writeValue method!!\n");

    code = PlatRegSetValueW(key, name, dataType, reinterpret_cast<const BYTE *>(bytes.data()),
                            DWORD(bytes.size()));
    if (code == ERROR_SUCCESS) {
        LogErrorCode(0);
        LogDebug("writeValue:  Exiting writeValue \n");
    } else {
        LogError("writeValue:  Function WriteValue failure!:%d\n", int(code));
        LogError("writeValue:    Subkey: %s \n", subkey);
        LogError("writeValue:    Valuename: %S \n", name);
        LogFailedData(bytes, dataType);
        LogError("writeValue:    Datatype: %d \n", int(dataType));
        LogErrorCode(int(code));
    }
    PlatRegCloseKey(key);
    free(wideName);
    free(wideData);
    return code;
}

DWORD ReadDwordRegistryData(HKEY root, const char *subkey, const char *valueName, DWORD *out) {
    PlatRegKey *key = nullptr;
    DWORD code = PlatRegOpenKey(root, subkey, KEY_QUERY_VALUE, &key);
    if (code == ERROR_FILE_NOT_FOUND) {
        LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, 2);
        return code;
    }
    if (code != ERROR_SUCCESS) {
        LogError(
            "ReadDwordRegistryData: Error while opening registry key %s,and the errorcode is : %d "
            "\n",
            subkey, int(code));
        return code;
    }
    DWORD size = 4;
    DWORD value = 0;
    code = PlatRegQueryValue(key, valueName, nullptr, reinterpret_cast<BYTE *>(&value), &size);
    if (code == ERROR_SUCCESS && out != nullptr) {
        // A shorter value fills only its own bytes, as the system call does.
        memcpy(out, &value, size);
    } else if (code == ERROR_FILE_NOT_FOUND) {
        LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", valueName, int(code));
    } else if (code != ERROR_SUCCESS) {
        LogError("ReadDwordRegistryData: Error while reading DWORD value of %s : %d \n", valueName,
                 int(code));
    }
    PlatRegCloseKey(key);
    return code;
}

DWORD ReadRegSZ(HKEY root, const char *subkey, const char *valueName, char **out) {
    if (out == nullptr) return ERROR_INVALID_PARAMETER;
    *out = nullptr;
    PlatRegKey *key = nullptr;
    DWORD code = PlatRegOpenKey(root, subkey, KEY_QUERY_VALUE, &key);
    if (code != ERROR_SUCCESS) {
        LogError("ReadRegSZ: Error while opening registry key %s ,and the error is  %d \n", subkey,
                 int(code));
        return code;
    }
    DWORD size = 0;
    code = PlatRegQueryValue(key, valueName, nullptr, nullptr, &size);
    if (code == ERROR_SUCCESS) {
        *out = static_cast<char *>(calloc(size_t(size) + 5, 1));
        if (*out == nullptr) {
            code = ERROR_NOT_ENOUGH_MEMORY;
        } else {
            code =
                PlatRegQueryValue(key, valueName, nullptr, reinterpret_cast<BYTE *>(*out), &size);
        }
        if (code != ERROR_SUCCESS)
            LogError("ReadRegSZ: Error while reading DWORD value! %d \n", int(code));
    }
    PlatRegCloseKey(key);
    return code;
}

DWORD ReadAgentInstallDir(char **out) {
    return ReadRegSZ(HKEY_LOCAL_MACHINE, "Software\\Velmora\\Corvane\\KVAgent", "KVAgentInstallDir",
                     out);
}

int ChangeUtf8ToWideStr(const char *text, char16_t **out) {
    if (text == nullptr) {
        LogError("ChangeUtf8ToWideStr: utf8 is empty! \n");
        return 0;
    }
    if (out == nullptr) return 0;
    LogDebug("UTF String Received:%s\n", text);
    int n = PlatUtf8ToUtf16(text, -1, nullptr, 0);
    *out = static_cast<char16_t *>(calloc(size_t(n), sizeof(char16_t)));
    if (*out == nullptr) return 0;
    if (PlatUtf8ToUtf16(text, -1, *out, n) == 0) {
        LogLastError();
        return 0;
    }
    return 1;
}

}  // extern "C"
