// Data source registration through the ODBC installer; see odbc_dsn.h.
#include "db/odbc_dsn.h"

#include <odbcinst.h>
#include <sql.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <new>
#include <string>
#include <utility>
#include <vector>

#include "logging/log.h"

namespace {

constexpr size_t kLongestToken = 255;
constexpr size_t kLongestDriverName = 254;

bool Given(const char *value) {
    return value != nullptr && strcasecmp(value, "NULL") != 0;
}

void Wipe(std::string *text) {
    volatile char *p = text->data();
    for (size_t i = 0; i < text->size(); ++i) p[i] = 0;
}

// Line breaks would start a new ini line or attribute of the caller's choosing, and
// brackets a new section: such a value is refused, not written.
bool Acceptable(const std::string &key, const std::string &value) {
    const char *forbidden = key == "DSN" ? "\r\n[]" : "\r\n";
    return value.find_first_of(forbidden) == std::string::npos;
}

bool DriverInstalled(const char *driverName) {
    char library[512] = {0};
    return SQLGetPrivateProfileString(driverName, "Driver", "", library, sizeof library,
                                      "ODBCINST.INI") > 0 &&
           library[0] != '\0';
}

// What a driver's setup routine does with ODBC_ADD_DSN: the data source's section, naming
// the driver, and one entry per attribute.
bool WriteDataSource(const std::vector<std::pair<std::string, std::string>> &attributes,
                     const char *dsn, const char *driverName) {
    if (!DriverInstalled(driverName) || !SQLWriteDSNToIni(dsn, driverName)) return false;
    for (const auto &[key, value] : attributes) {
        if (key == "DSN") continue;
        if (!SQLWritePrivateProfileString(dsn, key.c_str(), value.c_str(), "ODBC.INI")) {
            return false;
        }
    }
    return true;
}

int Register(const char *dsn, const char *description, const char *server, const char *userId,
             const char *password, const char *database, const char *driverName) {
    const std::pair<const char *, const char *> given[] = {
        {"DSN", dsn},      {"DESCRIPTION", description}, {"SERVER", server}, {"UID", userId},
        {"PWD", password}, {"DATABASE", database},
    };
    std::vector<std::pair<std::string, std::string>> attributes;
    // The installer's form: "key=value" pairs, each ended by a zero byte, and one more zero.
    std::string packed;
    for (const auto &[key, value] : given) {
        if (!Given(value)) continue;
        if (!Acceptable(key, value)) {
            LogError("Invalid %s value for DSN\n", key);
            return 0;
        }
        attributes.emplace_back(key, value);
        packed += std::string(key) + "=" + value;
        packed += '\0';
    }
    packed += '\0';
    bool done = SQLConfigDataSource(nullptr, ODBC_ADD_DSN, driverName, packed.c_str()) ||
                (Given(dsn) && WriteDataSource(attributes, dsn, driverName));
    Wipe(&packed);
    for (auto &attribute : attributes) Wipe(&attribute.second);
    if (!done) {
        LogError("SQLConfigDataSource returned FALSE \n");
        return 0;
    }
    return 1;
}

// Reads the definition file's tokens the way a "%s" scan does: white space, line breaks
// included, separates them.
class DefinitionReader {
  public:
    explicit DefinitionReader(FILE *file) : file_(file) {}

    bool Token(std::string *out) {
        out->clear();
        int c;
        while ((c = getc(file_)) != EOF && IsSpace(c)) {
        }
        for (; c != EOF && !IsSpace(c); c = getc(file_)) *out += char(c);
        if (c != EOF) ungetc(c, file_);
        return !out->empty();
    }

    // The rest of the current line without its line break; false at the end of the file.
    bool RestOfLine(std::string *out) {
        out->clear();
        int c = getc(file_);
        if (c == EOF) return false;
        for (; c != EOF && c != '\n'; c = getc(file_)) *out += char(c);
        return true;
    }

  private:
    static bool IsSpace(int c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    }
    FILE *file_;
};

std::string Trimmed(const std::string &text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

void RegisterFromFile(FILE *file) {
    DefinitionReader reader(file);
    std::string tokens[6];
    std::string rest;
    for (;;) {
        bool complete = true;
        for (std::string &token : tokens) complete = complete && reader.Token(&token);
        if (!complete || !reader.RestOfLine(&rest)) break;
        std::string driver = Trimmed(rest);
        bool tooLong = driver.size() > kLongestDriverName;
        for (const std::string &token : tokens) tooLong = tooLong || token.size() > kLongestToken;
        if (tooLong) {
            LogError("DSN definition too long, line skipped\n");
        } else if (!CreateDSN(tokens[0].c_str(), tokens[1].c_str(), tokens[2].c_str(),
                              tokens[3].c_str(), tokens[4].c_str(), tokens[5].c_str(),
                              driver.c_str())) {
            LogError("Creating DSN %s Failed\n", tokens[0].c_str());
        }
        Wipe(&tokens[4]);
    }
}

}  // namespace

extern "C" {

int CreateDSN(const char *dsn, const char *description, const char *server, const char *userId,
              const char *password, const char *database, const char *driverName) {
    LogTrace("@@@ Inside CreateDSN @@@\n");
    if (dsn == nullptr || driverName == nullptr) {
        LogError("DriverName or DSN name is NULL \n");
        return 0;
    }
    try {
        return Register(dsn, description, server, userId, password, database, driverName);
    } catch (const std::bad_alloc &) {
        LogError("Unable to Allocate and copy dsnStr \n");
        return 0;
    }
}

int CreateDSNFromFile(const char *path) {
    LogTrace("@@@ Inside CreateDSNFromFile @@@\n");
    FILE *file = path ? fopen(path, "r") : nullptr;
    if (file == nullptr) {
        LogError("Error opening File %s \n", path ? path : "(null)");
        return 0;
    }
    try {
        RegisterFromFile(file);
    } catch (const std::bad_alloc &) {
        LogError("Unable to allocate memory\n");
    }
    fclose(file);
    return 1;
}

}  // extern "C"
