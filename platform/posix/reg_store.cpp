// Hive operations and the locked, atomic update of a hive's file.
#include "platform/posix/reg_store.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <cstdio>

#include "platform/errors.h"

namespace regstore {

std::string Fold(std::string_view name) {
    std::string out(name);
    for (char &c : out) {
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    return out;
}

std::string NormalizePath(std::string_view subkey) {
    std::string out;
    size_t i = 0;
    while (i < subkey.size()) {
        size_t end = subkey.find('\\', i);
        if (end == std::string_view::npos) end = subkey.size();
        if (end > i) {
            if (!out.empty()) out.push_back('\\');
            out.append(subkey.substr(i, end - i));
        }
        i = end + 1;
    }
    return out;
}

const char *RootName(HKEY root) {
    if (root == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (root == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (root == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (root == HKEY_USERS) return "HKEY_USERS";
    if (root == HKEY_CURRENT_CONFIG) return "HKEY_CURRENT_CONFIG";
    return nullptr;
}

Value *Key::FindValue(std::string_view name) {
    std::string folded = Fold(name);
    for (Value &v : values) {
        if (Fold(v.name) == folded) return &v;
    }
    return nullptr;
}

Key *Hive::Find(std::string_view path) {
    auto it = keys_.find(Fold(path));
    return it == keys_.end() ? nullptr : &it->second;
}

Key *Hive::Create(std::string_view path, bool *created) {
    if (created) *created = false;
    Key *key = nullptr;
    size_t end = 0;
    // The root itself, then each parent in turn, so every key on the way exists.
    for (;;) {
        std::string_view prefix = path.substr(0, end);
        auto [it, inserted] = keys_.try_emplace(Fold(prefix));
        if (inserted) it->second.path = std::string(prefix);
        key = &it->second;
        if (end == path.size()) {
            if (created) *created = inserted;
            return key;
        }
        end = path.find('\\', end + 1);
        if (end == std::string_view::npos) end = path.size();
    }
}

bool Hive::EraseTree(std::string_view path) {
    std::string folded = Fold(path);
    auto it = keys_.find(folded);
    if (it == keys_.end()) return false;
    if (folded.empty()) {  // the root itself: empty it, it cannot go
        keys_.clear();
        keys_[""];
        return true;
    }
    keys_.erase(it);
    std::string prefix = folded + "\\";
    for (auto child = keys_.lower_bound(prefix);
         child != keys_.end() && child->first.compare(0, prefix.size(), prefix) == 0;) {
        child = keys_.erase(child);
    }
    return true;
}

std::vector<std::string> Hive::Children(std::string_view path) const {
    std::string prefix = Fold(path);
    if (!prefix.empty()) prefix += "\\";
    std::vector<std::string> out;
    for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) {
            if (!prefix.empty()) break;
            continue;
        }
        if (it->first.size() > prefix.size() &&
            it->first.find('\\', prefix.size()) == std::string::npos) {
            out.push_back(it->second.path);
        }
    }
    return out;
}

std::string StoreDir() {
    const char *dir = getenv("KVAGENT_REGISTRY_DIR");
    return dir && *dir ? dir : "/var/lib/kvagent/registry";
}

std::string HivePath(const std::string &rootName) {
    return StoreDir() + "/" + rootName + ".reg";
}

namespace {

thread_local std::string t_lastCorruption;

DWORD FromErrno() {
    return PlatErrorFromErrno(errno);
}

DWORD ReadWhole(const std::string &path, std::string *text, bool *exists) {
    *exists = false;
    text->clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ERROR_SUCCESS : FromErrno();
    *exists = true;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            DWORD code = FromErrno();
            close(fd);
            return code;
        }
        if (n == 0) break;
        text->append(buf, size_t(n));
    }
    close(fd);
    return ERROR_SUCCESS;
}

DWORD ParseFile(Hive &hive) {
    std::string path = HivePath(hive.RootName());
    std::string text, why;
    bool exists;
    DWORD code = ReadWhole(path, &text, &exists);
    if (code != ERROR_SUCCESS) return code;
    code = hive.Parse(text, &why);
    if (code != ERROR_SUCCESS) t_lastCorruption = path + ": " + why;
    return code;
}

DWORD MakeStoreDir(const std::string &dir) {
    for (size_t i = 1; i <= dir.size(); ++i) {
        if (i != dir.size() && dir[i] != '/') continue;
        std::string part = dir.substr(0, i);
        if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return FromErrno();
    }
    return ERROR_SUCCESS;
}

bool WriteAll(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// Temporary files are made only under the hive's lock, so any found while holding it were
// left by a writer that died before its rename.
void RemoveStaleTemporaries(const std::string &rootName) {
    std::string prefix = rootName + ".reg.";
    DIR *dir = opendir(StoreDir().c_str());
    if (dir == nullptr) return;
    while (struct dirent *entry = readdir(dir)) {
        std::string name = entry->d_name;
        // mkstemp's six characters; the lock file's "lock" has four.
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            unlink((StoreDir() + "/" + name).c_str());
        }
    }
    closedir(dir);
}

// Writes the hive beside its file and renames it into place.
DWORD WriteFile(const Hive &hive) {
    std::string path = HivePath(hive.RootName());
    std::string tmp = path + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    if (fd < 0) return FromErrno();
    DWORD code = ERROR_SUCCESS;
    if (!WriteAll(fd, hive.Serialize()) || fchmod(fd, 0644) != 0 || fsync(fd) != 0)
        code = FromErrno();
    if (close(fd) != 0 && code == ERROR_SUCCESS) code = FromErrno();
    if (code == ERROR_SUCCESS && rename(tmp.c_str(), path.c_str()) != 0) code = FromErrno();
    if (code != ERROR_SUCCESS) {
        unlink(tmp.c_str());
        return code;
    }
    int dirFd = open(StoreDir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);  // makes the rename itself durable
        close(dirFd);
    }
    return ERROR_SUCCESS;
}

}  // namespace

DWORD LoadHive(Hive &hive) {
    return ParseFile(hive);
}

std::string LastCorruption() {
    return t_lastCorruption;
}

DWORD UpdateHive(Hive &hive, const std::function<DWORD(Hive &, bool *)> &change) {
    DWORD code = MakeStoreDir(StoreDir());
    if (code != ERROR_SUCCESS) return code;
    std::string lockPath = HivePath(hive.RootName()) + ".lock";
    int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) return FromErrno();
    while (flock(lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            code = FromErrno();
            close(lockFd);
            return code;
        }
    }
    code = ParseFile(hive);
    bool modified = false;
    if (code == ERROR_SUCCESS) code = change(hive, &modified);
    if (code == ERROR_SUCCESS && modified) {
        RemoveStaleTemporaries(hive.RootName());
        code = WriteFile(hive);
    }
    close(lockFd);  // releases the lock
    return code;
}

}  // namespace regstore
