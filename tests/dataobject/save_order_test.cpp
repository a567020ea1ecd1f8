// Foreign-key save order and the search for reference chains, over the fixture dictionary
// and small dictionaries with a self-reference and a cycle.
#include "dataobject/save_order.h"

#include <apr_pools.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/store/store_fixture.h"
#include "util/mempool.h"

namespace {

// A table "name" with key column "id" and a column "ref" referring to ref_table.id.
std::string Table(const std::string &name, const std::string &refTable) {
    std::string text = "<table name=\"" + name +
                       "\"><columns><column name=\"id\"><data-type>INT</data-type></column>"
                       "<column name=\"ref\"><data-type>INT</data-type></column></columns>"
                       "<primary-key><primary-key-column>id</primary-key-column></primary-key>";
    if (!refTable.empty()) {
        text += "<foreign-keys><foreign-key name=\"fk_" + name + "\" reference-table-name=\"" +
                refTable +
                "\"><fk-columns><fk-column><fk-local-column>ref</fk-local-column>"
                "<fk-reference-column>id</fk-reference-column></fk-column></fk-columns>"
                "</foreign-key></foreign-keys>";
    }
    return text + "</table>";
}

class SaveOrder : public kvtest::StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        ASSERT_EQ(1, InitializeMemPool());
        ASSERT_EQ(1, CreateChildMemPool(&pool_));
    }
    void TearDown() override {
        apr_pool_destroy(pool_);
        TerminateMemPool();
        StoreTest::TearDown();
    }
    std::vector<std::string> Sort(const std::vector<std::string> &names) {
        Vector list;
        InitVector(&list, nullptr);
        for (const std::string &name : names)
            AppendPoolElement(&list, const_cast<char *>(name.c_str()), pool_);
        Vector *sorted = SortTableByFK(&list, pool_);
        std::vector<std::string> out;
        if (sorted == nullptr) return {"<null>"};
        for (VectorNode *n = sorted->head; n != nullptr; n = n->next)
            out.push_back(static_cast<char *>(n->element));
        return out;
    }
    apr_pool_t *pool_ = nullptr;
};

TEST_F(SaveOrder, ReferencedTablesComeFirst) {
    LoadFixtureDictionary();
    struct Case {
        std::vector<std::string> tables, order;
    } cases[] = {
        {{"host_interface", "host"}, {"host", "host_interface"}},
        {{"interface_address", "host_interface", "host"},
         {"host", "host_interface", "interface_address"}},
        {{"software_install", "host", "software"}, {"host", "software", "software_install"}},
        {{"host"}, {"host"}},
        {{}, {}},
    };
    for (const Case &c : cases) EXPECT_EQ(c.order, Sort(c.tables));
}

TEST_F(SaveOrder, SelfReferencesAndCyclesEnd) {
    LoadDictionary(Table("node", "node") + Table("a", "b") + Table("b", "a") + Table("leaf", "a"));
    EXPECT_EQ((std::vector<std::string>{"node"}), Sort({"node"}));
    EXPECT_EQ((std::vector<std::string>{"b", "a"}), Sort({"a", "b"}));
    EXPECT_EQ((std::vector<std::string>{"b", "a", "leaf"}), Sort({"leaf", "a", "b"}));
    kvtest::CapturedLog log(2);
    EXPECT_EQ((std::vector<std::string>{"ghost", "node"}), Sort({"ghost", "node"}));
    EXPECT_EQ((std::vector<std::string>{"ERROR No Table Definition found for table ghost."}),
              log.Lines());
}

TEST_F(SaveOrder, ReferenceChains) {
    LoadFixtureDictionary();
    LoadDictionary(Table("a", "b") + Table("b", "a"));
    struct Case {
        const char *table, *column, *target, *targetColumn;
        int result;
        unsigned char found;
    } cases[] = {
        {"host", "host_id", "host", "host_id", 1, 1},
        {"host_interface", "host_id", "host", "host_id", 0, 1},
        {"interface_address", "host_id", "host", "host_id", 0, 1},
        {"interface_address", "if_index", "host", "host_id", 0, 0},
        {"interface_address", "if_index", "host_interface", "if_index", 0, 1},
        {"host", "host_id", "host_interface", "host_id", 0, 0},
        {"software_install", "host_id", "software", "software_id", 0, 0},
        {"software_install", "software_id", "software", "software_id", 0, 1},
        {"a", "id", "host", "host_id", 0, 0},
        {"a", "ref", "b", "id", 0, 1},
    };
    for (const Case &c : cases) {
        unsigned char found = 0;
        EXPECT_EQ(c.result,
                  CompareRootRefTable(c.table, c.column, c.target, c.targetColumn, &found))
            << c.table << "." << c.column;
        EXPECT_EQ(c.found, found) << c.table << "." << c.column << " -> " << c.target;
    }
}

}  // namespace
