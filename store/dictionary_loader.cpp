// The data dictionary loader: list files and the XML reading into tag trees; see
// dictionary_loader.h for the contract.
#include "store/dictionary_loader.h"

#include <libxml/xmlreader.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "logging/log.h"
#include "platform/files.h"
#include "util/strings.h"

namespace {

XmlTagInfo *gv_xmlTagInfoRoot = nullptr;

// ---- the list file ----

bool FitsPath(const std::string &path) {
    return path.size() <= DATA_DICT_MAX_PATH;
}

// Reads the next white-space separated word; false at the end of the file. A word longer
// than the path limit is consumed whole and reported through *tooLong.
bool NextWord(FILE *list, std::string *word, bool *tooLong) {
    word->clear();
    *tooLong = false;
    int c;
    // A zero byte separates too: a name cannot hold one.
    auto separates = [](int ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r') || ch == 0; };
    while ((c = fgetc(list)) != EOF && separates(c)) {
    }
    if (c == EOF) return false;
    do {
        if (word->size() < DATA_DICT_MAX_PATH) {
            word->push_back(char(c));
        } else {
            *tooLong = true;
        }
    } while ((c = fgetc(list)) != EOF && !separates(c));
    return true;
}

// Loads every file named in the list, each at folder + separator + name.
void LoadListedFiles(FILE *list, const std::string &folder, const char *separator) {
    std::string word;
    bool tooLong = false;
    while (NextWord(list, &word, &tooLong)) {
        if (tooLong) {
            LogError("Data dictionary file name longer than %d characters refused: %.40s...\n",
                     DATA_DICT_MAX_PATH, word.c_str());
            continue;
        }
        std::string path = folder + separator + word;
        if (!FitsPath(path)) {
            LogError("Data dictionary path longer than %d characters refused: %.40s...\n",
                     DATA_DICT_MAX_PATH, path.c_str());
            continue;
        }
        LogDebug("Opening %s\n", path.c_str());
        LoadDataDictFromXMLFile(path.c_str());
    }
}

// ---- the XML reader ----

enum NodeType {
    kElement = XML_READER_TYPE_ELEMENT,
    kText = XML_READER_TYPE_TEXT,
    kCData = XML_READER_TYPE_CDATA,
    kWhitespace = XML_READER_TYPE_WHITESPACE,
    kSignificantWhitespace = XML_READER_TYPE_SIGNIFICANT_WHITESPACE,
    kEndElement = XML_READER_TYPE_END_ELEMENT,
};

void QuietXmlError(void *, const char *message, xmlParserSeverities, xmlTextReaderLocatorPtr) {
    LogDebug("XML: %s", message != nullptr ? message : "");
}

// The reader with the few questions the loader asks of it. A table being read fails as a
// whole on any reader failure; Step logs it once, where it happens.
class Reader {
  public:
    explicit Reader(xmlTextReaderPtr reader) : reader_(reader) {}
    // Steps to the next node; false (with status() 0 or -1) when the reader is done.
    bool Step() {
        status_ = xmlTextReaderRead(reader_);
        return status_ == 1;
    }
    // Step inside a table, where running out of nodes is a failure too.
    bool StepInTable() {
        if (Step()) return true;
        LogError("\nxmlTextReaderRead returned error \n");
        if (status_ == 0) status_ = -1;
        return false;
    }
    int status() const { return status_; }
    int Type() const { return xmlTextReaderNodeType(reader_); }
    int Depth() const { return xmlTextReaderDepth(reader_); }
    bool IsEmpty() const { return xmlTextReaderIsEmptyElement(reader_) == 1; }
    const char *Name() const {
        return reinterpret_cast<const char *>(xmlTextReaderConstName(reader_));
    }
    const char *Value() const {
        return reinterpret_cast<const char *>(xmlTextReaderConstValue(reader_));
    }
    bool Is(const char *name) const { return StrCompareNoCase(Name(), name) == 0; }
    bool IsElementAt(int depth) const { return Type() == kElement && Depth() == depth; }
    bool IsEndOf(int depth) const { return Type() == kEndElement && Depth() == depth; }
    bool IsText() const {
        int type = Type();
        return type == kText || type == kCData || type == kWhitespace ||
               type == kSignificantWhitespace;
    }
    xmlTextReaderPtr raw() const { return reader_; }

    // From the start tag of an element at depth, on to its end tag (nothing to do for an
    // empty element).
    bool SkipElement() {
        if (IsEmpty()) return true;
        return SkipToEndOf(Depth());
    }
    // From anywhere inside the element at depth, on to its end tag.
    bool SkipToEndOf(int depth) {
        while (StepInTable()) {
            if (IsEndOf(depth)) return true;
        }
        return false;
    }

  private:
    xmlTextReaderPtr reader_;
    int status_ = 1;
};

// How reading a part of a table ended. kDropped (lack of memory) ends the table without
// adding it; the reader is then resynchronised at the table's end. kEndList, returned for a
// child, passes over the rest of its parent: an element that ends a list is no error.
enum Outcome { kOk, kReaderFailed, kDropped, kEndList };

// Calls visit for each child element of the element the reader stands on, until its end tag
// (the reader ends there). visit returns kOk to go on; any other outcome but kEndList ends
// the reading with it.
template <typename Visit>
Outcome ForEachChild(Reader &reader, Visit visit) {
    if (reader.IsEmpty()) return kOk;
    const int depth = reader.Depth();
    while (reader.StepInTable()) {
        if (reader.IsEndOf(depth)) return kOk;
        if (!reader.IsElementAt(depth + 1)) continue;
        Outcome outcome = visit();
        if (outcome == kEndList) return reader.SkipToEndOf(depth) ? kOk : kReaderFailed;
        if (outcome != kOk) return outcome;
    }
    return kReaderFailed;
}

Outcome Skip(Reader &reader) {
    return reader.SkipElement() ? kOk : kReaderFailed;
}

// Appends child to parent's child chain, keeping the chain's tail in *tail.
void Chain(XmlTagInfo *parent, XmlTagInfo **tail, XmlTagInfo *child) {
    if (*tail == nullptr) {
        parent->firstChild = child;
    } else {
        (*tail)->nextSibling = child;
    }
    *tail = child;
}

// A record named after the reader's current element; null when memory runs out.
XmlTagInfo *NewRecord(const Reader &reader) {
    XmlTagInfo *record = CreateandInitXmlTagInfo();
    if (record == nullptr) return nullptr;
    if (AllocCopyString(&record->tagName, reader.Name()) != 1) {
        free(record);
        return nullptr;
    }
    return record;
}

// A record for the reader's element, chained under parent, then read by read(record).
template <typename Read>
Outcome ReadChildRecord(Reader &reader, XmlTagInfo *parent, XmlTagInfo **tail, Read read) {
    XmlTagInfo *record = NewRecord(reader);
    if (record == nullptr) return kDropped;
    Chain(parent, tail, record);
    return read(record);
}

// The element's first text child becomes record's text; the reader ends on the element's end
// tag. An element nested in it means its end tag did not follow the text: missingEnd (when
// given) is logged and the element is passed over.
Outcome ReadText(Reader &reader, XmlTagInfo *record, const char *missingEnd,
                 bool appendEmpty = false, bool *endMissing = nullptr) {
    if (reader.IsEmpty()) {
        if (appendEmpty && AppendXmlTagText(record, "") != 1) return kDropped;
        return kOk;
    }
    const int depth = reader.Depth();
    bool taken = false, stray = false;
    while (reader.StepInTable()) {
        if (reader.IsEndOf(depth)) {
            if (!taken && appendEmpty && AppendXmlTagText(record, "") != 1) return kDropped;
            if (stray && missingEnd != nullptr) LogError("%s", missingEnd);
            if (endMissing != nullptr) *endMissing = stray;
            return kOk;
        }
        if (reader.Depth() != depth + 1) continue;
        if (reader.IsText() && !taken) {
            if (AppendXmlTagText(record, reader.Value()) != 1) return kDropped;
            taken = true;
        } else if (reader.Type() == kElement) {
            stray = true;
        }
    }
    return kReaderFailed;
}

// Reads a record of a text-holding element and chains it under parent.
Outcome ReadTextRecord(Reader &reader, XmlTagInfo *parent, XmlTagInfo **tail,
                       const char *missingEnd) {
    return ReadChildRecord(reader, parent, tail, [&](XmlTagInfo *record) {
        return ReadText(reader, record, missingEnd);
    });
}

Outcome ReadAllowedValues(Reader &reader, XmlTagInfo *column, XmlTagInfo **tail) {
    enum { kFirst, kList, kFrom, kDone } mode = kFirst;
    XmlTagInfo *list = nullptr;
    return ForEachChild(reader, [&]() -> Outcome {
        if ((mode == kFirst || mode == kList) && reader.Is("value")) {
            if (list == nullptr) {
                list = NewRecord(reader);
                if (list == nullptr) {
                    LogError("MEMORY_ALLOCATION_FAILURE\n");
                    return kDropped;
                }
                Chain(column, tail, list);
            }
            // An empty value element permits the empty text rather than cutting the list.
            Outcome outcome = ReadText(reader, list, "\n No ending Value tag\n", true);
            if (outcome == kDropped) LogError("MEMORY_ALLOCATION_FAILURE\n");
            mode = kList;
            return outcome;
        }
        if (mode == kFirst && reader.Is("from")) {
            mode = kFrom;
            return ReadTextRecord(reader, column, tail, "\nNo Ending FROM tag \n");
        }
        if (mode == kFrom && reader.Is("to")) {
            mode = kDone;
            return ReadTextRecord(reader, column, tail, "\nNo ending TO tag \n");
        }
        return Skip(reader);
    });
}

Outcome ReadGenerator(Reader &reader, XmlTagInfo *column, XmlTagInfo **tail) {
    return ForEachChild(reader, [&] {
        return reader.Is("generator-name") ? ReadTextRecord(reader, column, tail, nullptr)
                                           : Skip(reader);
    });
}

constexpr const char *kColumnProperties[] = {"description", "data-type",     "nullable",
                                             "max-size",    "default-value", "unique"};

Outcome ReadColumn(Reader &reader, XmlTagInfo *column) {
    if (AllocateAndStrcpyAttrib(reader.raw(), column) != 1) return kDropped;
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&] {
        bool property = false;
        for (const char *name : kColumnProperties) property = property || reader.Is(name);
        if (property) return ReadTextRecord(reader, column, &tail, nullptr);
        if (reader.Is("uniquevalue-generation")) return ReadGenerator(reader, column, &tail);
        if (reader.Is("allowed-values")) return ReadAllowedValues(reader, column, &tail);
        return Skip(reader);
    });
}

Outcome ReadColumns(Reader &reader, XmlTagInfo *columns) {
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&] {
        if (!reader.Is("column")) {
            LogError("Unexpected element %s ends the column list.\n", reader.Name());
            return kEndList;
        }
        return ReadChildRecord(reader, columns, &tail,
                               [&](XmlTagInfo *column) { return ReadColumn(reader, column); });
    });
}

Outcome ReadPrimaryKey(Reader &reader, XmlTagInfo *key) {
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&] {
        if (!reader.Is("primary-key-column")) return kEndList;  // any other element ends the key
        bool endMissing = false;
        Outcome outcome = ReadChildRecord(reader, key, &tail, [&](XmlTagInfo *column) {
            return ReadText(reader, column, "\nMissing primary-key-column end tag\n", false,
                            &endMissing);
        });
        return outcome == kOk && endMissing ? kEndList : outcome;
    });
}

Outcome ReadForeignKeyColumn(Reader &reader, XmlTagInfo *pair) {
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&] {
        if (reader.Is("fk-local-column")) {
            return ReadTextRecord(reader, pair, &tail, "\n Missing endof FK-LOCAL-COLUMN tag\n");
        }
        if (reader.Is("fk-reference-column")) {
            return ReadTextRecord(reader, pair, &tail, "\nMissing endof FK-REFERENCE-COLUMN\n");
        }
        return Skip(reader);
    });
}

Outcome ReadForeignKeyColumns(Reader &reader, XmlTagInfo *pairs) {
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&] {
        if (!reader.Is("fk-column")) {
            LogError("\nMissing end FK-COLUMNS\n");
            return kEndList;
        }
        return ReadChildRecord(reader, pairs, &tail, [&](XmlTagInfo *pair) {
            return ReadForeignKeyColumn(reader, pair);
        });
    });
}

Outcome ReadForeignKey(Reader &reader, XmlTagInfo *key) {
    if (AllocateAndStrcpyAttrib(reader.raw(), key) != 1) return kDropped;
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&] {
        if (reader.Is("fk-columns")) {
            return ReadChildRecord(reader, key, &tail, [&](XmlTagInfo *pairs) {
                return ReadForeignKeyColumns(reader, pairs);
            });
        }
        if (reader.Is("fk-constraints")) {
            return ReadTextRecord(reader, key, &tail, "\nMissing endof FK-CONSTRAINTS tag\n");
        }
        return Skip(reader);
    });
}

Outcome ReadForeignKeys(Reader &reader, XmlTagInfo *keys) {
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&] {
        if (!reader.Is("foreign-key")) return kEndList;  // any other element ends the list
        return ReadChildRecord(reader, keys, &tail,
                               [&](XmlTagInfo *key) { return ReadForeignKey(reader, key); });
    });
}

// The reader stands on a table start tag; the tree grows from gv_xmlTagInfoRoot and the
// reader ends on the table's end tag (unless it failed).
Outcome ReadTableBody(Reader &reader, XmlTagInfo *table) {
    if (AllocateAndStrcpyAttrib(reader.raw(), table) != 1) return kDropped;
    LogTrace("Reading table %s\n", table->attributeCount > 0 ? table->attributeValues[0] : "");
    XmlTagInfo *tail = nullptr;
    return ForEachChild(reader, [&]() -> Outcome {
        if (reader.Is("description")) {
            if (table->firstChild == nullptr) return ReadTextRecord(reader, table, &tail, nullptr);
            // Linked after columns it would hide the keys that follow: leave it out.
            LogError("\nDescription tag ambiguity \n");
            return Skip(reader);
        }
        if (reader.Is("columns")) {
            return ReadChildRecord(reader, table, &tail,
                                   [&](XmlTagInfo *part) { return ReadColumns(reader, part); });
        }
        if (reader.Is("primary-key")) {
            return ReadChildRecord(reader, table, &tail,
                                   [&](XmlTagInfo *part) { return ReadPrimaryKey(reader, part); });
        }
        if (reader.Is("foreign-keys")) {
            return ReadChildRecord(reader, table, &tail,
                                   [&](XmlTagInfo *part) { return ReadForeignKeys(reader, part); });
        }
        return Skip(reader);
    });
}

// Reads the table at the reader into a tree and, when complete, adds its definition. False
// when the reader failed (the file cannot be read any further).
bool LoadTable(Reader &reader) {
    if (!reader.Is("table")) {
        LogError("\nTABLE tag missing\n");
        return true;
    }
    const int depth = reader.Depth();
    XmlTagInfo *table = NewRecord(reader);
    Outcome outcome = kDropped;
    if (table != nullptr) {
        gv_xmlTagInfoRoot = table;
        outcome = ReadTableBody(reader, table);
    }
    if (outcome == kOk) BuildTableDefnFromTagInfo();
    FreeXmlTagInfoList(gv_xmlTagInfoRoot);
    gv_xmlTagInfoRoot = nullptr;
    if (outcome == kDropped) {
        LogError("Out of memory while reading a table; the table is not loaded.\n");
        // Go on after the table's end tag, so the next table reads normally.
        if (reader.Type() == kElement && reader.Depth() == depth && reader.IsEmpty()) return true;
        if (reader.IsEndOf(depth)) return true;
        return reader.SkipToEndOf(depth);
    }
    return outcome == kOk;
}

}  // namespace

extern "C" {

XmlTagInfo *GetXmlTagInfoRoot(void) {
    return gv_xmlTagInfoRoot;
}

int XmlDataParser(const char *path) {
    LogTrace("@@@ Inside XmlDataParser @@@\n");
    if (path == nullptr) return 1;
    // Checked through the platform first, so a missing file is reported by us alone (and a
    // Windows-style path names the right file).
    std::string nativePath = PlatNativePath(path);
    FILE *probe = PlatOpenStream(path, "rb");
    xmlTextReaderPtr raw = nullptr;
    if (probe != nullptr) {
        fclose(probe);
        raw = xmlNewTextReaderFilename(nativePath.c_str());
    }
    if (raw == nullptr) {
        LogError("Unable to open %s\n", path);
        return 1;
    }
    xmlTextReaderSetErrorHandler(raw, QuietXmlError, nullptr);
    Reader reader(raw);
    if (reader.Step()) {  // past the root element
        while (reader.Step()) {
            if (reader.Type() != kElement) continue;
            if (reader.Is("table")) {
                if (!LoadTable(reader)) break;
            } else if (reader.Is("description") && reader.Depth() == 1) {
                if (!reader.SkipElement()) {
                    LogError("\nNo Description end tag\n");
                    break;
                }
            }
        }
    }
    int status = reader.status();
    xmlFreeTextReader(raw);
    if (status < 0) LogError("%s : failed to parse\n", path);
    return 1;
}

int LoadDataDictFromXMLFile(const char *path) {
    LogTrace("@@@ Inside LoadDataDictFromXMLFile @@@\n");
    if (path == nullptr) return 0;
    FreeXmlTagInfoList(gv_xmlTagInfoRoot);
    gv_xmlTagInfoRoot = nullptr;
    XmlDataParser(path);
    return 1;
}

int LoadDataDictFiles(const char *folder) {
    LogTrace("@@@ Inside LoadDataDictFiles @@@\n");
    if (folder == nullptr) return 0;
    std::string listPath = std::string(folder) + "\\" + "datadictionary.txt";
    if (!FitsPath(listPath)) {
        LogError("Data dictionary path longer than %d characters refused: %.40s...\n",
                 DATA_DICT_MAX_PATH, listPath.c_str());
        return 0;
    }
    FILE *list = PlatOpenStream(listPath.c_str(), "r");
    if (list == nullptr) return 0;
    LoadListedFiles(list, folder, "\\");
    fclose(list);
    return 1;
}

int LoadAllDataDictFiles(void) {
    LogTrace("@@@ Inside LoadAllDataDictFiles @@@\n");
    // The working folder's sibling data folder wins; the library root is then not consulted,
    // not even for the listed files.
    FILE *list = PlatOpenStream("..\\data\\datadictionary.txt", "r");
    if (list != nullptr) {
        LoadListedFiles(list, "..\\data", "\\");
        fclose(list);
        return 1;
    }
    if (gv_rootPath == nullptr) {
        LogError("Cannot open DataDictionary File.\n");
        return 0;
    }
    std::string folder = std::string(gv_rootPath) + "/data";
    std::string listPath = folder + "/datadictionary.txt";
    if (!FitsPath(listPath)) {
        LogError("Data dictionary path longer than %d characters refused: %.40s...\n",
                 DATA_DICT_MAX_PATH, listPath.c_str());
        LogError("Cannot open DataDictionary File.\n");
        return 0;
    }
    LogDebug("Opening %s\n", listPath.c_str());
    list = PlatOpenStream(listPath.c_str(), "r");
    if (list == nullptr) {
        LogError("Cannot open DataDictionary File.\n");
        return 0;
    }
    LoadListedFiles(list, folder, "/");
    fclose(list);
    return 1;
}

}  // extern "C"
