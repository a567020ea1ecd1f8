// The registry calls over the file store. A handle names its key by path; every call reads
// the store again, so a handle sees changes made by other processes.
#include "platform/registry.h"

#include <cstring>
#include <new>

#include "platform/errors.h"
#include "platform/posix/reg_store.h"
#include "platform/text.h"

struct PlatRegKey {
    const char *rootName;
    std::string path;
    DWORD access;
};

namespace {

using regstore::Hive;
using regstore::Key;

DWORD Fail(DWORD code) {
    if (code != ERROR_SUCCESS) PlatSetLastError(code);
    return code;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Value names and key paths must fit a line of the store file.
bool Storable(std::string_view name) {
    return name.find_first_of("\r\n") == std::string_view::npos;
}

// The bytes a narrow query returns: string types as UTF-8.
std::vector<uint8_t> NarrowData(const regstore::Value &v) {
    if (!IsStringType(v.type)) return v.data;
    std::u16string wide(v.data.size() / 2, u'\0');
    memcpy(wide.data(), v.data.data(), wide.size() * 2);
    std::string text = Utf16ToUtf8(wide);
    return std::vector<uint8_t>(text.begin(), text.end());
}

DWORD NewHandle(const char *rootName, std::string path, DWORD access, PlatRegKey **out) {
    *out = new (std::nothrow) PlatRegKey{rootName, std::move(path), access};
    return *out ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

}  // namespace

extern "C" {

DWORD PlatRegCreateKey(HKEY root, const char *subkey, DWORD access, PlatRegKey **out,
                       DWORD *disposition) {
    const char *rootName = regstore::RootName(root);
    if (rootName == nullptr || out == nullptr) return Fail(ERROR_INVALID_HANDLE);
    *out = nullptr;
    std::string path = regstore::NormalizePath(subkey ? subkey : "");
    if (!Storable(path)) return Fail(ERROR_INVALID_PARAMETER);
    bool created = false;
    Hive hive(rootName);
    // An existing key is opened without the store's write lock, so opening does not need
    // write access; only a key that must be made takes the lock.
    DWORD code = regstore::LoadHive(hive);
    if (code != ERROR_SUCCESS) return Fail(code);
    if (Key *existing = path.empty() ? nullptr : hive.Find(path)) {
        path = existing->path;
    } else {
        code = regstore::UpdateHive(hive, [&](Hive &h, bool *modified) {
            Key *key = h.Create(path, &created);
            path = key->path;  // a key made meanwhile keeps the case it was created with
            *modified = created;
            return DWORD(ERROR_SUCCESS);
        });
        if (code != ERROR_SUCCESS) return Fail(code);
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return Fail(NewHandle(rootName, path, access, out));
}

DWORD PlatRegOpenKey(HKEY root, const char *subkey, DWORD access, PlatRegKey **out) {
    const char *rootName = regstore::RootName(root);
    if (rootName == nullptr || out == nullptr) return Fail(ERROR_INVALID_HANDLE);
    *out = nullptr;
    std::string path = regstore::NormalizePath(subkey ? subkey : "");
    Hive hive(rootName);
    DWORD code = regstore::LoadHive(hive);
    if (code != ERROR_SUCCESS) return Fail(code);
    if (!path.empty()) {
        Key *key = hive.Find(path);
        if (key == nullptr) return Fail(ERROR_FILE_NOT_FOUND);
        path = key->path;
    }
    return Fail(NewHandle(rootName, path, access, out));
}

DWORD PlatRegCloseKey(PlatRegKey *key) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    delete key;
    return ERROR_SUCCESS;
}

DWORD PlatRegQueryValue(PlatRegKey *key, const char *name, DWORD *type, BYTE *data, DWORD *size) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (!(key->access & KEY_QUERY_VALUE)) return Fail(ERROR_ACCESS_DENIED);
    if (data != nullptr && size == nullptr) return Fail(ERROR_INVALID_PARAMETER);
    Hive hive(key->rootName);
    DWORD code = regstore::LoadHive(hive);
    if (code != ERROR_SUCCESS) return Fail(code);
    Key *k = hive.Find(key->path);
    if (k == nullptr) return Fail(key->path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED);
    regstore::Value *v = k->FindValue(name ? name : "");
    if (v == nullptr) return Fail(ERROR_FILE_NOT_FOUND);
    std::vector<uint8_t> bytes = NarrowData(*v);
    if (type) *type = v->type;
    DWORD needed = DWORD(bytes.size());
    if (data != nullptr) {
        if (*size < needed) {
            *size = needed;
            return Fail(ERROR_MORE_DATA);
        }
        if (needed) memcpy(data, bytes.data(), needed);
    }
    if (size) *size = needed;
    return ERROR_SUCCESS;
}

DWORD PlatRegSetValueW(PlatRegKey *key, const char16_t *name, DWORD type, const BYTE *data,
                       DWORD size) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (!(key->access & KEY_SET_VALUE)) return Fail(ERROR_ACCESS_DENIED);
    if (data == nullptr && size != 0) return Fail(ERROR_INVALID_PARAMETER);
    std::string narrowName = name ? Utf16ToUtf8(name) : "";
    if (!Storable(narrowName)) return Fail(ERROR_INVALID_PARAMETER);
    regstore::Value value{narrowName, type, std::vector<uint8_t>(data, data + size)};
    Hive hive(key->rootName);
    return Fail(regstore::UpdateHive(hive, [&](Hive &h, bool *modified) {
        Key *k = key->path.empty() ? h.Create("", nullptr) : h.Find(key->path);
        if (k == nullptr) return DWORD(ERROR_KEY_DELETED);
        if (regstore::Value *old = k->FindValue(narrowName)) {
            old->type = value.type;
            old->data = std::move(value.data);
        } else {
            k->values.push_back(std::move(value));
        }
        *modified = true;
        return DWORD(ERROR_SUCCESS);
    }));
}

DWORD PlatRegDeleteValue(PlatRegKey *key, const char *name) {
    if (key == nullptr) return Fail(ERROR_INVALID_HANDLE);
    if (!(key->access & KEY_SET_VALUE)) return Fail(ERROR_ACCESS_DENIED);
    std::string folded = regstore::Fold(name ? name : "");
    Hive hive(key->rootName);
    return Fail(regstore::UpdateHive(hive, [&](Hive &h, bool *modified) {
        Key *k = h.Find(key->path);
        if (k == nullptr)
            return DWORD(key->path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED);
        for (auto it = k->values.begin(); it != k->values.end(); ++it) {
            if (regstore::Fold(it->name) == folded) {
                k->values.erase(it);
                *modified = true;
                return DWORD(ERROR_SUCCESS);
            }
        }
        return DWORD(ERROR_FILE_NOT_FOUND);
    }));
}

DWORD PlatRegDeleteTree(HKEY root, const char *subkey) {
    const char *rootName = regstore::RootName(root);
    if (rootName == nullptr) return Fail(ERROR_INVALID_HANDLE);
    std::string path = regstore::NormalizePath(subkey ? subkey : "");
    Hive hive(rootName);
    return Fail(regstore::UpdateHive(hive, [&](Hive &h, bool *modified) {
        *modified = h.EraseTree(path);
        return DWORD(*modified ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    }));
}

}  // extern "C"
