// kvreg: look at and change the local registry store, with the conventions of reg.exe.
//
//   kvreg query  KEY [/v NAME | /ve]
//   kvreg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
//   kvreg delete KEY [/v NAME | /ve] [/f]
//
// Exit 0 on success, 1 on error with one line on standard error.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/posix/reg_store.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  kvreg query  KEY [/v NAME | /ve]\n"
    "  kvreg add    KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]\n"
    "  kvreg delete KEY [/v NAME | /ve] [/f]\n"
    "\n"
    "  KEY    ROOT\\Subkey, ROOT one of HKLM, HKCU, HKCR, HKU, HKCC or their full names\n"
    "  /v     the value NAME;  /ve  the key's default (unnamed) value\n"
    "  /t     REG_SZ (default), REG_EXPAND_SZ, REG_DWORD, REG_BINARY or REG_MULTI_SZ\n"
    "  /d     the data: decimal or 0x-hex for REG_DWORD, hex digits for REG_BINARY,\n"
    "         strings separated by \\0 for REG_MULTI_SZ\n"
    "  /f     change or delete without asking\n"
    "\n"
    "The store is the folder named by KVAGENT_REGISTRY_DIR (default /var/lib/kvagent/registry).\n";

struct Command {
    std::string verb;
    HKEY root = nullptr;
    std::string rootName;
    std::string subkey;
    std::optional<std::string> value;  // "" is the default value
    std::string type = "REG_SZ";
    std::optional<std::string> data;
    bool force = false;
};

struct Failure {
    std::string message;
};

const struct {
    const char *shortName;
    const char *longName;
    HKEY root;
} kRoots[] = {
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKU", "HKEY_USERS", HKEY_USERS},
    {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
};

const struct {
    const char *name;
    DWORD type;
} kTypes[] = {
    {"REG_NONE", REG_NONE},     {"REG_SZ", REG_SZ},       {"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {"REG_BINARY", REG_BINARY}, {"REG_DWORD", REG_DWORD}, {"REG_MULTI_SZ", REG_MULTI_SZ},
    {"REG_QWORD", REG_QWORD},
};

std::string Upper(std::string s) {
    for (char &c : s) c = char(toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string TypeName(DWORD type) {
    for (const auto &t : kTypes) {
        if (t.type == type) return t.name;
    }
    return "REG_UNKNOWN(" + std::to_string(type) + ")";
}

void ParseKey(const std::string &text, Command &cmd) {
    std::string rootPart = text.substr(0, text.find('\\'));
    for (const auto &r : kRoots) {
        if (Upper(rootPart) == r.shortName || Upper(rootPart) == r.longName) {
            cmd.root = r.root;
            cmd.rootName = r.longName;
            cmd.subkey = regstore::NormalizePath(text.substr(rootPart.size()));
            return;
        }
    }
    throw Failure{"Invalid key name: " + text + " (it starts with HKLM\\ or HKEY_LOCAL_MACHINE\\)"};
}

Command Parse(const std::vector<std::string> &args) {
    if (args.empty())
        throw Failure{"Invalid syntax: no operation. Type \"kvreg --help\" for usage."};
    Command cmd;
    cmd.verb = Upper(args[0]);
    if (cmd.verb != "QUERY" && cmd.verb != "ADD" && cmd.verb != "DELETE") {
        throw Failure{"Invalid syntax: unknown operation " + args[0] +
                      ". Type \"kvreg --help\" for usage."};
    }
    if (args.size() < 2)
        throw Failure{"Invalid syntax: missing KEY. Type \"kvreg --help\" for usage."};
    ParseKey(args[1], cmd);
    bool typeGiven = false;
    for (size_t i = 2; i < args.size(); ++i) {
        std::string opt = Upper(args[i]);
        if (!opt.empty() && opt[0] == '-') opt[0] = '/';
        auto operand = [&]() -> std::string {
            if (i + 1 >= args.size())
                throw Failure{"Invalid syntax: " + args[i] + " needs a value."};
            return args[++i];
        };
        if (opt == "/V" && !cmd.value) {
            cmd.value = operand();
        } else if (opt == "/VE" && !cmd.value) {
            cmd.value = "";
        } else if (opt == "/T" && cmd.verb == "ADD" && !typeGiven) {
            cmd.type = Upper(operand());
            typeGiven = true;
        } else if (opt == "/D" && cmd.verb == "ADD" && !cmd.data) {
            cmd.data = operand();
        } else if (opt == "/F" && cmd.verb != "QUERY") {
            cmd.force = true;
        } else {
            throw Failure{"Invalid syntax: unexpected " + args[i] +
                          ". Type \"kvreg --help\" for usage."};
        }
    }
    return cmd;
}

std::string ErrorText(DWORD code) {
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_KEY_DELETED) {
        return "The system was unable to find the specified registry key or value.";
    }
    if (code == ERROR_BADDB) {
        return "The configuration registry database is corrupt (" + regstore::LastCorruption() +
               ").";
    }
    const char *text = PlatSystemMessage(code, 1);
    std::string s = text ? text : "Windows error " + std::to_string(code) + ".";
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

void Check(DWORD code) {
    if (code != ERROR_SUCCESS) throw Failure{ErrorText(code)};
}

std::string Render(const regstore::Value &v) {
    std::string out;
    char buf[32];
    switch (v.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            std::u16string wide(v.data.size() / 2, u'\0');
            memcpy(wide.data(), v.data.data(), wide.size() * 2);
            if (v.type != REG_MULTI_SZ) return Utf16ToUtf8(wide.substr(0, wide.find(u'\0')));
            while (!wide.empty() && wide.back() == 0) wide.pop_back();
            std::string text = Utf16ToUtf8(wide);
            for (char c : text) out += c == '\0' ? std::string("\\0") : std::string(1, c);
            return out;
        }
        case REG_DWORD:
            if (v.data.size() == 4) {
                uint32_t n;
                memcpy(&n, v.data.data(), 4);
                snprintf(buf, sizeof buf, "0x%x", n);
                return buf;
            }
            break;
        case REG_QWORD:
            if (v.data.size() == 8) {
                uint64_t n;
                memcpy(&n, v.data.data(), 8);
                snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(n));
                return buf;
            }
            break;
    }
    for (uint8_t b : v.data) {
        snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

void PrintValue(const regstore::Value &v) {
    std::cout << "    " << (v.name.empty() ? "(Default)" : v.name) << "    " << TypeName(v.type)
              << "    " << Render(v) << "\n";
}

int Query(const Command &cmd) {
    regstore::Hive hive(cmd.rootName);
    Check(regstore::LoadHive(hive));
    regstore::Key *key = hive.Find(cmd.subkey);
    if (key == nullptr && !cmd.subkey.empty()) Check(ERROR_FILE_NOT_FOUND);
    std::string keyLine = cmd.rootName + (cmd.subkey.empty() ? "" : "\\" + key->path);
    if (cmd.value) {
        regstore::Value *v = key ? key->FindValue(*cmd.value) : nullptr;
        if (v == nullptr) Check(ERROR_FILE_NOT_FOUND);
        std::cout << "\n" << keyLine << "\n";
        PrintValue(*v);
        std::cout << "\n";
        return 0;
    }
    std::cout << "\n" << keyLine << "\n";
    if (key) {
        for (const auto &v : key->values) PrintValue(v);
    }
    std::cout << "\n";
    for (const std::string &child : hive.Children(cmd.subkey))
        std::cout << cmd.rootName << "\\" << child << "\n";
    return 0;
}

bool Confirm(const std::string &question) {
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    answer = Upper(answer);
    return answer == "Y" || answer == "YES";
}

std::vector<uint8_t> Encode(const std::string &type, const std::string &data, DWORD *code) {
    std::vector<uint8_t> bytes;
    auto wide = [&](std::u16string w) {
        bytes.resize(w.size() * 2);
        memcpy(bytes.data(), w.data(), bytes.size());
    };
    if (type == "REG_SZ" || type == "REG_EXPAND_SZ") {
        *code = type == "REG_SZ" ? REG_SZ : REG_EXPAND_SZ;
        wide(Utf8ToUtf16(data) + u'\0');
    } else if (type == "REG_MULTI_SZ") {
        *code = REG_MULTI_SZ;
        std::string joined;
        for (size_t i = 0; i < data.size(); ++i) {
            if (data.compare(i, 2, "\\0") == 0) {
                joined.push_back('\0');
                ++i;
            } else {
                joined.push_back(data[i]);
            }
        }
        wide(Utf8ToUtf16(joined) + u'\0' + u'\0');
    } else if (type == "REG_DWORD") {
        *code = REG_DWORD;
        std::string d = data.empty() ? "0" : data;
        char *end = nullptr;
        errno = 0;
        unsigned long long n = strtoull(d.c_str(), &end, 0);
        if (*end != '\0' || errno != 0 || n > 0xFFFFFFFFull || d[0] == '-') {
            throw Failure{"Invalid data for REG_DWORD: " + data +
                          " (a number from 0 to 4294967295)"};
        }
        uint32_t v = uint32_t(n);
        bytes.resize(4);
        memcpy(bytes.data(), &v, 4);
    } else if (type == "REG_BINARY") {
        *code = REG_BINARY;
        if (data.size() % 2 != 0 ||
            data.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            throw Failure{"Invalid data for REG_BINARY: " + data +
                          " (an even number of hex digits)"};
        }
        for (size_t i = 0; i < data.size(); i += 2)
            bytes.push_back(uint8_t(std::stoi(data.substr(i, 2), nullptr, 16)));
    } else {
        throw Failure{"Invalid type: " + type + ". Type \"kvreg --help\" for usage."};
    }
    return bytes;
}

int Add(const Command &cmd) {
    DWORD type = REG_SZ;
    std::vector<uint8_t> bytes = Encode(cmd.type, cmd.data.value_or(""), &type);
    PlatRegKey *key = nullptr;
    Check(PlatRegCreateKey(cmd.root, cmd.subkey.c_str(), KEY_ALL_ACCESS, &key, nullptr));
    DWORD code = ERROR_SUCCESS;
    if (cmd.value) {
        DWORD size = 0;
        bool exists =
            PlatRegQueryValue(key, cmd.value->c_str(), nullptr, nullptr, &size) == ERROR_SUCCESS;
        std::string shown = cmd.value->empty() ? "(Default)" : *cmd.value;
        if (exists && !cmd.force && !Confirm("Value " + shown + " exists, overwrite")) {
            PlatRegCloseKey(key);
            throw Failure{"The operation was cancelled by the user."};
        }
        code = PlatRegSetValueW(key, Utf8ToUtf16(*cmd.value).c_str(), type, bytes.data(),
                                DWORD(bytes.size()));
    }
    PlatRegCloseKey(key);
    Check(code);
    std::cout << "The operation completed successfully.\n";
    return 0;
}

int Delete(const Command &cmd) {
    std::string keyText = cmd.rootName + (cmd.subkey.empty() ? "" : "\\" + cmd.subkey);
    if (cmd.value) {
        PlatRegKey *key = nullptr;
        Check(PlatRegOpenKey(cmd.root, cmd.subkey.c_str(), KEY_ALL_ACCESS, &key));
        std::string shown = cmd.value->empty() ? "(Default)" : *cmd.value;
        DWORD code = ERROR_SUCCESS;
        if (cmd.force || Confirm("Delete the registry value " + shown)) {
            code = PlatRegDeleteValue(key, cmd.value->c_str());
        } else {
            code = ERROR_CANCELLED;
        }
        PlatRegCloseKey(key);
        if (code == ERROR_CANCELLED) throw Failure{"The operation was cancelled by the user."};
        Check(code);
    } else {
        if (cmd.subkey.empty()) throw Failure{"Invalid key name: a root cannot be deleted."};
        if (!cmd.force && !Confirm("Permanently delete the registry key " + keyText)) {
            throw Failure{"The operation was cancelled by the user."};
        }
        Check(PlatRegDeleteTree(cmd.root, cmd.subkey.c_str()));
    }
    std::cout << "The operation completed successfully.\n";
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "/?" || args[0] == "-h")) {
        std::cout << kUsage;
        return 0;
    }
    try {
        Command cmd = Parse(args);
        if (cmd.verb == "QUERY") return Query(cmd);
        if (cmd.verb == "ADD") return Add(cmd);
        return Delete(cmd);
    } catch (const Failure &f) {
        std::cout.flush();
        fprintf(stderr, "ERROR: %s\n", f.message.c_str());
    } catch (const std::exception &e) {
        fprintf(stderr, "ERROR: %s\n", e.what());
    }
    return 1;
}
