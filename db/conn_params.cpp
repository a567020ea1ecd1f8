// Connection parameters and connparams.txt.
#include "db/conn_params.h"

#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "db/data_source_map.h"
#include "logging/log.h"
#include "platform/files.h"

Vector gv_dataSourceVect = {nullptr, 0, nullptr, nullptr};

namespace {

constexpr size_t kMaxToken = 255;
constexpr size_t kMaxRestOfLine = 254;

// Reads the file's entries token by token, as the file format says.
class EntryReader {
  public:
    explicit EntryReader(std::string text) : text_(std::move(text)) {}

    // The next white-space-separated token; false at the end of the text.
    bool Token(std::string *token) {
        while (pos_ < text_.size() && isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        if (pos_ >= text_.size()) return false;
        size_t start = pos_;
        while (pos_ < text_.size() && !isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        *token = text_.substr(start, pos_ - start);
        return true;
    }

    // The rest of the current line without its line end.
    std::string RestOfLine() {
        size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) end = text_.size();
        std::string rest = text_.substr(pos_, end - pos_);
        if (!rest.empty() && rest.back() == '\r') rest.pop_back();
        pos_ = end < text_.size() ? end + 1 : end;
        return rest;
    }

    bool AtEnd() const { return pos_ >= text_.size(); }

  private:
    std::string text_;
    size_t pos_ = 0;
};

bool ReadFile(const char *path, std::string *text) {
    FILE *f = PlatOpenStream(path, "rb");
    if (f == nullptr) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) text->append(buf, n);
    fclose(f);
    return true;
}

bool CopyText(char **slot, const char *text) {
    if (text == nullptr) return true;
    *slot = strdup(text);
    return *slot != nullptr;
}

ConnParamsEntry *FindEntry(const char *connectionName) {
    if (connectionName == nullptr) return nullptr;
    for (VectorNode *n = gv_dataSourceVect.head; n; n = n->next) {
        auto *entry = static_cast<ConnParamsEntry *>(n->element);
        if (entry->connectionName && strcmp(entry->connectionName, connectionName) == 0)
            return entry;
    }
    return nullptr;
}

// Reads one entry; false at the end of the file (an incomplete entry is dropped). *refused
// is set when a token or the rest of the line was too long.
bool ReadEntry(EntryReader &reader, std::vector<std::string> *tokens, std::string *rest,
               bool *refused) {
    tokens->assign(10, "");
    *refused = false;
    for (std::string &token : *tokens) {
        if (!reader.Token(&token)) return false;
        if (token.size() > kMaxToken) *refused = true;
    }
    *rest = reader.RestOfLine();
    if (rest->size() > kMaxRestOfLine) *refused = true;
    return true;
}

}  // namespace

extern "C" {

ConnParamsEntry *CreateConnParamsEntry(const char *firstText, uint16_t number, const char *dsn,
                                       const char *userId, const char *password, int32_t reserved,
                                       const char *connectionName,
                                       unsigned char useConnectionString,
                                       const char *connectionString, const char *providerName,
                                       const char *dialect) {
    auto *entry = static_cast<ConnParamsEntry *>(calloc(1, sizeof(ConnParamsEntry)));
    if (entry == nullptr) return nullptr;
    entry->number = number;
    entry->reserved = reserved;
    entry->useConnectionString = useConnectionString;
    bool copied = CopyText(&entry->firstText, firstText) && CopyText(&entry->dsn, dsn) &&
                  CopyText(&entry->userId, userId) &&
                  (password != nullptr && strcmp(password, "NULL") == 0
                       ? true
                       : CopyText(&entry->password, password)) &&
                  CopyText(&entry->connectionName, connectionName) &&
                  CopyText(&entry->connectionString, connectionString) &&
                  CopyText(&entry->providerName, providerName) &&
                  CopyText(&entry->dialect, dialect);
    if (!copied) {
        FreeConnParamsEntry(entry);
        return nullptr;
    }
    return entry;
}

void FreeConnParamsEntry(ConnParamsEntry *entry) {
    if (entry == nullptr) return;
    free(entry->firstText);
    free(entry->dsn);
    free(entry->userId);
    if (entry->password) memset(entry->password, 0, strlen(entry->password));  // no copy lingers
    free(entry->password);
    free(entry->connectionName);
    free(entry->connectionString);
    free(entry->providerName);
    free(entry->dialect);
    free(entry);
}

int InsertConnParamsEntry(ConnParamsEntry *entry) {
    return entry ? AddElementData(&gv_dataSourceVect, entry) : 0;
}

int DeleteConnParamsEntry(const char *connectionName) {
    ConnParamsEntry *entry = FindEntry(connectionName);
    if (entry == nullptr || !DeleteLCDVector(&gv_dataSourceVect, entry)) return 0;
    FreeConnParamsEntry(entry);
    return 1;
}

ConnParamsEntry *GetConnParamsEntry(const char *connectionName) {
    return FindEntry(connectionName);
}

void FreeAllConnParamsEntries(void) {
    while (gv_dataSourceVect.head != nullptr) {
        auto *entry = static_cast<ConnParamsEntry *>(gv_dataSourceVect.head->element);
        DeleteElementAt(&gv_dataSourceVect, 0);
        FreeConnParamsEntry(entry);
    }
}

int LoadConnParamsEntryFromFile(const char *path) {
    LogTrace("@@@ Inside LoadConnParamsEntryFromFile @@@\n");
    std::string text;
    if (path == nullptr || !ReadFile(path, &text)) {
        std::string fallback = std::string(gv_rootPath ? gv_rootPath : "") + "/data/connparams.txt";
        LogDebug("Opening %s\n", fallback.c_str());
        if (!ReadFile(fallback.c_str(), &text)) {
            LogError("Cannot open Connection Parameters File.\n");
            return 0;
        }
    }
    EntryReader reader(text);
    std::vector<std::string> t;
    std::string rest;
    bool refused = false;
    while (ReadEntry(reader, &t, &rest, &refused)) {
        if (refused) {
            LogError(
                "Connection parameters entry refused: a token is longer than %d characters or the "
                "connection string longer than %d\n",
                int(kMaxToken), int(kMaxRestOfLine));
            continue;
        }
        bool useString = strcasecmp(t[9].c_str(), "YES") == 0;
        std::string connectionString = useString && !rest.empty() ? rest.substr(1) : "";
        ConnParamsEntry *entry = CreateConnParamsEntry(
            t[0].c_str(), uint16_t(strtol(t[1].c_str(), nullptr, 10)), t[2].c_str(), t[3].c_str(),
            t[4].c_str(), 0, t[6].c_str(), useString ? 1 : 0,
            useString ? connectionString.c_str() : nullptr, t[7].c_str(), t[8].c_str());
        if (entry && !InsertConnParamsEntry(entry)) FreeConnParamsEntry(entry);
    }
    return 1;
}

const char *GetDefaultConnectionName(void) {
    if (gv_dataSourceVect.head == nullptr) return nullptr;
    auto *entry = static_cast<ConnParamsEntry *>(gv_dataSourceVect.head->element);
    if (entry->connectionName == nullptr) {
        LogError("Connection Name IS NULL\n");
        return nullptr;
    }
    return entry->connectionName;
}

const char *GetProviderNameForConnection(const char *connectionName) {
    ConnParamsEntry *entry = FindEntry(connectionName);
    return entry ? entry->providerName : nullptr;
}

const char *GetDialectForConnection(const char *connectionName) {
    ConnParamsEntry *entry = FindEntry(connectionName);
    if (entry == nullptr) {
        LogError("dbConnPtr is NULL for Connection Name %s \n", connectionName);
        return nullptr;
    }
    return entry->dialect;
}

const char *GetConnectionNameForTable(const char *tableName) {
    DataSourceMapEntry *entry = GetDataSourceMapEntry(tableName);
    if (entry == nullptr) {
        LogError("No DataSourceMap Entry for Table name %s \n", tableName);
        return nullptr;
    }
    return entry->connectionName;
}

}  // extern "C"
