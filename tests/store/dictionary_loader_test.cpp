// The data dictionary loader: the fixture dictionary, the list-file rules and bad input.
#include "store/dictionary_loader.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "logging/log.h"
#include "store/column_defn.h"
#include "tests/support/test_support.h"

namespace {

const std::string kFixture = KV_SOURCE_DIR "/tests/fixtures/data";

std::string Take(char *text) {
    std::string copy = text != nullptr ? text : "<null>";
    free(text);
    return copy;
}

// The log's text with Windows line ends undone, to search for messages that hold "\n".
std::string LogText(const kvtest::CapturedLog &log) {
    std::string text = log.text(), out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out.push_back(text[i]);
    }
    return out;
}

std::vector<std::string> TableNames() {
    std::vector<std::string> names;
    for (VectorNode *n = GetTableDefnList()->head; n != nullptr; n = n->next) {
        names.push_back(static_cast<TableDefn *>(n->element)->name);
    }
    return names;
}

std::vector<std::string> Strings(char **values, int count) {
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) out.push_back(values[i] != nullptr ? values[i] : "<null>");
    return out;
}

std::vector<std::string> AllowedList(const ColumnDefn *column) {
    std::vector<std::string> out;
    if (column->allowedValues == nullptr) return out;
    if (column->allowedValues->isRange) return Strings(column->allowedValues->values, 2);
    for (char **v = column->allowedValues->values; *v != nullptr; ++v) out.push_back(*v);
    return out;
}

class DictionaryLoader : public ::testing::Test {
  protected:
    void SetUp() override { InitTableDefnList(); }
    void TearDown() override {
        FreeAllTableDefns();
        EXPECT_EQ(nullptr, GetXmlTagInfoRoot());  // no tree outlives its table
        gv_rootPath = nullptr;
    }

    // Writes a dictionary document and loads it; the log is captured at error level.
    std::string Load(const std::string &xml, unsigned char level = 2) {
        std::string path = tmp_ / "dict.xml";
        kvtest::WriteFile(path, xml);
        kvtest::CapturedLog log(level);
        EXPECT_EQ(1, LoadDataDictFromXMLFile(path.c_str()));
        return LogText(log);
    }
    std::string Table(const std::string &name, const std::string &body) {
        return "<table name=\"" + name + "\">" + body + "</table>";
    }
    std::string Doc(const std::string &tables) {
        return "<?xml version=\"1.0\"?>\n<data-dictionary>" + tables + "</data-dictionary>\n";
    }

    kvtest::TempDir tmp_;
};

TEST_F(DictionaryLoader, FixtureTablesLoadInListAndDocumentOrder) {
    kvtest::CapturedLog log(3);
    ASSERT_EQ(1, LoadDataDictFiles(kFixture.c_str()));
    EXPECT_EQ((std::vector<std::string>{"host", "host_interface", "interface_address", "software",
                                        "software_install"}),
              TableNames());
    const struct {
        const char *table;
        int columns;
        const char *description;
        std::vector<std::string> primaryKey;
    } tables[] = {
        {"host", 18, "One managed computer", {"host_id"}},
        {"host_interface", 10, "A network interface of a host", {"host_id", "if_index"}},
        {"interface_address",
         5,
         "An IP address bound to an interface",
         {"host_id", "if_index", "address"}},
        {"software", 14, "A software package known to the agent", {"software_id"}},
        {"software_install", 4, "A package installed on a host", {"host_id", "software_id"}},
    };
    for (const auto &t : tables) {
        SCOPED_TRACE(t.table);
        TableDefn *defn = GetTableDefn(t.table);
        ASSERT_NE(nullptr, defn);
        EXPECT_EQ(t.columns, defn->columns->count);
        EXPECT_STREQ(t.description, defn->description);
        ASSERT_NE(nullptr, defn->constraints);
        EXPECT_EQ(t.primaryKey, Strings(defn->constraints->primaryKeyColumns,
                                        defn->constraints->primaryKeyCount));
    }
    std::string text = LogText(log);
    EXPECT_NE(std::string::npos, text.find("Opening " + kFixture + "\\inventory.xml"));
    EXPECT_NE(std::string::npos, text.find("Opening " + kFixture + "\\software.xml"));
    EXPECT_EQ(std::string::npos, text.find("[ERROR]"));
}

TEST_F(DictionaryLoader, FixtureColumnsGetTheirTypesAndDefaults) {
    ASSERT_EQ(1, LoadDataDictFiles(kFixture.c_str()));
    const struct {
        const char *table, *column;
        unsigned char type, nullable, unique;
        int maxSize;
        const char *generator, *defaultText, *description;
    } cases[] = {
        {"host", "host_id", VEL_SQL_BIGINT, 0, 1, 0, "host_seq", "NULL",
         "Surrogate key of the host"},
        {"host", "host_name", VEL_SQL_VARCHAR, 0, 1, 64, nullptr, "NULL",
         "Fully qualified host name"},
        {"host", "domain", VEL_SQL_VARCHAR, 1, 0, 255, nullptr, "corp.local", nullptr},
        {"host", "os_family", VEL_SQL_CHAR, 1, 0, 16, nullptr, "windows", nullptr},
        {"host", "cpu_count", VEL_SQL_TINYINT, 1, 0, 0, nullptr, "1", nullptr},
        {"host", "ram_mb", VEL_SQL_UNSIGNED_INT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host", "disk_gb", VEL_SQL_UNSIGNED_SMALLINT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host", "agent_port", VEL_SQL_SMALLINT, 1, 0, 0, nullptr, "8443", nullptr},
        {"host", "status", VEL_SQL_UNSIGNED_TINYINT, 1, 0, 0, nullptr, "0",
         "0 unknown, 1 online, 2 offline"},
        {"host", "is_managed", VEL_SQL_BOOLEAN, 0, 0, 0, nullptr, "'t'", nullptr},
        {"host", "first_seen", VEL_SQL_DATETIME, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host", "last_boot", VEL_SQL_DATETIME, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host", "install_date", VEL_SQL_DATE, 1, 0, 0, nullptr, "2024-01-01 00:00:00", nullptr},
        {"host", "maintenance_start", VEL_SQL_TIME, 1, 0, 0, nullptr, "0000-00-00 02:30:00",
         nullptr},
        {"host", "uptime_secs", VEL_SQL_UNSIGNED_LONG_INT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host", "cpu_load", VEL_SQL_FLOAT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host", "health_score", VEL_SQL_DOUBLE, 1, 0, 0, nullptr, "1.500000", nullptr},
        {"host", "notes", VEL_SQL_TEXT, 1, 0, 1024, nullptr, "NULL",
         "Free text; long enough to be held as text"},
        {"host_interface", "speed_mbps", VEL_SQL_INT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host_interface", "mtu", VEL_SQL_INT, 1, 0, 0, nullptr, "1500", nullptr},
        {"host_interface", "link_up", VEL_SQL_BOOLEAN, 1, 0, 0, nullptr, "'f'", nullptr},
        {"host_interface", "rx_rate", VEL_SQL_FLOAT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"host_interface", "tx_rate", VEL_SQL_REAL, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "software_id", VEL_SQL_INT, 0, 1, 0, "software_seq", "NULL", nullptr},
        {"software", "price", VEL_SQL_DECIMAL, 1, 0, 0, nullptr, "0.00", nullptr},
        {"software", "size_kb", VEL_SQL_NUMERIC, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "license_text", VEL_SQL_TEXT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "summary", VEL_SQL_TEXT, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "icon", VEL_SQL_BLOB, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "signature", VEL_SQL_BLOB, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "eula", VEL_SQL_CLOB, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "readme", VEL_SQL_CLOB, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "release_date", VEL_SQL_DATE, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software", "build_time", VEL_SQL_TIME, 1, 0, 0, nullptr, "NULL", nullptr},
        {"software_install", "install_path", VEL_SQL_TEXT, 1, 0, 300, nullptr, "NULL", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column);
        const ColumnDefn *column = GetColumnDefnEntry(c.table, c.column);
        ASSERT_NE(nullptr, column);
        EXPECT_EQ(c.type, column->dataType);
        EXPECT_EQ(c.nullable, column->nullable);
        EXPECT_EQ(c.unique, column->unique);
        EXPECT_EQ(c.maxSize, column->maxSize);
        EXPECT_STREQ(c.generator, column->generatorName);
        EXPECT_STREQ(c.description, column->description);
        EXPECT_EQ(c.defaultText, Take(ConvertColumnValueToString(column->defaultValue,
                                                                 column->defaultLength, c.type)));
    }
    const struct {
        const char *table, *column;
        unsigned char isRange;
        std::vector<std::string> values;
    } allowed[] = {
        {"host", "os_family", 0, {"windows", "linux", "darwin"}},
        {"host", "cpu_count", 1, {"1", "64"}},
        {"host", "status", 0, {"0", "1", "2"}},
        {"interface_address", "family", 0, {"ipv4", "ipv6"}},
        {"interface_address", "prefix_length", 1, {"0", "128"}},
        {"host", "host_name", 0, {}},
    };
    for (const auto &a : allowed) {
        const ColumnDefn *column = GetColumnDefnEntry(a.table, a.column);
        ASSERT_NE(nullptr, column);
        EXPECT_EQ(a.values, AllowedList(column)) << a.column;
        if (column->allowedValues != nullptr) {
            EXPECT_EQ(a.isRange, column->allowedValues->isRange);
        }
    }
}

TEST_F(DictionaryLoader, FixtureForeignKeysOnePerColumnPair) {
    ASSERT_EQ(1, LoadDataDictFiles(kFixture.c_str()));
    const struct {
        const char *table, *local, *reference, *referenceTable;
        unsigned char cascade, bidirectional;
    } pairs[] = {
        {"host_interface", "host_id", "host_id", "host", 1, 1},
        {"interface_address", "host_id", "host_id", "host_interface", 1, 1},
        {"interface_address", "if_index", "if_index", "host_interface", 1, 0},  // not the first
        {"software_install", "host_id", "host_id", "host", 1, 0},               // "false"
        {"software_install", "software_id", "software_id", "software", 0, 0},
    };
    for (const auto &p : pairs) {
        SCOPED_TRACE(std::string(p.table) + "." + p.local);
        const ForeignKeyDefn *key = GetForeignKeyDefn(GetTableDefn(p.table), p.local);
        ASSERT_NE(nullptr, key);
        EXPECT_STREQ(p.reference, key->referenceColumn);
        EXPECT_STREQ(p.referenceTable, key->referenceTable);
        EXPECT_EQ(p.cascade, key->onDeleteCascade);
        EXPECT_EQ(p.bidirectional, key->isBidirectional);
    }
    EXPECT_EQ(2, GetTableDefn("interface_address")->constraints->foreignKeys->count);
    EXPECT_EQ(nullptr, GetTableDefn("host")->constraints->foreignKeys);
}

TEST_F(DictionaryLoader, ColumnPropertiesAndTheirDefaults) {
    std::string log = Load(Doc(Table("t",
                                     "<description></description><columns>"
                                     "<column name=\"a\"><data-type>CHAR</data-type>"
                                     "<nullable>false</nullable><max-size>10</max-size>"
                                     "<unique>TRUE</unique></column>"
                                     "<column name=\"b\"><data-type>INTEGER</data-type></column>"
                                     "<column name=\"c\"><data-type>INTEGER</data-type>"
                                     "<nullable>TRUE</nullable><max-size>12x</max-size>"
                                     "<unique>true</unique><extra>ignored</extra></column>"
                                     "<column name=\"d\"><allowed-values><value>A</value>"
                                     "<value>B</value><value/></allowed-values></column>"
                                     "</columns>")));
    TableDefn *table = GetTableDefn("t");
    ASSERT_NE(nullptr, table);
    EXPECT_EQ(nullptr, table->description);  // start and end tag with nothing between
    const struct {
        const char *name;
        unsigned char type, nullable, unique;
        int maxSize;
    } cases[] = {
        {"a", VEL_SQL_VARCHAR, 0, 0, 10},  // "TRUE" is not "true" for unique
        {"b", VEL_SQL_INT, 1, 0, 0},       // nothing carried over from the column before
        {"c", VEL_SQL_INT, 1, 1, -1},      // "TRUE" is true for nullable; 12x gives -1
        {"d", VEL_SQL_NOT_SUPPORTED_TYPE, 1, 0, 0},
    };
    for (const auto &c : cases) {
        const ColumnDefn *column = GetColumnDefnEntry("t", c.name);
        ASSERT_NE(nullptr, column) << c.name;
        EXPECT_EQ(c.type, column->dataType) << c.name;
        EXPECT_EQ(c.nullable, column->nullable) << c.name;
        EXPECT_EQ(c.unique, column->unique) << c.name;
        EXPECT_EQ(c.maxSize, column->maxSize) << c.name;
    }
    EXPECT_EQ((std::vector<std::string>{"A", "B", ""}), AllowedList(GetColumnDefnEntry("t", "d")));
    // A column without a data-type is code 0 and says so.
    EXPECT_NE(std::string::npos, log.find("Column data type not supported"));
}

TEST_F(DictionaryLoader, DroppedTablesLeaveTheOthers) {
    const std::string good = Table("good", "<columns><column name=\"id\"/></columns>");
    const struct {
        const char *what;
        std::string table;
        const char *message;
    } cases[] = {
        {"from without to",
         Table("bad",
               "<columns><column name=\"x\"><allowed-values><from>1</from>"
               "</allowed-values></column></columns>"),
         "In the allowed values attribute, 'to' tag is missing."},
        {"table without name", "<table><columns><column name=\"x\"/></columns></table>",
         "A table element has no name attribute"},
        {"column without name",
         Table("bad",
               "<columns><column><data-type>INTEGER</data-type>"
               "</column></columns>"),
         "A column of table bad has no name attribute"},
        {"foreign key without reference table",
         Table("bad",
               "<columns><column name=\"x\"/></columns><foreign-keys><foreign-key>"
               "<fk-columns><fk-column><fk-local-column>x</fk-local-column>"
               "<fk-reference-column>y</fk-reference-column></fk-column></fk-columns>"
               "</foreign-key></foreign-keys>"),
         "A foreign key of table bad has no reference-table-name"},
        {"foreign key pair without its reference column",
         Table("bad",
               "<columns><column name=\"x\"/></columns><foreign-keys>"
               "<foreign-key reference-table-name=\"good\"><fk-columns><fk-column>"
               "<fk-local-column>x</fk-local-column></fk-column></fk-columns>"
               "</foreign-key></foreign-keys>"),
         "lacks its fk-local-column or fk-reference-column"},
        {"no columns", Table("bad", "<description>d</description>"),
         "Table bad has no columns element"},
        {"empty table", "<table name=\"bad\"/>", "Table bad has no columns element"},
        {"keys before columns",
         Table("bad",
               "<primary-key><primary-key-column>x</primary-key-column></primary-key>"
               "<columns><column name=\"x\"/></columns>"),
         "Table bad has no columns element"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string log = Load(Doc(c.table + good));
        EXPECT_EQ(std::vector<std::string>{"good"}, TableNames());
        EXPECT_NE(std::string::npos, log.find(c.message)) << log;
        FreeAllTableDefns();
    }
}

TEST_F(DictionaryLoader, RangeAndMisplacedDescriptionAndOrder) {
    std::string log = Load(
        Doc(Table("t",
                  "<columns><column name=\"n\"><allowed-values><!-- c --><from>1</from><to>9</to>"
                  "</allowed-values></column></columns>"
                  "<description>late</description>"
                  "<foreign-keys><foreign-key reference-table-name=\"u\"><fk-columns><fk-column>"
                  "<fk-local-column>n</fk-local-column><fk-reference-column>m</fk-reference-column>"
                  "</fk-column></fk-columns></foreign-key></foreign-keys>"
                  "<primary-key><primary-key-column>n</primary-key-column></primary-key>")));
    TableDefn *table = GetTableDefn("t");
    ASSERT_NE(nullptr, table);
    EXPECT_EQ((std::vector<std::string>{"1", "9"}), AllowedList(GetColumnDefnEntry("t", "n")));
    EXPECT_EQ(1, GetColumnDefnEntry("t", "n")->allowedValues->isRange);
    EXPECT_EQ(nullptr, table->description);
    EXPECT_NE(std::string::npos, log.find("\nDescription tag ambiguity \n"));
    // The misplaced description does not hide the keys; a key after the foreign keys is out
    // of order and left out, with a message.
    ASSERT_NE(nullptr, GetForeignKeyDefn(table, "n"));
    EXPECT_EQ(0, table->constraints->primaryKeyCount);
    EXPECT_NE(std::string::npos, log.find("Element primary-key of table t is out of order"));
}

TEST_F(DictionaryLoader, MissingEndTagsAreLoggedAndReadingCarriesOn) {
    std::string log = Load(
        Doc(Table("t",
                  "<columns><column name=\"a\"><allowed-values><value>A<b/></value><value>B</value>"
                  "</allowed-values></column>"
                  "<column name=\"r\"><allowed-values><from>1<x/></from><to>2<y/></to>"
                  "</allowed-values></column></columns>"
                  "<primary-key><primary-key-column>a<z/></primary-key-column>"
                  "<primary-key-column>r</primary-key-column></primary-key>"
                  "<foreign-keys><foreign-key reference-table-name=\"u\" isbidirectional=\"true\">"
                  "<fk-columns><fk-column><fk-local-column>a<q/></fk-local-column>"
                  "<fk-reference-column>b<q/></fk-reference-column></fk-column><other/>"
                  "<fk-column><fk-local-column>r</fk-local-column>"
                  "<fk-reference-column>s</fk-reference-column></fk-column></fk-columns>"
                  "<fk-constraints>ON-DELETE-CASCADE<q/></fk-constraints></foreign-key>"
                  "</foreign-keys>")));
    for (const char *message :
         {"\n No ending Value tag\n", "\nNo Ending FROM tag \n", "\nNo ending TO tag \n",
          "\nMissing primary-key-column end tag\n", "\n Missing endof FK-LOCAL-COLUMN tag\n",
          "\nMissing endof FK-REFERENCE-COLUMN\n", "\nMissing end FK-COLUMNS\n",
          "\nMissing endof FK-CONSTRAINTS tag\n"}) {
        EXPECT_NE(std::string::npos, log.find(message)) << message;
    }
    TableDefn *table = GetTableDefn("t");
    ASSERT_NE(nullptr, table);
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), AllowedList(GetColumnDefnEntry("t", "a")));
    EXPECT_EQ((std::vector<std::string>{"1", "2"}), AllowedList(GetColumnDefnEntry("t", "r")));
    // The key stops at the faulty column; the foreign-key pairs stop at the stray element.
    EXPECT_EQ((std::vector<std::string>{"a"}),
              Strings(table->constraints->primaryKeyColumns, table->constraints->primaryKeyCount));
    ASSERT_EQ(1, table->constraints->foreignKeys->count);
    const ForeignKeyDefn *key = GetForeignKeyDefn(table, "a");
    ASSERT_NE(nullptr, key);
    EXPECT_STREQ("b", key->referenceColumn);
    EXPECT_EQ(1, key->onDeleteCascade);
    EXPECT_EQ(1, key->isBidirectional);
}

TEST_F(DictionaryLoader, UnknownElementsAreSkippedOrEndTheirList) {
    std::string log =
        Load(Doc("<description>top</description><unknown><table name=\"nested\">"
                 "<columns><column name=\"n\"/></columns></table></unknown>"
                 "<table name=\"t\" owner=\"me\"><whatever><columns/></whatever><columns>"
                 "<column name=\"a\"/><note/><column name=\"b\"/></columns></table>"));
    EXPECT_EQ((std::vector<std::string>{"nested", "t"}), TableNames());
    EXPECT_NE(std::string::npos, log.find("\n Not all Attributes were read\n"));
    // Another element ends the column list: b is not read.
    EXPECT_EQ(1, GetTableDefn("t")->columns->count);
    EXPECT_NE(std::string::npos, log.find("Unexpected element note ends the column list."));
}

TEST_F(DictionaryLoader, TablesDefinedTwiceAreBothKeptAndTheFirstIsFound) {
    Load(Doc(Table("Dup",
                   "<description>first</description><columns><column name=\"a\"/>"
                   "</columns>") +
             Table("dup",
                   "<description>second</description><columns><column name=\"a\"/>"
                   "</columns>")));
    EXPECT_EQ((std::vector<std::string>{"Dup", "dup"}), TableNames());
    EXPECT_STREQ("first", GetTableDefn("DUP")->description);
}

TEST_F(DictionaryLoader, MalformedFilesKeepWhatWasReadBefore) {
    // The reader parses ahead in blocks; the padding puts the fault beyond the first block,
    // as it is in a dictionary of realistic size.
    const std::string good = "<data-dictionary>" +
                             Table("good", "<columns><column name=\"id\"/></columns>") + "<!--" +
                             std::string(20000, ' ') + "-->";
    const struct {
        const char *what;
        std::string text;
        std::vector<std::string> tables;
        bool midTable;
    } cases[] = {
        {"cut at a table", good + "<table name=\"x\"><columns><column", {"good"}, false},
        {"mismatched tags", good + "<table name=\"x\"></tabel>", {"good"}, false},
        {"fault inside a table",
         good + "<table name=\"x\"><columns><column name=\"a\"/></columns><!--" +
             std::string(20000, ' ') + "--></tabel>",
         {"good"},
         true},
        {"not XML at all", "this is not a dictionary", {}, false},
        {"empty file", "", {}, false},
        {"binary", std::string("\x00\xff\xfe<\x01", 5), {}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string log = Load(c.text);
        EXPECT_EQ(c.tables, TableNames());
        EXPECT_NE(std::string::npos, log.find("dict.xml : failed to parse")) << log;
        if (c.midTable) {
            EXPECT_NE(std::string::npos, log.find("\nxmlTextReaderRead returned error \n"));
        }
        FreeAllTableDefns();
    }
    kvtest::CapturedLog log(2);
    std::string missing = tmp_ / "missing.xml";
    EXPECT_EQ(1, LoadDataDictFromXMLFile(missing.c_str()));
    EXPECT_EQ(0, LoadDataDictFromXMLFile(nullptr));
    EXPECT_NE(std::string::npos, LogText(log).find("Unable to open " + missing));
}

// The list file: the working folder's ../data first, then the library root; missing or
// unreadable names; words and paths over the limit.
class DataDictionaryList : public DictionaryLoader {
  protected:
    void SetUp() override {
        DictionaryLoader::SetUp();
        oldCwd_ = std::filesystem::current_path();
        std::filesystem::create_directories(tmp_ / "work");
        std::filesystem::current_path(tmp_ / "work");
    }
    void TearDown() override {
        std::filesystem::current_path(oldCwd_);
        DictionaryLoader::TearDown();
    }
    // A data folder under base holding the list text and one table per listed file.
    void MakeData(const std::string &base, const std::string &list,
                  const std::vector<std::pair<std::string, std::string>> &files) {
        std::filesystem::create_directories(base + "/data");
        kvtest::WriteFile(base + "/data/datadictionary.txt", list);
        for (const auto &[file, table] : files) {
            kvtest::WriteFile(base + "/data/" + file,
                              Doc(Table(table, "<columns><column name=\"c\"/></columns>")));
        }
    }
    std::filesystem::path oldCwd_;
};

TEST_F(DataDictionaryList, TheRootIsUsedOnlyWithoutAWorkingDataFolder) {
    std::string root = tmp_ / "root";
    MakeData(root, "one.xml\n\n  two.xml\tmissing.xml", {{"one.xml", "r1"}, {"two.xml", "r2"}});
    gv_rootPath = root.data();
    {
        kvtest::CapturedLog log(3);
        EXPECT_EQ(1, LoadAllDataDictFiles());
        std::string text = LogText(log);
        EXPECT_NE(std::string::npos, text.find("Opening " + root + "/data/datadictionary.txt"));
        EXPECT_NE(std::string::npos, text.find("Opening " + root + "/data/two.xml"));
        EXPECT_NE(std::string::npos, text.find("Unable to open " + root + "/data/missing.xml"));
    }
    EXPECT_EQ((std::vector<std::string>{"r1", "r2"}), TableNames());
    FreeAllTableDefns();

    // With ../data present the root is not consulted, not even for the listed files.
    MakeData(tmp_.path(), "two.xml", {{"two.xml", "w2"}});
    EXPECT_EQ(1, LoadAllDataDictFiles());
    EXPECT_EQ(std::vector<std::string>{"w2"}, TableNames());
}

TEST_F(DataDictionaryList, MissingListFile) {
    const char *roots[] = {nullptr, "/nonexistent-root"};
    for (const char *root : roots) {
        gv_rootPath = const_cast<char *>(root);
        kvtest::CapturedLog log(2);
        EXPECT_EQ(0, LoadAllDataDictFiles());
        EXPECT_NE(std::string::npos, LogText(log).find("Cannot open DataDictionary File.\n"));
    }
    EXPECT_EQ(0, LoadDataDictFiles((tmp_ / "nowhere").c_str()));
    EXPECT_EQ(0, LoadDataDictFiles(nullptr));
    EXPECT_TRUE(TableNames().empty());
}

TEST_F(DataDictionaryList, OverlongWordsAndPathsAreRefused) {
    std::string root = tmp_ / "root";
    std::string longWord(300, 'x');
    // A name that fits alone but not once the folder is put in front.
    std::string nearLimit(255 - 3, 'y');
    MakeData(root, longWord + ".xml " + nearLimit + " ok.xml\n", {{"ok.xml", "ok"}});
    gv_rootPath = root.data();
    kvtest::CapturedLog log(2);
    EXPECT_EQ(1, LoadAllDataDictFiles());
    EXPECT_EQ(std::vector<std::string>{"ok"}, TableNames());
    std::string text = LogText(log);
    EXPECT_NE(std::string::npos, text.find("file name longer than 255 characters refused"));
    EXPECT_NE(std::string::npos, text.find("path longer than 255 characters refused"));

    std::string deepRoot = root + "/" + std::string(250, 'z');
    gv_rootPath = deepRoot.data();
    EXPECT_EQ(0, LoadAllDataDictFiles());
    EXPECT_EQ(std::vector<std::string>{"ok"}, TableNames());
}

}  // namespace
