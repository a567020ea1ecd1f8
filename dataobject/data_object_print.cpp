#include "dataobject/data_object_print.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "dataobject/row_collection.h"
#include "logging/log.h"

namespace {

std::string CellText(const void *value, int length, unsigned char dataType) {
    if (value == nullptr) return " NULL\t";
    char number[64];
    switch (dataType) {
        case VEL_SQL_TINYINT:
        case VEL_SQL_UNSIGNED_TINYINT:
        case VEL_SQL_SMALLINT:
        case VEL_SQL_INT:
        case VEL_SQL_UNSIGNED_INT:
            // Read at the stored width: a 1- or 2-byte value read as 4 bytes would overrun it.
            snprintf(number, sizeof number, " %d\t",
                     static_cast<int>(ReadStoredInteger(value, length, dataType)));
            return number;
        case VEL_SQL_BOOLEAN:
            return std::string(" ") + (*static_cast<const unsigned char *>(value) ? "1" : "0") +
                   "\t";
        case VEL_SQL_FLOAT:
            if (length < 4) return "";
            float f;
            memcpy(&f, value, sizeof f);
            snprintf(number, sizeof number, " %f\t", f);
            return number;
        case VEL_SQL_DOUBLE:
            if (length < 8) return "";
            double d;
            memcpy(&d, value, sizeof d);
            snprintf(number, sizeof number, " %f\t", d);
            return number;
        case VEL_SQL_CHAR:
        case VEL_SQL_VARCHAR:
            return std::string(" ") + static_cast<const char *>(value) + "\t";
        case VEL_SQL_DATE:
        case VEL_SQL_TIME:
        case VEL_SQL_DATETIME: {
            char *text = ConvertColumnValueToString(value, length, dataType);
            std::string cell = std::string(" ") + (text != nullptr ? text : "") + "\t";
            free(text);
            return cell;
        }
        default:
            return "";
    }
}

}  // namespace

extern "C" {

int PrintRowUnitValue(const void *value, int length, char *buffer, size_t size,
                      unsigned char dataType) {
    if (buffer == nullptr || size == 0) return 0;
    std::string cell = CellText(value, length, dataType);
    if (cell.size() >= size) {
        buffer[0] = '\0';
        return 0;
    }
    memcpy(buffer, cell.c_str(), cell.size() + 1);
    return 1;
}

char *FormatDataObject(DataObject *dataObject) {
    if (dataObject == nullptr) return nullptr;
    std::string text = "Tables selected in DataObject: \n";
    for (VectorNode *n = dataObject->tableList->head; n != nullptr; n = n->next) {
        text += static_cast<char *>(n->element);
        text += "\n";
    }
    text += "*************\n";
    for (RowCollection *c = dataObject->firstCollection; c != nullptr; c = c->next) {
        text += "Table Name: ";
        text += c->tableName;
        text += "\n";
        if (c->firstRowUnit == nullptr) continue;
        int count = CountCollectionColumns(c);
        for (int i = 0; i < count; ++i) text += std::string(" ") + c->columnNames[i] + "\t";
        text += "RowState\n";
        for (RowUnit *u = c->firstRowUnit; u != nullptr; u = u->next) {
            for (int i = 0; i < count; ++i)
                text += CellText(u->values[i], u->lengths[i], c->columnTypes[i]);
            text += std::to_string(u->state) + "\n";
        }
        text += "\n\n";
    }
    return strdup(text.c_str());
}

int PrintDataObject(DataObject *dataObject) {
    LogTrace("@@@ Inside PrintDataObject @@@\n");
    if (dataObject == nullptr) {
        LogError("Cannot print DataObject.  dataObjectPtr is NULL\n");
        return 0;
    }
    char *text = FormatDataObject(dataObject);
    if (text == nullptr) return 0;
    LogDebug("\n%s\n", text);
    free(text);
    return 1;
}

}  // extern "C"
