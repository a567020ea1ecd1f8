// The POSIX registry store: one file per root in the folder named by KVAGENT_REGISTRY_DIR
// (default /var/lib/kvagent/registry), in the ".reg" export format.
//
// A Hive is the parsed contents of one root's file. LoadHive reads it without a lock: the
// file is only ever replaced by rename, so a reader sees the old or the new file whole.
// UpdateHive runs a change under an exclusive lock on "<root>.reg.lock", and writes the result
// to a temporary file that is flushed and renamed over the old one, so two processes never
// lose each other's changes and a crash leaves the old or the new file, never a torn one.
// A file that does not parse is never rewritten: every call on it returns ERROR_BADDB.
#ifndef KV_PLATFORM_POSIX_REG_STORE_H
#define KV_PLATFORM_POSIX_REG_STORE_H

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win_defs.h"

namespace regstore {

struct Value {
    std::string name;  // "" is the default value
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

struct Key {
    std::string path;  // as created, relative to the root; "" is the root itself
    std::vector<Value> values;

    Value *FindValue(std::string_view name);
};

class Hive {
  public:
    explicit Hive(std::string rootName) : root_(std::move(rootName)) {}

    const std::string &RootName() const { return root_; }
    Key *Find(std::string_view path);
    // Creates the key and its missing parents; sets *created when the key itself was new.
    Key *Create(std::string_view path, bool *created);
    // Removes the key and everything below it; false when it does not exist.
    bool EraseTree(std::string_view path);
    // Direct subkeys' paths, in sorted order.
    std::vector<std::string> Children(std::string_view path) const;

    // ERROR_SUCCESS, or ERROR_BADDB with a description of the first fault in *why.
    DWORD Parse(std::string_view text, std::string *why);
    std::string Serialize() const;

  private:
    std::string root_;
    std::map<std::string, Key> keys_;  // by case-folded path: parents sort before children
};

// "HKEY_LOCAL_MACHINE" for HKEY_LOCAL_MACHINE, ...; null for an unknown root.
const char *RootName(HKEY root);
// Folds case the way key and value names compare.
std::string Fold(std::string_view name);
// Canonical subkey: separators collapsed, leading and trailing ones removed.
std::string NormalizePath(std::string_view subkey);

std::string StoreDir();
std::string HivePath(const std::string &rootName);

DWORD LoadHive(Hive &hive);
// Where and why the calling thread's last load found a file corrupt.
std::string LastCorruption();
// change returns an error code and sets *modified when the hive must be written.
DWORD UpdateHive(Hive &hive, const std::function<DWORD(Hive &, bool *modified)> &change);

}  // namespace regstore

#endif  // KV_PLATFORM_POSIX_REG_STORE_H
