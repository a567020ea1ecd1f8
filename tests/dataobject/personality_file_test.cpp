// Personality files read into the personality list, without a database: which elements and
// attributes count and in what order, which index tables a file asks for (their statements
// reach the connection layer, which has no connection here and logs them), and the lookups.
#include "dataobject/personality_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataobject/personality_defn.h"
#include "tests/dataobject/personality_fixture.h"
#include "tests/store/store_fixture.h"

namespace {

// The statements given to the connection layer, as it logs them without a connection.
std::vector<std::string> Statements(const kvtest::CapturedLog &log) {
    const std::string prefix = "ConnectionHandle NULL in ExecuteUpdate for Query ";
    std::vector<std::string> out;
    for (const std::string &line : log.Tagged("ERROR")) {
        if (line.rfind(prefix, 0) == 0) out.push_back(line.substr(prefix.size()));
    }
    for (std::string &s : out) s = s.substr(0, s.find_last_not_of(" \n") + 1);
    return out;
}

bool Holds(const std::vector<std::string> &lines, const std::string &text) {
    for (const std::string &line : lines) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

// "name>dominant:table#index#mandatory#fk,..." per personality, "|" between them.
std::string Registered() {
    std::string out;
    for (VectorNode *n = gv_personalityDefnVect != nullptr ? gv_personalityDefnVect->head : nullptr;
         n != nullptr; n = n->next) {
        const PersonalityDefn *p = static_cast<const PersonalityDefn *>(n->element);
        out += (out.empty() ? "" : "|") + std::string(p->name) + ">" + p->dominantTable + ":";
        for (VectorNode *c = p->constituentTableVect->head; c != nullptr; c = c->next) {
            const ConstituentTable *t = static_cast<const ConstituentTable *>(c->element);
            out += (c == p->constituentTableVect->head ? "" : ",") +
                   std::string(t->table ? t->table : "(null)") + "#" + std::to_string(t->index) +
                   "#" + std::to_string(t->mandatory) + "#" +
                   (t->foreignKey ? t->foreignKey : "(null)");
            EXPECT_EQ(p->dominantTable, t->dominantTable);
        }
    }
    return out;
}

class PersonalityFile : public kvtest::StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        LoadDictionary(kvtest::PersonalityTables());
        ASSERT_EQ(1, InitPersonality());
    }
    void TearDown() override {
        FreePersonalityDefns();
        StoreTest::TearDown();
    }
    // Reads a file whose root element holds body.
    int Read(const std::string &body, const std::string &name = "p.xml") {
        path_ = tmp_ / name;
        kvtest::WriteFile(path_,
                          "<?xml version=\"1.0\"?>\n<Personalities>" + body + "</Personalities>\n");
        return CreatePersonalityFromXMLFile(path_.c_str());
    }
    std::string path_;
};

TEST_F(PersonalityFile, ElementsAndAttributesCountInVisitingOrder) {
    struct Case {
        const char *what, *body, *registered;
        std::vector<std::string> errors;
    } cases[] = {
        {"nested constituents; one naming the dominant table (in other letters) is dropped",
         R"(<PersonalityConfiguration personalityname="Computers" description="d" dominanttableid="Resource">
              <ConstituentTable tableindex="1" tableid="ResourceOS" fkconstraint_id="fk1" mandatory="TRUE"/>
              <ConstituentTable tableindex="2" tableid="resource" mandatory="true"/>
              <ConstituentTable tableindex="3" tableid="ResourceHW" mandatory="False"/>
            </PersonalityConfiguration>)",
         "Computers>Resource:ResourceOS#1#1#fk1,ResourceHW#3#0#(null)",
         {}},
        {"a tableindex of 0 ends the element's reading, before or after its tableid",
         R"(<PersonalityConfiguration personalityname="P" dominanttableid="Resource"/>
            <ConstituentTable tableindex="0" tableid="Resource" mandatory="true"/>
            <ConstituentTable tableid="ResourceOS" tableindex="00" mandatory="true"/>
            <ConstituentTable tableid="ResourceHW" tableindex="7" mandatory="yes"/>)",
         "P>Resource:(null)#0#0#(null),ResourceOS#0#0#(null),ResourceHW#7#1#(null)",
         {}},
        {"constituents count only right after a personality, across element ends",
         R"(<DominantTableConfig DOMINANTTABLEID="Resource" isindexed="false"/>
            <ConstituentTable tableid="ResourceOS"/>
            <Group><PersonalityConfiguration personalityname="P" dominanttableid="Resource"/></Group>
            <ConstituentTable tableid="ResourceHW"/><Other/><ConstituentTable tableid="ResourceOS"/>)",
         "P>Resource:ResourceHW#0#0#(null)",
         {}},
        {"element and attribute names ignore letter case",
         R"(<personalityCONFIGURATION PERSONALITYNAME="P" DominantTableId="Resource">
              <constituenttable TableIndex="4" TABLEID="ResourceOS"/></personalityCONFIGURATION>)",
         "P>Resource:ResourceOS#4#0#(null)",
         {}},
        {"two personalities in file order, and one without a name or dominant table is refused",
         R"(<PersonalityConfiguration personalityname="A" dominanttableid="Resource"/>
            <PersonalityConfiguration dominanttableid="Resource"><ConstituentTable tableid="ResourceOS"/></PersonalityConfiguration>
            <PersonalityConfiguration personalityname="Q" dominanttableid=""/>
            <PersonalityConfiguration personalityname="B" dominanttableid="Tag"/>)",
         "A>Resource:|B>Tag:",
         {"Personality (null) without personalityname or dominanttableid is ignored.",
          "Personality Q without personalityname or dominanttableid is ignored."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FreePersonalityDefns();
        ASSERT_EQ(1, InitPersonality());
        kvtest::CapturedLog log(4);
        EXPECT_EQ(1, Read(c.body));
        EXPECT_EQ(c.registered, Registered());
        std::vector<std::string> errors = log.Tagged("ERROR");
        EXPECT_EQ(c.errors.size(), errors.size());
        for (const std::string &e : c.errors) EXPECT_TRUE(Holds(errors, e)) << e;
    }
}

TEST_F(PersonalityFile, IndexTablesFollowTheAttributeOrder) {
    struct Case {
        const char *what, *body;
        std::vector<std::string> statements, errors;
    } cases[] = {
        {"isindexed before the table",
         R"(<DominantTableConfig isindexed="true" DOMINANTTABLEID="Resource"/>)",
         {},
         {"Cannot get PKColumnInfo.  TableName is NULL", "Cannot create Index Table for (null)"}},
        {"the table, then isindexed (any letter case), asked twice in one element",
         R"(<DominantTableConfig DOMINANTTABLEID="Resource" isindexed="TRUE" ISINDEXED="true"/>)",
         {"CREATE TABLE Resource_IDX(RESOURCE_ID INT,  TABLENAME VARCHAR(40))"},
         {}},
        {"not indexed",
         R"(<DominantTableConfig DOMINANTTABLEID="Resource" isindexed="false"/>)",
         {},
         {}},
        {"a text key; an unknown table does not stop the next element",
         R"(<DominantTableConfig DOMINANTTABLEID="Nope" isindexed="true"/>
            <DominantTableConfig nonindexlimit="5" DOMINANTTABLEID="Tag" isindexed="true"/>)",
         {"CREATE TABLE Tag_IDX(CODE VARCHAR(10),  TABLENAME VARCHAR(40))"},
         {"No table definition found for Nope.", "Cannot create Index Table for Nope"}},
        {"a dominant table without key",
         R"(<DominantTableConfig DOMINANTTABLEID="Loose" isindexed="true"/>)",
         {},
         {"Cannot create Index Table for Loose"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        kvtest::CapturedLog log(4);
        // The personality is added whatever became of the index table.
        EXPECT_EQ(
            1,
            Read(std::string(c.body) +
                 R"(<PersonalityConfiguration personalityname="P" dominanttableid="Resource"/>)"));
        EXPECT_EQ(c.statements, Statements(log));
        std::vector<std::string> errors = log.Tagged("ERROR");
        for (const std::string &e : c.errors) EXPECT_TRUE(Holds(errors, e)) << e;
        EXPECT_EQ(1, IsDominantTable("Resource"));
        FreePersonalityDefns();
        ASSERT_EQ(1, InitPersonality());
    }
}

TEST_F(PersonalityFile, LongNamesMakeWholeStatements) {
    const std::string table(200, 'T'), key(120, 'K');
    LoadDictionary(kvtest::Table(table, {key}, {key}));
    kvtest::CapturedLog log(4);
    EXPECT_EQ(
        1, Read(R"(<DominantTableConfig DOMINANTTABLEID=")" + table + R"(" isindexed="true"/>)"));
    EXPECT_EQ((std::vector<std::string>{"CREATE TABLE " + table + "_IDX(" + key +
                                        " INT,  TABLENAME VARCHAR(40))"}),
              Statements(log));
}

TEST_F(PersonalityFile, FilesThatCannotBeUsedAddNothing) {
    kvtest::CapturedLog log(4);
    EXPECT_EQ(0,
              Read(R"(<PersonalityConfiguration personalityname="P" dominanttableid="Resource">)"));
    EXPECT_TRUE(Holds(log.Tagged("ERROR"), "Could not parse file " + path_));
    EXPECT_EQ(0, CreatePersonalityFromXMLFile((tmp_ / "missing.xml").c_str()));
    EXPECT_EQ(0, CreatePersonalityFromXMLFile(nullptr));
    EXPECT_EQ("", Registered());
    EXPECT_EQ(nullptr, GetDominantTables());

    // Without the list nothing can be registered, and the reader says so.
    FreePersonalityDefns();
    EXPECT_EQ(
        0, Read(R"(<PersonalityConfiguration personalityname="P" dominanttableid="Resource"/>)"));
    EXPECT_TRUE(
        Holds(log.Tagged("ERROR"), "Cannot Add personality P into gv_personalityDefnVect."));
}

TEST_F(PersonalityFile, Lookups) {
    ASSERT_EQ(
        1,
        Read(
            R"(<PersonalityConfiguration personalityname="Computers" description="All" dominanttableid="Resource">
                           <ConstituentTable tableindex="0" tableid="Resource"/>
                           <ConstituentTable tableindex="1" tableid="ResourceOS" fkconstraint_id="fk_os"/>
                           <ConstituentTable tableindex="2" tableid="ResourceHW"/>
                         </PersonalityConfiguration>
                         <PersonalityConfiguration personalityname="Labels" dominanttableid="Tag"/>)"));
    // The entry without a table name is no table of the lists.
    EXPECT_EQ((std::vector<std::string>{"ResourceOS", "ResourceHW"}),
              kvtest::TakeNames(GetConstituentTables("Computers")));
    EXPECT_EQ(std::vector<std::string>{}, kvtest::TakeNames(GetConstituentTables("Labels")));
    EXPECT_EQ((std::vector<std::string>{"Resource", "Tag"}),
              kvtest::TakeNames(GetDominantTables()));
    EXPECT_EQ((std::vector<std::string>{"Computers", "Labels"}),
              kvtest::TakeNames(GetPersonalityNames()));
    EXPECT_EQ(1, IsDominantTable("Tag"));
    EXPECT_EQ(0, IsDominantTable("tag"));
    EXPECT_EQ(0, IsDominantTable("ResourceOS"));
    EXPECT_EQ(nullptr, GetPersonalityDefn("computers"));

    kvtest::CapturedLog log(4);
    EXPECT_EQ(1, PrintPersonalityDefn("Computers"));
    const std::string text = log.text();
    for (const char *line :
         {"Personality Name: Computers", "Description: All", "Dominant Table: Resource",
          "Constituent Table Name: (null)", "Constituent Table Name: ResourceOS",
          "Constituent Table Index: 1", "Foreign Key: fk_os", "Mandatory Status: 0"}) {
        EXPECT_NE(std::string::npos, text.find(line)) << line;
    }
    EXPECT_EQ(0, PrintPersonalityDefn("Nobody"));
    EXPECT_EQ(0, PrintPersonalityDefn(nullptr));
    EXPECT_EQ(nullptr, GetConstituentTables("Nobody"));
    EXPECT_EQ(nullptr, GetConstituentTables(nullptr));
    EXPECT_EQ(nullptr, GetPersonalityDefn(nullptr));
    EXPECT_EQ(
        (std::vector<std::string>{"Personality Nobody not found in gv_personalityDefnVect",
                                  "Cannot print PersonalityDefn.  personalityDefnPtr is NULL",
                                  "Cannot print personality definition.  PersonalityName is NULL",
                                  "Personality Nobody not found in gv_personalityDefnVect",
                                  "Cannot get constituent tables list.  PersonalityDefn is NULL",
                                  "Cannot get constituent tables list.  PersonalityName is NULL",
                                  "Cannot get personality.  Personality name is NULL"}),
        log.Tagged("ERROR"));
}

}  // namespace
