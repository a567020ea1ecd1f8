// Table data from XML: value text forms, grouping elements, references, key values from
// enclosing and nested elements, and bad documents.
#include "store/table_xml.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "tests/store/store_fixture.h"

namespace {

using kvtest::StoreTest;

const char kWorkflowTables[] =
    "<table name=\"Workflow\"><columns>"
    "<column name=\"ID\"><data-type>INTEGER</data-type><uniquevalue-generation>"
    "<generator-name>wf_seq</generator-name></uniquevalue-generation></column>"
    "<column name=\"NAME\"><data-type>CHAR</data-type></column>"
    "</columns><primary-key><primary-key-column>ID</primary-key-column></primary-key></table>"
    "<table name=\"Task\"><columns>"
    "<column name=\"TASK_ID\"><data-type>INTEGER</data-type><uniquevalue-generation>"
    "<generator-name>task_seq</generator-name></uniquevalue-generation></column>"
    "<column name=\"WORKFLOW_ID\"><data-type>INTEGER</data-type></column>"
    "</columns><primary-key><primary-key-column>TASK_ID</primary-key-column></primary-key>"
    "<foreign-keys><foreign-key name=\"fk\" reference-table-name=\"Workflow\"><fk-columns>"
    "<fk-column><fk-local-column>WORKFLOW_ID</fk-local-column>"
    "<fk-reference-column>ID</fk-reference-column></fk-column></fk-columns></foreign-key>"
    "</foreign-keys></table>"
    "<table name=\"Workflow_Statements\"><columns>"
    "<column name=\"ID\"><data-type>INTEGER</data-type><uniquevalue-generation>"
    "<generator-name>stmt_seq</generator-name></uniquevalue-generation></column>"
    "<column name=\"NEXT_STATEMENT_ID\"><data-type>INTEGER</data-type>"
    "<default-value>-1</default-value></column>"
    "<column name=\"PREVIOUS_ID\"><data-type>INTEGER</data-type></column>"
    "</columns></table>"
    "<table name=\"Policy\"><columns>"
    "<column name=\"NAME\"><data-type>CHAR</data-type></column>"
    "<column name=\"t\"><data-type>VEL_SQL_TEXT</data-type></column>"
    "<column name=\"tm\"><data-type>TIME</data-type></column>"
    "<column name=\"d\"><data-type>DATE</data-type></column>"
    "<column name=\"dtm\"><data-type>DATETIME</data-type></column>"
    "<column name=\"b\"><data-type>BOOLEAN</data-type></column>"
    "<column name=\"i\"><data-type>INTEGER</data-type></column>"
    "<column name=\"ti\"><data-type>VEL_SQL_TINYINT</data-type></column>"
    "<column name=\"bi\"><data-type>BIGINT</data-type></column>"
    "<column name=\"f\"><data-type>FLOAT</data-type></column>"
    "<column name=\"db\"><data-type>VEL_SQL_DOUBLE</data-type></column>"
    "<column name=\"dec\"><data-type>VEL_SQL_DECIMAL</data-type></column>"
    "<column name=\"blob\"><data-type>BLOB</data-type></column>"
    "</columns></table>";

class TableXml : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadFixtureDictionary();
        LoadDictionary(kWorkflowTables);
        ASSERT_EQ(1, SequenceGenerator());
    }
    int LoadFile(const std::string &body) {
        std::string path = tmp_ / "data.xml";
        kvtest::WriteFile(path, "<?xml version=\"1.0\"?>\n" + body);
        return ConstructTableDataFromXMLFile(path.c_str());
    }
    std::vector<std::string> Values(const char *table, const char *column) {
        std::vector<std::string> out;
        for (RowObject *row : Rows(table)) out.push_back(Value(table, row, column));
        return out;
    }
};

TEST_F(TableXml, ValueTextForms) {
    const struct {
        const char *column;
        const char *text;
        const char *stored;
        int length;
    } cases[] = {
        {"t", "a:b:c", "c", 1},
        {"t", "a:b:c:d", "c:d", 3},
        {"t", "a:b", "a:b", 3},
        {"t", "a::c", "c", 1},
        {"NAME", "x:y:z", "z", 1},
        {"tm", "10:20:30", "10:20:30", VEL_TIME_LENGTH},
        {"tm", "10:20", "10:20:00", VEL_TIME_LENGTH},
        {"d", "2024-02-30", "2024-02-30", VEL_DATE_LENGTH},
        {"dtm", "2024-01-02 03:04:05", "2024-01-02 03:04:05", VEL_DATETIME_LENGTH},
        {"b", "TRUE", "'t'", 1},
        {"b", "yes", "'t'", 1},
        {"b", "FaLsE", "'f'", 1},
        {"i", "-7", "-7", 4},
        {"i", "12abc", "0", 4},
        {"ti", "5", "5", 4},  // integers of codes 1 to 6 are stored in 4 bytes
        {"bi", "5000000000", "5000000000", 8},
        {"f", "1.5", "1.500000", 4},
        {"db", "-2.25", "-2.250000", 8},
        {"dec", "12.50", "12.50", 5},  // kept as written, not dropped
        {"blob", "raw", "raw", 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.column) + " = " + c.text);
        if (GetTableDataByName("Policy") != nullptr) {
            ASSERT_EQ(1, DeleteAllTableRowObjects("Policy"));
        }
        ASSERT_EQ(
            1, LoadFile(std::string("<Data><Policy ") + c.column + "=\"" + c.text + "\"/></Data>"));
        std::vector<RowObject *> rows = Rows("Policy");
        ASSERT_EQ(1u, rows.size());
        EXPECT_EQ(c.stored, Value("Policy", rows[0], c.column));
        EXPECT_EQ(c.length, rows[0]->lengths[ColumnIndex("Policy", c.column)]);
    }
}

TEST_F(TableXml, ConvertOneText) {
    void *value = reinterpret_cast<void *>(1);
    int length = -1;
    EXPECT_EQ(0, AllocateAndCopyColumnValue(&value, &length, VEL_SQL_INT, nullptr));
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(1, AllocateAndCopyColumnValue(&value, &length, VEL_SQL_NOT_SUPPORTED_TYPE, "x"));
    EXPECT_EQ(nullptr, value);  // a type stored as nothing
    EXPECT_EQ(1, AllocateAndCopyColumnValue(&value, &length, VEL_SQL_VARCHAR, "abc"));
    EXPECT_STREQ("abc", static_cast<char *>(value));
    EXPECT_EQ(3, length);
    free(value);
}

TEST_F(TableXml, ListElementsOnlyGroup) {
    ASSERT_EQ(1, LoadFile("<Root>\n  <PolicyList>\n    <Policy NAME=\"one\"/>\n"
                          "    <Policy name=\"two\"/>\n  </PolicyList>\n</Root>"));
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), Values("Policy", "NAME"));
    EXPECT_EQ(nullptr, GetTableDataByName("PolicyList"));
}

// A reference names one number throughout a load, whichever row uses it first.
TEST_F(TableXml, ReferencesNameOneNumber) {
    ASSERT_EQ(1, LoadFile("<Data>"
                          "<Task TASK_ID=\"5\" WORKFLOW_ID=\"Workflow:ID:w1\"/>"
                          "<Task TASK_ID=\"6\" WORKFLOW_ID=\"Workflow:ID:w1\"/>"
                          "<Workflow ID=\"Workflow:ID:w1\" NAME=\"first\"/>"
                          "<Workflow ID=\"Workflow:ID:w2\" NAME=\"second\"/>"
                          "<Task TASK_ID=\"7\" WORKFLOW_ID=\"Workflow:ID:w2\"/>"
                          "<Task TASK_ID=\"8\" WORKFLOW_ID=\"Task:WORKFLOW_ID:w3\"/>"
                          "<Workflow ID=\"Workflow:ID:w3\" NAME=\"third\"/>"
                          "<Task TASK_ID=\"9\" WORKFLOW_ID=\"Nope:X:42\"/>"
                          "<Task WORKFLOW_ID=\"Workflow:NAME:x\"/>"
                          "</Data>"));
    EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}), Values("Workflow", "ID"));
    // Task 8 reached the Workflow's generator through its foreign key.
    EXPECT_EQ((std::vector<std::string>{"1", "1", "2", "3", "42", "0"}),
              Values("Task", "WORKFLOW_ID"));
    // A missing generated value is filled in when the row is added.
    EXPECT_EQ((std::vector<std::string>{"5", "6", "7", "8", "9", "1"}), Values("Task", "TASK_ID"));
}

TEST_F(TableXml, ReferenceMemoryOfANodeLoad) {
    const std::string text =
        "<Data><Workflow ID=\"Workflow:ID:w1\"/><Task WORKFLOW_ID=\"Task:WORKFLOW_ID:w9\"/>"
        "</Data>";
    xmlDoc *document = xmlParseMemory(text.data(), int(text.size()));
    ASSERT_NE(nullptr, document);
    StringHashTable *memory =
        ConstructTableDataFromXMLNode(document, xmlDocGetRootElement(document));
    ASSERT_NE(nullptr, memory);
    const struct {
        const char *key;
        int number;
    } expected[] = {{"Workflow:ID:w1", 1}, {"Workflow:ID:w9", 2}, {"Task:WORKFLOW_ID:w9", 2}};
    for (const auto &e : expected) {
        const int *number = static_cast<const int *>(GetHashValue(memory, e.key));
        ASSERT_NE(nullptr, number) << e.key;
        EXPECT_EQ(e.number, *number) << e.key;
    }
    FreeXmlReferenceMemory(memory);
    xmlFreeDoc(document);
    kvtest::CapturedLog log(2);
    EXPECT_EQ(nullptr, ConstructTableDataFromXMLNode(nullptr, nullptr));
    EXPECT_EQ((std::vector<std::string>{"ERROR Cannot construct table data from buffer node."}),
              log.Lines());
}

// Key columns left out take their values from the enclosing elements, through the
// enclosing table's own foreign key when needed.
TEST_F(TableXml, ForeignKeysFromEnclosingElements) {
    ASSERT_EQ(1, LoadFile("<Inventory>\n"
                          "  <host HOST_ID=\"77\" host_name=\"h1\">\n"
                          "    <host_interface if_index=\"1\">\n"
                          "      <interface_address address=\"10.0.0.1\"/>\n"
                          "    </host_interface>\n"
                          "  </host>\n"
                          "</Inventory>"));
    EXPECT_EQ((std::vector<std::string>{"77"}), Values("host", "host_id"));
    EXPECT_EQ((std::vector<std::string>{"77"}), Values("host_interface", "host_id"));
    EXPECT_EQ((std::vector<std::string>{"77"}), Values("interface_address", "host_id"));
    EXPECT_EQ((std::vector<std::string>{"1"}), Values("interface_address", "if_index"));
}

TEST_F(TableXml, PrimaryKeysFromEnclosingElements) {
    ASSERT_EQ(1, LoadFile("<Inventory address=\"192.168.1.1\">"
                          "<interface_address host_id=\"1\" if_index=\"2\"/>"
                          "<interface_address host_id=\"1\" if_index=\"3\" address=\"own\"/>"
                          "</Inventory>"));
    EXPECT_EQ((std::vector<std::string>{"192.168.1.1", "own"}),
              Values("interface_address", "address"));
}

// A value still missing is searched in the nested elements, indented or not.
TEST_F(TableXml, ForeignKeysFromNestedElements) {
    for (const char *document :
         {"<Doc>\n  <host_interface if_index=\"3\">\n    <host host_id=\"55\"/>\n"
          "  </host_interface>\n</Doc>",
          "<Doc><host_interface if_index=\"3\"><host host_id=\"55\"/></host_interface></Doc>"}) {
        SCOPED_TRACE(document);
        ASSERT_EQ(1, LoadFile(document));
        EXPECT_EQ("55", Values("host_interface", "host_id").back());
    }
}

TEST_F(TableXml, WorkflowStatementsNextZeroMeansNone) {
    ASSERT_EQ(
        1,
        LoadFile("<Data>"
                 "<Workflow_Statements ID=\"10\""
                 " NEXT_STATEMENT_ID=\"Workflow_Statements:ID:0\""
                 " PREVIOUS_ID=\"Workflow_Statements:ID:0\"/>"
                 "<Workflow_Statements ID=\"11\" NEXT_STATEMENT_ID=\"Workflow_Statements:ID:s2\"/>"
                 "</Data>"));
    // The "0" of NEXT_STATEMENT_ID is no reference (the default applies); other columns
    // resolve it as a reference like any other.
    EXPECT_EQ((std::vector<std::string>{"-1", "2"}),
              Values("Workflow_Statements", "NEXT_STATEMENT_ID"));
    EXPECT_EQ("1", Values("Workflow_Statements", "PREVIOUS_ID")[0]);
}

TEST_F(TableXml, BadDocuments) {
    kvtest::CapturedLog log(2);
    EXPECT_EQ(0, LoadFile("<Data><Policy NAME=\"x\"></Data>"));
    EXPECT_EQ(0, ConstructTableDataFromXMLFile((tmp_ / "missing.xml").c_str()));
    EXPECT_EQ(0, ConstructTableDataFromXMLFile(nullptr));
    const std::string bad = "<Data><Policy NAME=\"kept\"/><Bogus/><Policy NAME=\"never\"/></Data>";
    EXPECT_EQ(0, ConstructTableDataFromXMLBuffer(bad.data(), int(bad.size())));
    EXPECT_EQ(0, ConstructTableDataFromXMLBuffer("<a", 2));
    EXPECT_EQ(0, LoadFile("<Data><Task TASK_ID=\"1\" WORKFLOW_ID=\"a::\"/><Unknown/></Data>"));
    EXPECT_EQ((std::vector<std::string>{"kept"}), Values("Policy", "NAME"));  // rows before stay
    // The reference that cannot be split left its column empty.
    EXPECT_EQ((std::vector<std::string>{"NULL"}), Values("Task", "WORKFLOW_ID"));
    std::vector<std::string> errors;
    for (const std::string &line : log.Lines()) {
        if (line.rfind("ERROR", 0) == 0) errors.push_back(line);
    }
    EXPECT_EQ((std::vector<std::string>{
                  "ERROR error: could not parse file file.xml",
                  "ERROR error: could not parse file file.xml",
                  "ERROR error: could not parse file file.xml",
                  "ERROR Cannot create and add a new row while constructing tabledata from XML "
                  "file.",
                  "ERROR Cannot construct table data from XML buffer.",
                  "ERROR error: could not parse file file.xml",
                  "ERROR Unable to get Column details for AutoID generation ",
                  "ERROR Cannot create and add a new row while constructing tabledata from XML "
                  "file.",
                  "ERROR Cannot construct table data from XML file.",
              }),
              errors);
}

TEST_F(TableXml, ReadXmlRowElement) {
    const std::string text = "<Data><Row a=\"x&amp;y\" B=\"\"/></Data>";
    xmlDoc *document = xmlParseMemory(text.data(), int(text.size()));
    ASSERT_NE(nullptr, document);
    XmlRowElement *row = ReadXmlRowElement(document, xmlDocGetRootElement(document)->children);
    ASSERT_NE(nullptr, row);
    EXPECT_STREQ("Row", row->name);
    ASSERT_EQ(2, row->attributes->count);
    XmlAttributePair *first = static_cast<XmlAttributePair *>(row->attributes->head->element);
    XmlAttributePair *second = static_cast<XmlAttributePair *>(row->attributes->tail->element);
    EXPECT_STREQ("a", first->name);
    EXPECT_STREQ("x&y", first->value);
    EXPECT_STREQ("B", second->name);
    EXPECT_STREQ("", second->value);
    FreeXmlRowElement(row);
    EXPECT_EQ(nullptr, ReadXmlRowElement(document, nullptr));
    xmlFreeDoc(document);
}

// Entity references in attribute values are read through, also where a row's value comes
// from.
TEST_F(TableXml, AttributesWithEntities) {
    ASSERT_EQ(1, LoadFile("<Data><Policy NAME=\"a&amp;b\" t=\"&lt;x&gt;\"/></Data>"));
    EXPECT_EQ((std::vector<std::string>{"a&b"}), Values("Policy", "NAME"));
    EXPECT_EQ((std::vector<std::string>{"<x>"}), Values("Policy", "t"));
}

}  // namespace
