// Table data from XML on arbitrary documents: no input may crash, overrun, leak or hang. The
// dictionary holds the example data folder's tables, the test fixtures' tables and a few with
// generated keys, a cycle of foreign keys, the workflow-statement table and every column type.
// Each input is loaded from memory (references numbered by an in-memory sequence store that
// starts afresh for each input), its rows are selected and rendered, each element is also read
// as a row element, and every table is unloaded again.
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>

#include "fuzz/fuzz_support.h"
#include "persist/table_load.h"
#include "store/change_notify.h"
#include "store/column_defn.h"
#include "store/dictionary_loader.h"
#include "store/result_data.h"
#include "store/row_render.h"
#include "store/sequence_generator.h"
#include "store/table_data.h"
#include "store/table_xml.h"

namespace {

const char kExtraTables[] =
    "<?xml version=\"1.0\"?>\n<data-dictionary>"
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
    // Two tables whose keys refer to each other, neither generated.
    "<table name=\"CycleA\"><columns>"
    "<column name=\"A\"><data-type>INTEGER</data-type></column>"
    "<column name=\"B\"><data-type>INTEGER</data-type></column>"
    "</columns><primary-key><primary-key-column>A</primary-key-column></primary-key>"
    "<foreign-keys><foreign-key reference-table-name=\"CycleB\"><fk-columns><fk-column>"
    "<fk-local-column>A</fk-local-column><fk-reference-column>B</fk-reference-column>"
    "</fk-column></fk-columns></foreign-key></foreign-keys></table>"
    "<table name=\"CycleB\"><columns>"
    "<column name=\"B\"><data-type>INTEGER</data-type></column>"
    "<column name=\"A\"><data-type>INTEGER</data-type></column>"
    "</columns><primary-key><primary-key-column>B</primary-key-column></primary-key>"
    "<foreign-keys><foreign-key reference-table-name=\"CycleA\"><fk-columns><fk-column>"
    "<fk-local-column>B</fk-local-column><fk-reference-column>A</fk-reference-column>"
    "</fk-column></fk-columns></foreign-key></foreign-keys></table>"
    "<table name=\"Policy\"><columns>"
    "<column name=\"NAME\"><data-type>CHAR</data-type><default-value>none</default-value></column>"
    "<column name=\"t\"><data-type>VEL_SQL_TEXT</data-type></column>"
    "<column name=\"tm\"><data-type>TIME</data-type></column>"
    "<column name=\"d\"><data-type>DATE</data-type></column>"
    "<column name=\"dtm\"><data-type>DATETIME</data-type></column>"
    "<column name=\"b\"><data-type>BOOLEAN</data-type></column>"
    "<column name=\"i\"><data-type>INTEGER</data-type></column>"
    "<column name=\"ti\"><data-type>VEL_SQL_TINYINT</data-type></column>"
    "<column name=\"us\"><data-type>VEL_SQL_UNSIGNED_SMALLINT</data-type></column>"
    "<column name=\"bi\"><data-type>BIGINT</data-type></column>"
    "<column name=\"ul\"><data-type>VEL_SQL_UNSIGNED_LONG_INT</data-type></column>"
    "<column name=\"f\"><data-type>FLOAT</data-type></column>"
    "<column name=\"r\"><data-type>VEL_SQL_REAL</data-type></column>"
    "<column name=\"db\"><data-type>VEL_SQL_DOUBLE</data-type></column>"
    "<column name=\"dec\"><data-type>VEL_SQL_DECIMAL</data-type></column>"
    "<column name=\"num\"><data-type>VEL_SQL_NUMERIC</data-type></column>"
    "<column name=\"blob\"><data-type>BLOB</data-type></column>"
    "<column name=\"clob\"><data-type>VEL_SQL_CLOB</data-type></column>"
    "</columns></table>"
    "</data-dictionary>\n";

struct Setup {
    kvfuzz::TempFolder folder;

    Setup() {
        kvfuzz::QuietLog();
        InitTableDefnList();
        InitTableDataList();
        InitNotification();
        SetSeqGenReserveFn(&kvfuzz::ReserveInMemory);
        const std::string source = KV_SOURCE_DIR;
        const uint8_t *extra = reinterpret_cast<const uint8_t *>(kExtraTables);
        kvfuzz::LoadExampleDictionary("table_xml_fuzz",
                                      {"system.xml", "inventory.xml", "storedqueries.xml"});
        if (LoadDataDictFiles((source + "/tests/fixtures/data").c_str()) != 1 ||
            LoadDataDictFromXMLFile(
                folder.Write("extra.xml", extra, sizeof kExtraTables - 1).c_str()) != 1) {
            fprintf(stderr, "table_xml_fuzz: cannot load the dictionaries under %s\n",
                    source.c_str());
            abort();
        }
    }
};

void UseRows() {
    for (VectorNode *node = GetTableDataList()->head; node != nullptr; node = node->next) {
        const TableData *table = static_cast<const TableData *>(node->element);
        PrintTableData(table->name);
        ResultData *result = SelectRows(table->name, nullptr);
        if (result == nullptr) continue;
        if (const char *first = GetColumnNameByIndex(0, result)) SortResultSet(result, first, 1);
        PrintResultData(result);
        FreeResultData(result);
    }
}

void ReadElements(xmlDoc *document, xmlNode *first) {
    for (xmlNode *node = first; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) continue;
        FreeXmlRowElement(ReadXmlRowElement(document, node));
        ReadElements(document, node->children);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Setup setup;
    if (size > 1 << 16) return 0;  // larger documents only slow the search down
    kvfuzz::BatchEnds().clear();
    InitSeqGenTable();
    SequenceGenerator();
    const char *text = reinterpret_cast<const char *>(data);
    ConstructTableDataFromXMLBuffer(text, int(size));
    UseRows();
    if (xmlDoc *document = xmlReadMemory(text, int(size), "input.xml", nullptr, 0)) {
        if (xmlNode *root = xmlDocGetRootElement(document)) ReadElements(document, root->children);
        xmlFreeDoc(document);
    }
    UnLoadAllTable();
    FreeSeqGenTable();
    return 0;
}
