// The one SQL generator behind the four dialects; see sqlgen.h for the contract and
// sqlgen_dialects.cpp for what differs between them.
#include "db/sqlgen.h"

#include <apr_pools.h>
#include <apr_strings.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/string_buffer.h"
#include "logging/log.h"
#include "store/column_defn.h"
#include "store/datetime.h"
#include "store/row_object.h"
#include "util/strings.h"

namespace {

enum Operation { kSelect = 0, kUpdate, kInsert, kDelete, kCreate, kConvert };

constexpr uint32_t kStatementStep = 512;  // selects and create-table grow in these steps
// Deeper criteria trees are refused rather than risking the stack on a runaway (or cyclic)
// tree; a real condition is nowhere near this.
constexpr int kMaxCriteriaDepth = 1000;

const char *const kUnsupportedType = "Unsupported Datatype Used in Query generation.\n";

// Statement text over a StringBuffer. The first failed append sticks, so writers append
// freely and the caller asks once at the end.
class Sql {
  public:
    Sql(uint32_t capacity, uint32_t step) : ok_(InitStringBuffer(&buffer_, capacity, step) == 1) {}
    ~Sql() { FreeStringBuffer(&buffer_); }
    Sql(const Sql &) = delete;
    Sql &operator=(const Sql &) = delete;

    Sql &operator<<(std::string_view text) {
        if (ok_) ok_ = AppendBytesToStringBuffer(&buffer_, text.data(), text.size()) == 1;
        return *this;
    }
    Sql &operator<<(long long number) { return *this << std::string_view(std::to_string(number)); }
    bool ok() const { return ok_; }

    // A malloc'd copy for the caller, or null.
    char *Release() const {
        if (!ok_) return nullptr;
        char *copy = static_cast<char *>(malloc(size_t(buffer_.length) + 1));
        if (copy == nullptr) {
            LogError("@@@ Query String Copy falied @@@\n");
            return nullptr;
        }
        memcpy(copy, buffer_.text, size_t(buffer_.length) + 1);
        return copy;
    }
    // The buffer's own text for the caller (free), or null; the buffer is empty afterwards.
    // Row statements are written many at a time, and a copy would only be thrown away.
    char *Hand() {
        if (!ok_) return nullptr;
        char *text = buffer_.text;
        buffer_ = StringBuffer{};
        ok_ = false;
        return text;
    }

  private:
    StringBuffer buffer_;
    bool ok_;
};

std::string_view Text(const char *text) {
    return text ? std::string_view(text) : std::string_view();
}

// Bytes of a value up to its length or its first zero byte, as text.
std::string_view BytesText(const void *bytes, int32_t length) {
    if (bytes == nullptr || length <= 0) return {};
    const char *text = static_cast<const char *>(bytes);
    return {text, strnlen(text, size_t(length))};
}

bool SameName(const char *a, const char *b) {
    return a && b && StrCompareNoCase(a, b) == 0;
}

template <typename T>
std::vector<T *> Elements(const Vector *vector) {
    std::vector<T *> out;
    if (vector == nullptr) return out;
    out.reserve(size_t(vector->count > 0 ? vector->count : 0));
    for (const VectorNode *node = vector->head; node != nullptr; node = node->next) {
        out.push_back(static_cast<T *>(node->element));
    }
    return out;
}

// ---- values ----

// A number as SQL reads it: sign, digits with an optional fraction, optional exponent.
bool IsPlainNumber(std::string_view text) {
    size_t i = 0, n = text.size();
    auto digits = [&] {
        size_t start = i;
        while (i < n && text[i] >= '0' && text[i] <= '9') ++i;
        return i - start;
    };
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t whole = digits();
    size_t fraction = 0;
    if (i < n && text[i] == '.') {
        ++i;
        fraction = digits();
    }
    if (whole + fraction == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == n;
}

// "Y-M-D", "h:m:s" or both joined by a blank (seconds may carry a fraction).
bool IsDateTimeText(std::string_view text) {
    size_t i = 0;
    auto fields = [&](char separator) {
        for (int field = 0; field < 3; ++field) {
            if (field > 0 && (i >= text.size() || text[i++] != separator)) return false;
            size_t start = i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
            if (i == start) return false;
        }
        return true;
    };
    const bool hasDate = text.find('-') != std::string_view::npos;
    if (hasDate && !fields('-')) return false;
    if (hasDate && i == text.size()) return true;
    if (hasDate && text[i++] != ' ') return false;
    if (!fields(':')) return false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    }
    return i == text.size();
}

std::string Quoted(const SqlDialect &dialect, std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '\'';
    for (char c : text) {
        if (c == '\'') out += '\'';
        if (c == '\\' && dialect.escapesBackslash) out += '\\';
        out += c;
    }
    out += '\'';
    return out;
}

// A value as the statement writes it. Where the statement quotes, the text is quoted and
// escaped. Where it writes the value bare, only numbers and a boolean's own forms stay
// bare: any other text (a date, a CLOB, a DECIMAL that is no number) would break the
// statement or become part of it, so it is quoted as well.
std::string Literal(const SqlDialect &dialect, unsigned char type, std::string_view text,
                    bool quoted) {
    if (!quoted && (type == VEL_SQL_BOOLEAN || IsPlainNumber(text))) return std::string(text);
    return Quoted(dialect, text);
}

// A row or default value's text (ConvertColumnValueToString), with a boolean in the
// dialect's own form. Nullopt for a value the store has no text for.
std::optional<std::string> StoredText(const SqlDialect &dialect, const void *value, int length,
                                      unsigned char type) {
    char *text = ConvertColumnValueToString(value, length, type);
    if (text == nullptr) return std::nullopt;
    std::string out(text);
    free(text);
    if (type == VEL_SQL_BOOLEAN && dialect.booleanDigits) out = out == "'t'" ? "1" : "0";
    return out;
}

bool InSet(uint32_t types, unsigned char type) {
    return type < 32 && (types >> type) & 1u;
}

constexpr uint32_t TypeBits(std::initializer_list<int> types) {
    uint32_t bits = 0;
    for (int t : types) bits |= uint32_t(1) << t;
    return bits;
}

// The quoted type sets of the statements.
constexpr uint32_t kQ7 = TypeBits({VEL_SQL_CHAR, VEL_SQL_VARCHAR, VEL_SQL_DATE, VEL_SQL_TIME,
                                   VEL_SQL_DATETIME, VEL_SQL_BLOB, VEL_SQL_TEXT});
constexpr uint32_t kQ6 = kQ7 & ~TypeBits({VEL_SQL_TEXT});
constexpr uint32_t kDeleteKeyQuoted =
    TypeBits({VEL_SQL_CHAR, VEL_SQL_VARCHAR, VEL_SQL_BLOB, VEL_SQL_TEXT});

// ---- table definitions ----

std::vector<ColumnDefn *> Columns(const TableDefn *defn) {
    return defn ? Elements<ColumnDefn>(defn->columns) : std::vector<ColumnDefn *>();
}

bool IsKeyColumn(const TableDefn *defn, const char *columnName) {
    const TableConstraints *constraints = defn->constraints;
    if (constraints == nullptr || constraints->primaryKeyColumns == nullptr) return false;
    for (int i = 0; i < constraints->primaryKeyCount; ++i) {
        if (SameName(constraints->primaryKeyColumns[i], columnName)) return true;
    }
    return false;
}

int KeyCount(const TableDefn *defn) {
    const TableConstraints *constraints = defn->constraints;
    return constraints && constraints->primaryKeyColumns ? constraints->primaryKeyCount : 0;
}

// ---- select ----

class SelectWriter {
  public:
    SelectWriter(const SqlDialect &dialect, SelectQuery *query, Sql &out)
        : d_(dialect), q_(*query), out_(out) {}

    bool Write() {
        const bool hasColumns = q_.columns.count > 0;
        const bool hasJoins = q_.joins.count > 0;
        const bool hasTables = q_.tables.count > 0;
        if (!hasJoins && !hasTables) {
            LogError("\nNo Tables To Be Selected\n");
            return false;
        }
        out_ << "select ";
        if (d_.limitStyle == SQL_FIRST_SKIP_HEAD) {
            if (q_.first != 0) out_ << "first " << q_.first << " ";
            if (q_.skip != 0) out_ << "skip " << q_.skip << " ";
            if (!hasColumns) out_ << " ";
        }
        if (hasColumns) {
            if (!Columns()) return false;
            out_ << "from ";
        } else {
            out_ << "* from ";
        }
        if (hasJoins && !Joins()) return false;
        if (hasTables) {
            if (hasJoins) out_ << ",";
            if (!Tables()) return false;
        }
        if (q_.criteria != nullptr) {
            out_ << "where ";
            if (!Criteria(q_.criteria, 0)) return false;
        }
        if (q_.groupBy != nullptr && !GroupBy()) return false;
        if (q_.sort != nullptr && !Sort()) return false;
        if (d_.limitStyle == SQL_LIMIT_OFFSET && q_.first != 0) {
            out_ << "limit " << q_.first;
            if (q_.skip != 0) out_ << " offset " << q_.skip;
        } else if (d_.limitStyle == SQL_LIMIT_SKIP_FIRST && q_.first != 0) {
            out_ << "limit";
            if (q_.skip != 0) out_ << " " << q_.skip << " ,";
            out_ << " " << q_.first;
        }
        return true;
    }

  private:
    static bool Refuse(const char *what) {
        LogError("Incomplete select query: %s\n", what);
        return false;
    }

    static std::string Prefix(const SelectColumn *column) {
        if (column->tableAlias) return std::string(column->tableAlias) + ".";
        if (column->tableName) return std::string(column->tableName) + ".";
        return {};
    }

    static bool Named(const SelectColumn *column) {
        if (column != nullptr && column->columnName != nullptr) return true;
        LogError("\nColumn Name is NULL\n");
        return false;
    }

    static bool ValidAggregate(unsigned char aggregate) {
        if (aggregate <= AGGREGATE_AVG) return true;
        LogError("Invalid Aggregate\n");
        return false;
    }

    bool Columns() {
        std::vector<SelectColumn *> columns = Elements<SelectColumn>(&q_.columns);
        for (size_t i = 0; i < columns.size(); ++i) {
            const SelectColumn *c = columns[i];
            if (c == nullptr || !ValidAggregate(c->aggregate)) return false;
            if (c->aggregate == AGGREGATE_NONE) {
                if (!Named(c)) return false;
                out_ << Prefix(c) << c->columnName;
                if (c->columnAlias) out_ << " as " << c->columnAlias << " ";
            } else if (c->columnName == nullptr) {
                out_ << " " << gv_aggregateTexts[c->aggregate] << "(*)";
            } else {
                out_ << " " << gv_aggregateTexts[c->aggregate] << "(" << Prefix(c) << c->columnName
                     << ")";
            }
            out_ << (i + 1 < columns.size() ? "," : " \n");
        }
        return true;
    }

    // A join column's table prefix: its own, else the join's alias or table on its side.
    static std::string JoinPrefix(const SelectColumn *column, const char *alias,
                                  const char *table) {
        std::string own = Prefix(column);
        if (!own.empty()) return own;
        return std::string(alias ? alias : table) + ".";
    }

    bool Joins() {
        std::vector<SelectJoin *> joins = Elements<SelectJoin>(&q_.joins);
        for (size_t i = 0; i < joins.size(); ++i) {
            const SelectJoin *join = joins[i];
            if (join == nullptr || join->baseTable == nullptr || join->refTable == nullptr) {
                return Refuse("a join without its tables");
            }
            if (i == 0) {
                out_ << " " << join->baseTable << " ";
                if (join->baseAlias) out_ << d_.joinAliasPrefix << join->baseAlias << " ";
            }
            if (join->joinType == INNER_JOIN) {
                out_ << " inner join ";
            } else if (join->joinType == LEFT_JOIN) {
                out_ << " left join ";
            } else {
                LogError("Invalid Join Type\n");
                return false;
            }
            out_ << " " << join->refTable << " ";
            if (join->refAlias) out_ << d_.joinAliasPrefix << join->refAlias << " ";
            if (join->baseColumns == nullptr || join->refColumns == nullptr) continue;
            std::vector<SelectColumn *> base = Elements<SelectColumn>(join->baseColumns);
            std::vector<SelectColumn *> ref = Elements<SelectColumn>(join->refColumns);
            if (base.empty() || base.size() != ref.size()) {
                return Refuse("join columns that do not pair up");
            }
            out_ << " on ";
            for (size_t k = 0; k < base.size(); ++k) {
                if (!Named(base[k]) || !Named(ref[k])) return false;
                out_ << JoinPrefix(base[k], join->baseAlias, join->baseTable) << base[k]->columnName
                     << " = " << JoinPrefix(ref[k], join->refAlias, join->refTable)
                     << ref[k]->columnName << (k + 1 < base.size() ? " and " : " ");
            }
        }
        return true;
    }

    bool Tables() {
        std::vector<SelectTable *> tables = Elements<SelectTable>(&q_.tables);
        for (size_t i = 0; i < tables.size(); ++i) {
            const SelectTable *table = tables[i];
            if (table == nullptr || table->name == nullptr) return Refuse("a table without name");
            out_ << table->name;
            if (table->alias) out_ << d_.tableAliasPrefix << table->alias << " ";
            out_ << (i + 1 < tables.size() ? ", " : "\n");
        }
        return true;
    }

    // The value of a leaf or having condition as the statement writes it.
    std::optional<std::string> ValueText(const QueryCriterion *leaf, bool quoted) {
        const unsigned char type = leaf->column->dataType;
        const char *text = CriteriaValueToText(leaf->value, leaf->length, type, q_.pool);
        if (text == nullptr) {
            LogError(kUnsupportedType);
            return std::nullopt;
        }
        if (type == VEL_SQL_BOOLEAN && d_.booleanDigits) {
            text = leaf->value && leaf->value[0] == 1 ? "1" : "0";
        }
        return Literal(d_, type, text, quoted);
    }

    // "<literal> AND <literal>", each a number or a quoted text: the one shape a BETWEEN
    // value written as it stands may take without adding SQL of its own.
    bool IsBetweenRange(std::string_view text) const {
        size_t i = 0;
        const size_t n = text.size();
        auto blanks = [&] {
            size_t start = i;
            while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n')) ++i;
            return i > start;
        };
        auto literal = [&] {
            if (i < n && text[i] == '\'') {
                for (++i; i < n; ++i) {
                    if (text[i] == '\\' && d_.escapesBackslash) return false;
                    if (text[i] != '\'') continue;
                    if (i + 1 < n && text[i + 1] == '\'') {
                        ++i;
                        continue;
                    }
                    ++i;
                    return true;
                }
                return false;
            }
            size_t start = i;
            while (i < n && text[i] != ' ' && text[i] != '\t' && text[i] != '\n') ++i;
            return IsPlainNumber(text.substr(start, i - start));
        };
        blanks();
        if (!literal() || !blanks()) return false;
        auto upper = [&](size_t at) { return char(text[at] & ~0x20); };
        if (i + 3 > n || upper(i) != 'A' || upper(i + 1) != 'N' || upper(i + 2) != 'D')
            return false;
        i += 3;
        if (!blanks() || !literal()) return false;
        blanks();
        return i == n;
    }

    bool Criteria(const QueryCriterion *node, int depth) {
        if (node == nullptr) return true;
        if (depth > kMaxCriteriaDepth) {
            LogError("Criteria nested too deeply\n");
            return false;
        }
        if (node->column == nullptr) {
            if (node->op != OPERATOR_AND && node->op != OPERATOR_OR) {
                LogError("Invalid Operator\n");
                return false;
            }
            if (!Operand(node->left, node, depth)) return false;
            out_ << " " << gv_operatorTexts[node->op] << " ";
            return Operand(node->right, node, depth);
        }
        return Leaf(node);
    }

    // SQL binds AND before OR, so an OR below an AND is bracketed to keep the tree's
    // meaning; every other shape reads the same without brackets.
    bool Operand(const QueryCriterion *child, const QueryCriterion *parent, int depth) {
        const bool bracket = parent->op == OPERATOR_AND && child != nullptr &&
                             child->column == nullptr && child->op == OPERATOR_OR;
        if (bracket) out_ << "(";
        if (!Criteria(child, depth + 1)) return false;
        if (bracket) out_ << ")";
        return true;
    }

    bool Leaf(const QueryCriterion *leaf) {
        const SelectColumn *column = leaf->column;
        if (!Named(column)) return false;
        const unsigned char op = leaf->op;
        const bool comparison = (op >= OPERATOR_LESS && op <= OPERATOR_NOT_EQUAL) ||
                                op == OPERATOR_LIKE || op == OPERATOR_BETWEEN;
        if (!comparison) {
            LogError("Invalid Operator\n");
            return false;
        }
        if (column->tableAlias) {
            out_ << " " << column->tableAlias << ".";
        } else if (column->tableName) {
            out_ << " " << column->tableName << ".";
        }
        out_ << column->columnName << " " << gv_operatorTexts[op] << " ";
        if (column->dataType == VEL_SQL_BOOLEAN) {
            const bool truth = leaf->value && leaf->length > 0 && leaf->value[0] == 1;
            out_ << " " << (truth ? d_.criteriaTrue : d_.criteriaFalse) << " ";
            return true;
        }
        if (op == OPERATOR_BETWEEN) {
            std::string_view range = BytesText(leaf->value, leaf->length);
            if (!IsBetweenRange(range)) {
                LogError("Invalid BETWEEN range: %.*s\n", int(range.size()), range.data());
                return false;
            }
            out_ << " " << range << " ";
            return true;
        }
        std::optional<std::string> value = ValueText(leaf, InSet(kQ6, column->dataType));
        if (!value) return false;
        out_ << " " << *value << " ";
        return true;
    }

    bool GroupBy() {
        std::vector<SelectColumn *> columns = Elements<SelectColumn>(q_.groupBy->columns);
        if (columns.empty()) return Refuse("a group-by without columns");
        out_ << "group by ";
        for (size_t i = 0; i < columns.size(); ++i) {
            const SelectColumn *c = columns[i];
            if (c != nullptr && c->columnAlias) {
                out_ << c->columnAlias;
            } else {
                if (!Named(c)) return false;
                // A column without table is written alone rather than as "(null).name".
                if (c->tableName) out_ << c->tableName << ".";
                out_ << c->columnName;
            }
            out_ << (i + 1 < columns.size() ? "," : "\n");
        }
        const QueryCriterion *having = q_.groupBy->having;
        if (having == nullptr) return true;
        const SelectColumn *column = having->column;
        if (!Named(column)) return false;
        if (!ValidAggregate(column->aggregate)) return false;
        if (column->aggregate == AGGREGATE_NONE) {
            LogError("Invalid Aggregate\n");  // "having" compares an aggregate
            return false;
        }
        const unsigned char op = having->op;
        if (!((op >= OPERATOR_LESS && op <= OPERATOR_NOT_EQUAL) || op == OPERATOR_LIKE)) {
            LogError("Invalid Operator\n");
            return false;
        }
        std::optional<std::string> value = ValueText(having, false);
        if (!value) return false;
        out_ << "having "
             << " " << gv_aggregateTexts[column->aggregate] << "(" << Prefix(column)
             << column->columnName << ") "
             << " " << gv_operatorTexts[op] << " "
             << " " << *value << " ";
        return true;
    }

    bool Sort() {
        std::vector<SelectColumn *> columns = Elements<SelectColumn>(q_.sort->columns);
        if (columns.empty()) return Refuse("an order-by without columns");
        out_ << "order by ";
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!Named(columns[i])) return false;
            out_ << Prefix(columns[i]) << columns[i]->columnName
                 << (i + 1 < columns.size() ? "," : " ");
        }
        out_ << (q_.sort->direction == 0 ? " desc " : " asc ");
        return true;
    }

    const SqlDialect &d_;
    SelectQuery &q_;
    Sql &out_;
};

// ---- update, insert, delete ----

// Row statements start small and grow by the default step: most fit, and the default capacity
// would be allocated and zeroed (10,000 bytes) for every row a save writes.
constexpr uint32_t kRowStatementCapacity = 256;

void LogProduced(const char *kind, const char *text) {
    if (text != nullptr) LogTrace("\n%s Query constructed is\n%s\n", kind, text);
}

bool RefuseUnidentified(const char *tableName, const char *kind) {
    LogError("No primary key value to identify the row - Cannot generate %s query for %s.\n", kind,
             tableName);
    return false;
}

// The where text naming the row by its whole primary key; false (logged) when a key column
// has no value or the table has no key, since the statement would then reach other rows
// (or, with no where text at all, every row).
bool KeyCondition(const SqlDialect &dialect, const TableDefn *defn, RowObject *row,
                  uint32_t quotedTypes, const char *kind, std::string *where) {
    std::vector<ColumnDefn *> columns = Columns(defn);
    int found = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnDefn *column = columns[i];
        if (!IsKeyColumn(defn, column->name)) continue;
        LogTrace("%s is a primary key column\n", column->name);
        if (row->values[i] == nullptr) return RefuseUnidentified(defn->name, kind);
        std::optional<std::string> text =
            StoredText(dialect, row->values[i], row->lengths[i], column->dataType);
        if (!text) {
            LogError(kUnsupportedType);
            return false;
        }
        if (found++ > 0) *where += " and ";
        *where += column->name;
        *where += "=";
        *where += Literal(dialect, column->dataType, *text, InSet(quotedTypes, column->dataType));
    }
    if (found == 0) return RefuseUnidentified(defn->name, kind);
    return true;
}

// The table's definition when it has columns and the row has values; null otherwise.
const TableDefn *RowTable(const char *tableName, const RowObject *row) {
    if (tableName == nullptr || row == nullptr || row->values == nullptr ||
        row->lengths == nullptr) {
        return nullptr;
    }
    const TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr || defn->columns == nullptr || defn->columns->count == 0) return nullptr;
    return defn;
}

char *Update(const SqlDialect &dialect, const char *tableName, RowObject *row) {
    const TableDefn *defn = RowTable(tableName, row);
    if (defn == nullptr) return nullptr;
    Sql sql(kRowStatementCapacity, STRING_BUFFER_DEFAULT_STEP);
    if (!sql.ok()) {
        LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
        return nullptr;
    }
    sql << "update " << tableName << " set ";
    std::vector<ColumnDefn *> columns = Columns(defn);
    int set = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnDefn *column = columns[i];
        if (IsKeyColumn(defn, column->name)) continue;
        // Absence is the missing value itself, not its text: a text value "NULL" is a value.
        std::string text = "NULL";
        if (row->values[i] != nullptr) {
            std::optional<std::string> value =
                StoredText(dialect, row->values[i], row->lengths[i], column->dataType);
            if (!value) {
                LogError(kUnsupportedType);
                return nullptr;
            }
            text = Literal(dialect, column->dataType, *value, InSet(kQ7, column->dataType));
        }
        sql << (set++ > 0 ? "," : "") << column->name << "=" << text;
    }
    if (set == 0) {
        LogError("No column to set - Cannot generate update query for %s.\n", defn->name);
        return nullptr;
    }
    std::string where;
    if (!KeyCondition(dialect, defn, row, dialect.updateKeyQuotedTypes, "update", &where)) {
        return nullptr;
    }
    sql << " where " << where;
    return sql.Hand();
}

char *Insert(const SqlDialect &dialect, const char *tableName, RowObject *row) {
    const TableDefn *defn = RowTable(tableName, row);
    if (defn == nullptr) return nullptr;
    Sql sql(kRowStatementCapacity, STRING_BUFFER_DEFAULT_STEP);
    if (!sql.ok()) {
        LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
        return nullptr;
    }
    sql << "insert into  " << tableName << " values(";
    std::vector<ColumnDefn *> columns = Columns(defn);
    for (size_t i = 0; i < columns.size(); ++i) {
        const unsigned char type = columns[i]->dataType;
        if (i > 0) sql << ",";
        if (row->values[i] == nullptr) {
            sql << "NULL";
            continue;
        }
        // A value the store cannot write is refused, not stored as NULL in its place.
        char *raw = ConvertColumnValueToString(row->values[i], row->lengths[i], type);
        if (raw == nullptr) {
            LogError(kUnsupportedType);
            return nullptr;
        }
        std::string text(raw);
        free(raw);
        if (type == VEL_SQL_BOOLEAN) {
            bool truth = StrCompareNoCase(text.c_str(), "'t'") == 0;
            if (dialect.insertBooleanQuoted) {
                sql << (truth ? "'t'" : "'f'");
            } else {
                sql << (truth ? "1" : "0");
            }
        } else {
            sql << Literal(dialect, type, text, InSet(kQ7, type));
        }
    }
    sql << dialect.insertEnd;
    return sql.Hand();
}

char *Delete(const SqlDialect &dialect, const char *tableName, RowObject *row) {
    const TableDefn *defn = RowTable(tableName, row);
    if (defn == nullptr) return nullptr;
    std::vector<ColumnDefn *> columns = Columns(defn);
    for (size_t i = 0; i < columns.size(); ++i) {
        if (row->values[i] == nullptr) continue;
        char *text =
            ConvertColumnValueToString(row->values[i], row->lengths[i], columns[i]->dataType);
        if (text == nullptr) return nullptr;
        free(text);
    }
    std::string where;
    if (!KeyCondition(dialect, defn, row, kDeleteKeyQuoted, "delete", &where)) return nullptr;
    Sql sql(kRowStatementCapacity, STRING_BUFFER_DEFAULT_STEP);
    sql << "delete from " << tableName << " "
        << " where " << where;
    return sql.Hand();
}

// ---- create table ----

std::string DefaultPart(const SqlDialect &dialect, const ColumnDefn *column, unsigned char style) {
    if (column->defaultValue == nullptr || style == SQL_DEFAULT_NONE) return " ";
    const unsigned char type = column->dataType;
    switch (style) {
        case SQL_DEFAULT_INTEGER: {
            long long value = ReadStoredInteger(column->defaultValue, column->defaultLength, type);
            return "DEFAULT " + (type == VEL_SQL_UNSIGNED_LONG_INT
                                     ? std::to_string(static_cast<unsigned long long>(value))
                                     : std::to_string(value));
        }
        case SQL_DEFAULT_TEXT: {
            return "DEFAULT " +
                   Quoted(dialect, BytesText(column->defaultValue, column->defaultLength));
        }
        case SQL_DEFAULT_BOOLEAN_QUOTED:
        case SQL_DEFAULT_BOOLEAN_DIGITS: {
            const bool truth = *static_cast<const unsigned char *>(column->defaultValue) == 1;
            if (style == SQL_DEFAULT_BOOLEAN_DIGITS) return truth ? "DEFAULT 1" : "DEFAULT 0";
            return truth ? "DEFAULT 't'" : "DEFAULT 'f'";
        }
        default:
            return " ";
    }
}

std::string ColumnDefinition(const SqlDialect &dialect, const ColumnDefn *column) {
    if (column->dataType > VEL_SQL_LAST_TYPE) return {};
    const SqlColumnForm &form = dialect.columnForms[column->dataType];
    if (form.form == nullptr) return {};
    std::string out;
    for (const char *p = form.form; *p; ++p) {
        if (p[0] == '{' && p[1] != '\0' && p[2] == '}') {
            if (p[1] == 'n') out += column->name;
            if (p[1] == 's') out += std::to_string(column->maxSize + dialect.varcharExtra);
            if (p[1] == 'd') out += DefaultPart(dialect, column, form.defaultStyle);
            p += 2;
        } else {
            out += *p;
        }
    }
    return out;
}

// Foreign keys grouped as the statement writes them: a key takes in the following keys to
// the same table (ignoring case) whose reference columns it does not hold yet.
std::vector<std::vector<const ForeignKeyDefn *>> ForeignKeyGroups(const TableDefn *defn) {
    std::vector<std::vector<const ForeignKeyDefn *>> groups;
    if (defn->constraints == nullptr) return groups;
    std::vector<ForeignKeyDefn *> keys = Elements<ForeignKeyDefn>(defn->constraints->foreignKeys);
    std::vector<bool> taken(keys.size(), false);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (taken[i]) continue;
        std::vector<const ForeignKeyDefn *> group{keys[i]};
        for (size_t j = i + 1; j < keys.size(); ++j) {
            if (taken[j] || !SameName(keys[j]->referenceTable, keys[i]->referenceTable)) continue;
            bool fresh = true;
            for (const ForeignKeyDefn *member : group) {
                if (SameName(member->referenceColumn, keys[j]->referenceColumn)) fresh = false;
            }
            if (!fresh) continue;
            group.push_back(keys[j]);
            taken[j] = true;
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

void LogTableDefn(const TableDefn *defn, const std::vector<ColumnDefn *> &columns) {
    LogTrace("Table %s : %s\n", defn->name, defn->description ? defn->description : "");
    for (const ColumnDefn *column : columns) {
        LogTrace("Column %s : type %d, max size %d, nullable %d, unique %d\n", column->name,
                 column->dataType, column->maxSize, column->nullable, column->unique);
    }
    for (int i = 0; i < KeyCount(defn); ++i) {
        LogTrace("Primary key : %s\n",
                 std::string(Text(defn->constraints->primaryKeyColumns[i])).c_str());
    }
}

char *Create(const SqlDialect &dialect, const char *tableName) {
    Sql sql(kStatementStep, kStatementStep);
    if (!sql.ok() || tableName == nullptr) return nullptr;
    const TableDefn *defn = GetTableDefn(tableName);
    if (defn == nullptr || defn->columns == nullptr || defn->columns->count == 0) return nullptr;
    std::vector<ColumnDefn *> columns = Columns(defn);
    LogTableDefn(defn, columns);
    const int keys = KeyCount(defn);
    std::vector<std::vector<const ForeignKeyDefn *>> groups = ForeignKeyGroups(defn);
    for (const auto &group : groups) {
        for (const ForeignKeyDefn *key : group) {
            if (!key->localColumn || !key->referenceColumn || !key->referenceTable) {
                LogError("Incomplete foreign key in table %s\n", defn->name);
                return nullptr;
            }
        }
    }

    sql << "CREATE TABLE " << tableName << "(\n";
    for (size_t i = 0; i < columns.size(); ++i) {
        const ColumnDefn *column = columns[i];
        sql << ColumnDefinition(dialect, column);
        if (!column->nullable) sql << " NOT NULL";
        if (column->unique) sql << " UNIQUE";
        sql << (i + 1 < columns.size() || keys > 0 ? ",\n" : "\n");
    }
    if (keys > 0) {
        sql << "\tPRIMARY KEY(";
        for (int i = 0; i < keys; ++i) {
            sql << (i > 0 ? ", " : "") << Text(defn->constraints->primaryKeyColumns[i]);
        }
        sql << ")";
    }
    if (!groups.empty()) {
        sql << ",\n";
        for (size_t g = 0; g < groups.size(); ++g) {
            std::string local, reference;
            for (const ForeignKeyDefn *key : groups[g]) {
                if (!local.empty()) {
                    local += ",";
                    reference += ",";
                }
                local += key->localColumn;
                reference += key->referenceColumn;
            }
            sql << "\tFOREIGN KEY(" << local << ") REFERENCES " << groups[g][0]->referenceTable
                << " (" << reference << ") ON DELETE CASCADE";
            if (dialect.foreignKeyIndexes) {
                sql << ",\n\tINDEX " << tableName << "_IDX" << (long long)g << " (" << local << ")";
            }
            if (g + 1 < groups.size()) sql << ",\n";
        }
    }
    sql << dialect.createEnd;
    return sql.Release();
}

// ---- result rows ----

void *CopyBytes(const unsigned char *bytes, int32_t length) {
    size_t n = length > 0 ? size_t(length) : 0;
    auto *copy = static_cast<unsigned char *>(malloc(n + 1));
    if (copy == nullptr) return nullptr;
    if (n > 0) memcpy(copy, bytes, n);
    copy[n] = '\0';
    return copy;
}

// Date and time text ("%d-%d-%d %d:%d:%d", a date alone or a time alone) in the stored form
// of the column's type: a VelDateTime with both parts for DATETIME, a bare VelDate for DATE,
// a bare VelTime for TIME. Null for text that is no date or time.
void *ParseDateText(const char *text, unsigned char type, int *length) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    bool date = false, time = false;
    if (sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) == 6) {
        date = time = true;
    } else if ((y = mo = d = 0, sscanf(text, "%d-%d-%d", &y, &mo, &d) == 3)) {
        date = true;
    } else if ((y = mo = d = 0, sscanf(text, "%d:%d:%d", &h, &mi, &s) == 3)) {
        time = true;
    }
    VelDate dateValue{int16_t(y), uint8_t(mo), uint8_t(d)};
    VelTime timeValue{uint8_t(h), uint8_t(mi), uint8_t(s)};
    if (type == VEL_SQL_DATE && date) {
        *length = VEL_DATE_LENGTH;
        return CopyBytes(reinterpret_cast<unsigned char *>(&dateValue), sizeof dateValue);
    }
    if (type == VEL_SQL_TIME && time) {
        *length = VEL_TIME_LENGTH;
        return CopyBytes(reinterpret_cast<unsigned char *>(&timeValue), sizeof timeValue);
    }
    if (type == VEL_SQL_DATETIME && (date || time)) {
        *length = VEL_DATETIME_LENGTH;
        return CreateDateTimeColumnValue(&dateValue, &timeValue);
    }
    return nullptr;
}

RowObject *ConvertRow(const SqlDialect &dialect, ResultSet *set, const char *tableName) {
    if (set == nullptr || set->cursor == nullptr || set->columnCount < 0) return nullptr;
    const TableDefn *defn = tableName ? GetTableDefn(tableName) : nullptr;
    std::vector<ColumnDefn *> columns = Columns(defn);
    if (dialect.readsDatesAsText && columns.empty()) return nullptr;
    // Room for the table's columns too, so that an owner freeing the row by its table's
    // column count never reads past the arrays.
    const size_t count = std::max(size_t(set->columnCount), columns.size());
    void **values = static_cast<void **>(calloc(count ? count : 1, sizeof(void *)));
    int *lengths = static_cast<int *>(calloc(count ? count : 1, sizeof(int)));
    RowObject *row = values && lengths ? CreateNewRowObject(values, lengths) : nullptr;
    if (row == nullptr) {
        free(values);
        free(lengths);
        return nullptr;
    }
    row->state = ROW_STATE_STORED;
    const ResultCell *cell = set->cursor->values;
    for (size_t i = 0; i < size_t(set->columnCount) && cell != nullptr; ++i, cell = cell->next) {
        if (cell->bytes == nullptr) continue;
        const unsigned char resultType = set->columns ? set->columns[i].dataType : 0;
        const unsigned char tableType = i < columns.size() ? columns[i]->dataType : 0;
        const bool dateResult = resultType >= VEL_SQL_DATE && resultType <= VEL_SQL_DATETIME;
        void *value = nullptr;
        int length = cell->length;
        if (dateResult && cell->length == VEL_DATETIME_LENGTH) {
            // The record's parts are pointers into the result set: copy what they point to.
            auto *source = reinterpret_cast<const VelDateTime *>(cell->bytes);
            value = CreateDateTimeColumnValue(source->date, source->time);
        } else if (dialect.readsDatesAsText && !dateResult && tableType >= VEL_SQL_DATE &&
                   tableType <= VEL_SQL_DATETIME) {
            const std::string text(BytesText(cell->bytes, cell->length));
            value = ParseDateText(text.c_str(), tableType, &length);
            if (value == nullptr) {
                LogError("Cannot read %s as a date or time of column %s\n", text.c_str(),
                         columns[i]->name);
                FreeRowObject(row, int(count));
                return nullptr;
            }
        } else {
            value = CopyBytes(cell->bytes, cell->length);
            length = cell->length > 0 ? cell->length : 0;
        }
        if (value == nullptr) {
            FreeRowObject(row, int(count));
            return nullptr;
        }
        row->values[i] = value;
        row->lengths[i] = length;
    }
    return row;
}

// Runs one operation with its trace lines; nothing thrown gets past here.
template <typename F>
auto Traced(const SqlDialect &dialect, Operation operation, F &&body) -> decltype(body()) {
    LogTrace("@@@ Inside %s @@@\n", dialect.operationNames[operation]);
    try {
        return body();
    } catch (const std::bad_alloc &) {
        LogError("MEMORY_ALLOCATION_FAILURE\n");
        return nullptr;
    }
}

}  // namespace

extern "C" {

char *CriteriaValueToText(const unsigned char *value, int32_t length, unsigned char dataType,
                          apr_pool_t *pool) {
    if (value == nullptr || pool == nullptr || length < 0) return nullptr;
    const char *bytes = reinterpret_cast<const char *>(value);
    switch (dataType) {
        case VEL_SQL_DATE:
            if (length == VEL_DATE_LENGTH) {
                const auto *date = reinterpret_cast<const VelDate *>(value);
                return apr_psprintf(pool, "%04d-%02d-%02d", date->year, date->month, date->day);
            }
            break;
        case VEL_SQL_TIME:
            if (length == VEL_TIME_LENGTH) {
                const auto *time = reinterpret_cast<const VelTime *>(value);
                return apr_psprintf(pool, "%02d:%02d:%02d", time->hour, time->minute, time->second);
            }
            break;
        case VEL_SQL_DATETIME:
            break;
        case VEL_SQL_BLOB:
        case VEL_SQL_CLOB:
        case VEL_SQL_TEXT:
            return apr_pstrndup(pool, bytes, size_t(length));
        default:
            return ConvertColumnValueToPoolString(value, length, dataType, pool);
    }
    // A date or time given as text. An 11-byte VelDateTime record is not readable here (see
    // sqlgen.h); its pointer bytes do not read as a date.
    std::string_view text = BytesText(value, length);
    if (!IsDateTimeText(text)) return nullptr;
    return apr_pstrmemdup(pool, text.data(), text.size());
}

char *SqlGenSelect(const SqlDialect *dialect, SelectQuery *query) {
    if (dialect == nullptr) return nullptr;
    return Traced(*dialect, kSelect, [&]() -> char * {
        if (query == nullptr) return nullptr;
        Sql sql(kStatementStep, kStatementStep);
        if (!sql.ok()) return nullptr;
        if (!SelectWriter(*dialect, query, sql).Write()) return nullptr;
        char *text = sql.Release();
        if (text) LogTrace("\nSelect Query constructed is\n%s\n", text);
        return text;
    });
}

char *SqlGenUpdate(const SqlDialect *dialect, const char *tableName, RowObject *row) {
    if (dialect == nullptr) return nullptr;
    return Traced(*dialect, kUpdate, [&] {
        char *text = Update(*dialect, tableName, row);
        LogProduced("Update", text);
        return text;
    });
}

char *SqlGenInsert(const SqlDialect *dialect, const char *tableName, RowObject *row) {
    if (dialect == nullptr) return nullptr;
    return Traced(*dialect, kInsert, [&] {
        char *text = Insert(*dialect, tableName, row);
        LogProduced("Insert", text);
        return text;
    });
}

char *SqlGenDelete(const SqlDialect *dialect, const char *tableName, RowObject *row) {
    if (dialect == nullptr) return nullptr;
    return Traced(*dialect, kDelete, [&] {
        char *text = Delete(*dialect, tableName, row);
        LogProduced("Delete", text);
        return text;
    });
}

char *SqlGenCreate(const SqlDialect *dialect, const char *tableName) {
    if (dialect == nullptr) return nullptr;
    return Traced(*dialect, kCreate, [&] {
        char *text = Create(*dialect, tableName);
        LogProduced("Create Table", text);
        return text;
    });
}

RowObject *SqlConvResultRow(const SqlDialect *dialect, ResultSet *set, const char *tableName) {
    if (dialect == nullptr) return nullptr;
    return Traced(*dialect, kConvert, [&] { return ConvertRow(*dialect, set, tableName); });
}

char *QuoteSqlText(const char *dialectName, const char *text) {
    if (dialectName == nullptr || text == nullptr) return nullptr;
    for (const SqlDialect *dialect :
         {&gv_pgsqlDialect, &gv_mysqlDialect, &gv_firebirdDialect, &gv_sqliteDialect}) {
        if (StrCompareNoCase(dialect->name, dialectName) != 0) continue;
        try {
            return strdup(Quoted(*dialect, text).c_str());
        } catch (const std::bad_alloc &) {
            return nullptr;
        }
    }
    return nullptr;
}

}  // extern "C"
