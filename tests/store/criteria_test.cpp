#include "store/criteria.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "store/column_defn.h"
#include "store/criteria_parse.h"
#include "store/row_object.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KV_HAS_LSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KV_HAS_LSAN 1
#endif
#ifdef KV_HAS_LSAN
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// Whether LeakSanitizer finds blocks nobody can reach any more (false without it).
bool Leaked() {
#ifdef KV_HAS_LSAN
    return __lsan_do_recoverable_leak_check() != 0;
#else
    return false;
#endif
}

using Tree = std::unique_ptr<CriteriaNode, decltype(&FreeCriteriaTree)>;
Tree Parse(const char *text) {
    return Tree(ParseCriteria(text), FreeCriteriaTree);
}

const char *OperatorText(unsigned char op) {
    static const char *const texts[] = {"?", "<", ">", "<=", ">=", "=", "!=", "and", "or"};
    return op <= CRITERIA_OR ? texts[op] : "?";
}

// The tree as text, every logical node in parentheses; parent links are checked on the way.
std::string Shape(const CriteriaNode *node) {
    if (node == nullptr) return "<null>";
    if (node->left != nullptr || node->right != nullptr) {
        EXPECT_EQ(node, node->left->parent);
        EXPECT_EQ(node, node->right->parent);
        EXPECT_EQ(nullptr, node->columnName);
        EXPECT_EQ(nullptr, node->literal);
        return "(" + Shape(node->left) + " " + OperatorText(node->op) + " " + Shape(node->right) +
               ")";
    }
    return std::string(node->columnName) + " " + OperatorText(node->op) + " " + node->literal;
}

struct ParseCase {
    const char *text;
    const char *shape;  // null: no tree
    const char *error;  // the failure reported when there is no tree
};

void CheckParses(const std::vector<ParseCase> &cases) {
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(std::string("criteria: ") + c.text);
        Tree tree = Parse(c.text);
        if (c.shape == nullptr) {
            EXPECT_EQ(nullptr, tree.get()) << Shape(tree.get());
        } else {
            ASSERT_NE(nullptr, tree.get());
            EXPECT_EQ(nullptr, tree->parent);
            EXPECT_EQ(c.shape, Shape(tree.get()));
        }
        const char *error = nullptr;
        Tree again(ParseCriteriaText(c.text, -1, &error), FreeCriteriaTree);
        EXPECT_STREQ(c.error, error);
    }
}

TEST(CriteriaGrammar, PrecedenceGroupingAndMirroring) {
    CheckParses({
        {"age >= 18", "age >= 18", nullptr},
        // A literal on the left takes the mirrored operator.
        {"18 <= age", "age >= 18", nullptr},
        {"18 >= age", "age <= 18", nullptr},
        {"18 < age", "age > 18", nullptr},
        {"18 > age", "age < 18", nullptr},
        {"18 = age", "age = 18", nullptr},
        {"18 != age", "age != 18", nullptr},
        // "and" and "or" share one precedence and group from the right.
        {"a = 1 and b = 2 or c = 3", "(a = 1 and (b = 2 or c = 3))", nullptr},
        {"a = 1 or b = 2 and c = 3", "(a = 1 or (b = 2 and c = 3))", nullptr},
        {"a = 1 and b = 2 and c = 3", "(a = 1 and (b = 2 and c = 3))", nullptr},
        {"(a = 1 and b = 2) or c = 3", "((a = 1 and b = 2) or c = 3)", nullptr},
        {"((a = 1)) or (b = 2 or (c = 3))", "(a = 1 or (b = 2 or c = 3))", nullptr},
        {"age >= 18 and name = 'abc'", "(age >= 18 and name = 'abc')", nullptr},
    });
}

TEST(CriteriaGrammar, SyntaxErrors) {
    CheckParses({
        {"a = b", nullptr, "syntax error"},
        {"1 = 1", nullptr, "syntax error"},
        {"a", nullptr, "syntax error"},
        {"'a'", nullptr, "syntax error"},
        {"(a = 1", nullptr, "syntax error"},
        {"a = 1)", nullptr, "syntax error"},
        {"()", nullptr, "syntax error"},
        {"", nullptr, "syntax error"},
        {" \t ", nullptr, "syntax error"},
        {"a = 1 and", nullptr, "syntax error"},
        {"and a = 1", nullptr, "syntax error"},
        {"a = 1 b = 2", nullptr, "syntax error"},
        {"a == 1", nullptr, "syntax error"},
        {"a <> 5", nullptr, "syntax error"},  // "<" then ">"
        {"name = 'a' AND age = 1", nullptr, "syntax error"},
        {"a = 1 andb = 2", nullptr, "syntax error"},
        // The text holds one expression: a line break of its own is refused.
        {"a = 1\n", nullptr, "syntax error"},
        {"a = 1\nb = 2", nullptr, "syntax error"},
        {"\n", nullptr, "syntax error"},
    });
    EXPECT_EQ(nullptr, ParseCriteria(nullptr));
    FreeCriteriaTree(nullptr);
}

TEST(CriteriaTokens, ValidAndInvalidCharacters) {
    CheckParses({
        {"x = 007", "x = 007", nullptr},
        {"x = 1.25", "x = 1.25", nullptr},
        {"x=1", "x = 1", nullptr},
        {"x\t!=\t1", "x != 1", nullptr},
        {"Col_9 = 1", "Col_9 = 1", nullptr},
        // Upper-case keywords are names; a keyword inside a longer name is the name.
        {"AND = 1", "AND = 1", nullptr},
        {"OR < 1", "OR < 1", nullptr},
        {"android = 1 or order = 2", "(android = 1 or order = 2)", nullptr},
        {"a = 1and b = 2", "(a = 1 and b = 2)", nullptr},
        {"and = 1", nullptr, "syntax error"},
        {"1x = 1", nullptr, "syntax error"},  // a number, then a name
        {"x = 1.", nullptr, "invalid syntax"},
        {"x = .5", nullptr, "invalid syntax"},
        {"x = -5", nullptr, "invalid syntax"},  // no minus sign
        {"x = +5", nullptr, "invalid syntax"},
        {"id = 3;", nullptr, "invalid syntax"},
        {"t.c = 1", nullptr, "invalid syntax"},
        {"_x = 1", nullptr, "invalid syntax"},
        {"x ! 1", nullptr, "invalid syntax"},
        {"x = 1\r", nullptr, "invalid syntax"},
        {"x = 1 \x01", nullptr, "invalid syntax"},
        {"x = 1 \xc3\xa9", nullptr, "invalid syntax"},
    });
}

TEST(CriteriaTokens, QuotedLiterals) {
    CheckParses({
        {"x = 'abc'", "x = 'abc'", nullptr},
        {"x = ''", "x = ''", nullptr},
        {"x = 'a_b'", "x = 'a_b'", nullptr},
        {"x = 'a1__ b2_'", "x = 'a1__ b2_'", nullptr},
        {"x = ' !\"#$%&()*+,-./09:;<=>?@AZ[\\]^`az{|}~'",
         "x = ' !\"#$%&()*+,-./09:;<=>?@AZ[\\]^`az{|}~'", nullptr},
        {"'abc' = x", "x = 'abc'", nullptr},
        // An underscore only inside a word that starts with a letter.
        {"x = '1_b'", nullptr, "invalid syntax"},
        {"x = ' _'", nullptr, "invalid syntax"},
        {"x = '_'", nullptr, "invalid syntax"},
        // No escape for the quote: two literals.
        {"x = 'it''s'", nullptr, "syntax error"},
        {"x = 'abc", nullptr, "invalid syntax"},
        {"x = 'a\tb'", nullptr, "invalid syntax"},
        {"x = 'a\nb'", nullptr, "invalid syntax"},
        {"x = 'caf\xc3\xa9'", nullptr, "invalid syntax"},
    });
}

TEST(CriteriaGrammar, StackGrowsToItsLimit) {
    auto nested = [](int depth) {
        return std::string(size_t(depth), '(') + "a = 1" + std::string(size_t(depth), ')');
    };
    auto chain = [](int terms) {
        std::string text = "a = 1";
        for (int i = 1; i < terms; ++i) text += " and a = 1";
        return text;
    };
    // Past the first 200 entries the stack doubles; past 10000 the parse fails.
    EXPECT_EQ("a = 1", Shape(Parse(nested(300).c_str()).get()));
    Tree deep = Parse(chain(3000).c_str());
    ASSERT_NE(nullptr, deep.get());
    int depth = 0;
    for (const CriteriaNode *node = deep.get(); node->right != nullptr; node = node->right) ++depth;
    EXPECT_EQ(2999, depth);

    for (const std::string &text : {nested(10000), chain(6000)}) {
        const char *error = nullptr;
        EXPECT_EQ(nullptr, ParseCriteriaText(text.c_str(), -1, &error));
        EXPECT_STREQ("yacc stack overflow", error);
    }
}

// Every allocation of a parse fails in turn: each gives null, ends no process (the
// scanner's own out-of-memory errors included) and frees all that the parse had made.
TEST(CriteriaGrammar, FailedParsesLeakNothing) {
    const std::string nested = std::string(250, '(') + "a = 1" + std::string(250, ')');
    std::set<std::string> errors;
    for (const char *text : {"age >= 18 and (name = 'abc' or 7 > x)", nested.c_str()}) {
        SCOPED_TRACE(text);
        long limit = 0;
        for (;; ++limit) {
            const char *error = nullptr;
            CriteriaNode *tree = ParseCriteriaText(text, limit, &error);
            if (tree != nullptr) {
                EXPECT_EQ(nullptr, error);
                FreeCriteriaTree(tree);
                break;
            }
            ASSERT_NE(nullptr, error);
            errors.insert(error);
            ASSERT_LT(limit, 100);
        }
        EXPECT_GT(limit, 5);
    }
    EXPECT_EQ(1u, errors.count("out of dynamic memory in yy_scan_buffer()"));
    EXPECT_EQ(1u, errors.count("out of dynamic memory in yyensure_buffer_stack()"));
    EXPECT_EQ(1u, errors.count("yacc stack overflow"));
    EXPECT_EQ(1u, errors.count("out of memory"));

    // Syntax errors after nodes and texts are on the stack.
    for (const char *text : {"a = 1 and (b = 2 or c = 3", "a = 1 and b = 2 or c", "(a = 1) x",
                             "a = 1 or b = 2 and c = 3;", "a = 1\nb = 2 and c = 3"}) {
        EXPECT_EQ(nullptr, ParseCriteria(text)) << text;
    }
    EXPECT_FALSE(Leaked());
}

// A table definition's columns and one row of values, made with the store's conversions.
class Table {
  public:
    struct Column {
        const char *name;
        unsigned char type;
        const char *text;  // the row's value as text; null for NULL
    };

    explicit Table(const std::vector<Column> &columns) {
        columns_ = NewVector();
        count_ = int(columns.size());
        void **values = static_cast<void **>(calloc(columns.size(), sizeof(void *)));
        int *lengths = static_cast<int *>(calloc(columns.size(), sizeof(int)));
        for (size_t i = 0; i < columns.size(); ++i) {
            const Column &c = columns[i];
            AddElementData(columns_, CreateColumnDefn(c.name, c.type, nullptr, 0, 0, nullptr,
                                                      nullptr, 0, 1, nullptr));
            if (c.text != nullptr) {
                lengths[i] = int(strlen(c.text));
                values[i] = ConvertStringToColumnValue(c.text, &lengths[i], c.type);
            }
        }
        row_ = CreateNewRowObject(values, lengths);
    }
    ~Table() {
        FreeRowObject(row_, count_);
        for (VectorNode *node = columns_->head; node != nullptr; node = node->next) {
            FreeColumnDefn(static_cast<ColumnDefn *>(node->element));
        }
        FreeVector(columns_);
        free(columns_);
    }
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    // Replaces value i with the given bytes, as other producers store them.
    void Store(int i, const void *bytes, int length) {
        free(row_->values[i]);
        row_->values[i] = malloc(size_t(length));
        memcpy(row_->values[i], bytes, size_t(length));
        row_->lengths[i] = length;
    }

    // -1 when the text does not parse.
    int Evaluate(const char *criteria) {
        Tree tree = Parse(criteria);
        if (tree == nullptr) return -1;
        EXPECT_EQ(1, ResolveCriteriaColumns(columns_, tree.get()));
        int result = EvaluateCriteria(row_, tree.get());
        // A prepared plan, which converts each literal once for a whole select, judges alike.
        CriteriaPlan *plan = PrepareCriteria(tree.get());
        EXPECT_NE(nullptr, plan);
        EXPECT_EQ(result, EvaluateCriteriaPlan(row_, plan)) << criteria;
        FreeCriteriaPlan(plan);
        return result;
    }

    Vector *columns() { return columns_; }
    RowObject *row() { return row_; }

  private:
    Vector *columns_;
    RowObject *row_;
    int count_;
};

struct EvalCase {
    const char *criteria;
    int expected;
};

void CheckEvaluations(Table &table, const std::vector<EvalCase> &cases) {
    for (const EvalCase &c : cases) {
        EXPECT_EQ(c.expected, table.Evaluate(c.criteria)) << c.criteria;
    }
}

TEST(CriteriaEvaluation, ComparisonTable) {
    Table table({
        {"i", VEL_SQL_INT, "18"},
        {"ti", VEL_SQL_TINYINT, "-5"},
        {"uti", VEL_SQL_UNSIGNED_TINYINT, "200"},
        {"si", VEL_SQL_SMALLINT, "-300"},
        {"usi", VEL_SQL_UNSIGNED_SMALLINT, "60000"},
        {"ui", VEL_SQL_UNSIGNED_INT, "4000000000"},
        {"bi", VEL_SQL_BIGINT, "5000000000"},
        {"ul", VEL_SQL_UNSIGNED_LONG_INT, "1"},
        {"f", VEL_SQL_FLOAT, "1.5"},
        {"d", VEL_SQL_DOUBLE, "2.5"},
        {"r", VEL_SQL_REAL, "2.5"},
        {"dec", VEL_SQL_DECIMAL, "7"},
        {"name", VEL_SQL_VARCHAR, "abc"},
        {"c", VEL_SQL_CHAR, "x"},
        {"t", VEL_SQL_TEXT, "hello"},
        {"code", VEL_SQL_VARCHAR, "42"},
        {"dt", VEL_SQL_DATE, "2024-01-05"},
        {"b", VEL_SQL_BOOLEAN, "true"},
        {"zero", VEL_SQL_INT, "0"},
    });
    CheckEvaluations(
        table, {
                   // Signed integers, every operator, both sides.
                   {"i >= 18", 1},
                   {"i > 18", 0},
                   {"i < 19", 1},
                   {"i <= 17", 0},
                   {"i = 18", 1},
                   {"i != 18", 0},
                   {"18 <= i", 1},
                   {"19 <= i", 0},
                   {"18 = i", 1},
                   {"17 < i", 1},
                   {"ti < 1", 1},
                   {"ti > 100", 0},
                   {"si < 1", 1},
                   // Unsigned integers compare as unsigned at their own width.
                   {"uti > 100", 1},
                   {"usi > 50000", 1},
                   {"ui > 3000000000", 1},
                   {"ui = 4000000000", 1},
                   {"bi > 4294967296", 1},
                   {"bi = 5000000000", 1},
                   {"bi < 5000000000", 0},
                   {"f > 1.25", 1},
                   {"f = 1.5", 1},
                   {"f < 1.5", 0},
                   {"f != 1.5", 0},
                   // Texts: byte by byte, case-sensitive, a prefix first.
                   {"name = 'abc'", 1},
                   {"name = 'ABC'", 0},
                   {"name > 'abb'", 1},
                   {"name < 'abcd'", 1},
                   {"name > 'ab'", 1},
                   {"name >= 'abc'", 1},
                   {"name != 'abc'", 0},
                   {"name < ''", 0},
                   {"'abd' > name", 1},
                   {"c = 'x'", 1},
                   {"t = 'hello'", 1},
                   {"t > 'Hello'", 1},
                   // A bare number against a text column is compared as written.
                   {"code = 42", 1},
                   {"code = 4", 0},
                   {"code < 5", 1},
                   // Quotes are not digits: a quoted number against an integer column reads 0.
                   {"i = '18'", 0},
                   {"zero = '7'", 1},
                   // Types without a comparison, and unknown columns, match nothing.
                   {"ul = 1", 0},
                   {"ul != 1", 0},
                   {"d = 2.5", 0},
                   {"d != 1", 0},
                   {"r = 2.5", 0},
                   {"dec = 7", 0},
                   {"dt = '2024-01-05'", 0},
                   {"dt != '2000-01-01'", 0},
                   {"b = 1", 0},
                   {"missing = 1", 0},
                   {"missing != 1", 0},
                   // Column names bind ignoring case.
                   {"NAME = 'abc' and I = 18", 1},
                   {"i >= 18 and name = 'abc'", 1},
                   {"i >= 18 and name = 'x'", 0},
                   {"i < 18 or name = 'abc'", 1},
                   {"i < 18 or name = 'x' and c = 'x'", 0},
               });
    EXPECT_EQ(1, EvaluateCriteria(table.row(), nullptr));
    CriteriaPlan *all = PrepareCriteria(nullptr);
    EXPECT_EQ(1, EvaluateCriteriaPlan(table.row(), all));
    FreeCriteriaPlan(all);
}

TEST(CriteriaEvaluation, NullValues) {
    Table table({{"name", VEL_SQL_VARCHAR, nullptr},
                 {"n", VEL_SQL_INT, nullptr},
                 {"f", VEL_SQL_FLOAT, nullptr},
                 {"t", VEL_SQL_TEXT, nullptr}});
    CheckEvaluations(table, {
                                // NULL text comes before every text, the empty one included.
                                {"name < 'a'", 1},
                                {"name <= 'a'", 1},
                                {"name != 'a'", 1},
                                {"name < ''", 1},
                                {"name = 'a'", 0},
                                {"name > 'a'", 0},
                                {"name >= ''", 0},
                                {"t != 'x'", 1},
                                // Any other NULL makes every comparison false.
                                {"n = 0", 0},
                                {"n != 0", 0},
                                {"n < 1", 0},
                                {"n >= 0", 0},
                                {"f != 1.5", 0},
                            });
}

// Values stored narrower or wider than their column's type are read at their own width.
TEST(CriteriaEvaluation, IntegersAtTheirStoredWidth) {
    Table table({{"ti", VEL_SQL_TINYINT, "0"},
                 {"bi", VEL_SQL_BIGINT, "0"},
                 {"usi", VEL_SQL_UNSIGNED_SMALLINT, "0"},
                 {"odd", VEL_SQL_INT, "0"}});
    const int wide = 7;        // a 4-byte value in a 1-byte column
    const int generated = 12;  // generated ids are 4 bytes whatever the column
    const unsigned char narrow[2] = {0xff, 0xff};
    const unsigned char three[3] = {1, 0, 0};
    table.Store(0, &wide, 4);
    table.Store(1, &generated, 4);
    table.Store(2, narrow, 2);
    table.Store(3, three, 3);
    CheckEvaluations(table, {
                                {"ti = 7", 1},
                                {"bi = 12", 1},
                                {"bi < 13", 1},
                                {"usi = 65535", 1},
                                {"usi > 1", 1},
                                {"odd = 1", 0},
                                {"odd != 1", 0},  // a length no integer has
                            });
}

TEST(CriteriaEvaluation, RangesOverRows) {
    Table table({{"age", VEL_SQL_INT, "0"}});
    for (int age : {0, 17, 18, 40, 64, 65, 200}) {
        table.Store(0, &age, 4);
        SCOPED_TRACE(age);
        EXPECT_EQ(age >= 18 && age < 65, table.Evaluate("age >= 18 and age < 65"));
        EXPECT_EQ(table.Evaluate("age >= 18"), table.Evaluate("18 <= age"));
    }
}

// The column index is one byte: a column past position 255 stays unbound instead of
// binding to the column its position wraps to.
TEST(CriteriaEvaluation, ColumnBeyondTheOneByteIndex) {
    std::vector<std::string> names;
    for (int i = 0; i < 301; ++i) names.push_back("c" + std::to_string(i));
    std::vector<Table::Column> columns;
    for (const std::string &name : names) columns.push_back({name.c_str(), VEL_SQL_INT, "1"});
    Table table(columns);

    Tree tree = Parse("c255 = 1 and c300 = 1");
    ASSERT_NE(nullptr, tree.get());
    ResolveCriteriaColumns(table.columns(), tree.get());
    EXPECT_EQ(255, tree->left->columnIndex);
    EXPECT_EQ(VEL_SQL_INT, tree->left->columnType);
    EXPECT_EQ(0, tree->right->columnIndex);
    EXPECT_EQ(VEL_SQL_NOT_SUPPORTED_TYPE, tree->right->columnType);
    EXPECT_EQ(1, table.Evaluate("c255 = 1"));
    EXPECT_EQ(0, table.Evaluate("c300 = 1"));
}

}  // namespace
