#include "dataobject/data_object_save.h"

#include <stdlib.h>

#include "dataobject/row_collection.h"
#include "dataobject/row_unit.h"
#include "dataobject/save_order.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/statements.h"
#include "logging/log.h"

extern "C" {

int SaveRowUnit(RowUnit *rowUnit, DataObject *dataObject) {
    LogTrace("@@@ Inside SaveRowUnit @@@\n");
    if (rowUnit == nullptr || dataObject == nullptr) return 0;
    RowObject *row = GetRowObjectFromRowUnit(rowUnit, dataObject);
    if (row == nullptr) {
        LogError("Cannot convert RowUnit to RowObject.\n");
        return 0;
    }
    const unsigned char state = rowUnit->state;
    LogDebug("RowState %d\n", state);
    // The statement is chosen before a connection is taken: a unit with nothing to save
    // needs none, and a missing connection must not hide that.
    char *sql = nullptr;
    if (state == 0 || state == 1) {
    } else if (state == 5) {
        sql = GenerateUpdateQuery(rowUnit->tableName, row);
    } else if ((state & 1) && (state & 8)) {
        sql = GenerateDeleteQuery(rowUnit->tableName, row);
    } else if (state == 2 || state == 6) {
        sql = GenerateInsertQuery(rowUnit->tableName, row);
    } else if ((state & 2) && (state & 8)) {
    } else {
        LogError("Invalid State for keyStr.  Cannot Save.\n");
    }
    if (sql == nullptr) {
        LogError("QueryPtr is NULL.\n");
        return 0;
    }
    const char *connection = GetConnectionNameForTable(rowUnit->tableName);
    ConnectionHandle *handle = GetConnectionHandle(connection);
    int done = handle != nullptr && ExecuteUpdate(handle, sql) == 1;
    if (handle != nullptr) ReleaseConnectionHandle(connection);
    if (!done) {
        LogError("Error in executing update query \n");
        LogError("QUERY : %s\n", sql);
    }
    free(sql);
    return done;
}

int SaveRowCollection(RowCollection *rowCollection, DataObject *dataObject) {
    LogTrace("@@@ Inside SaveRowCollection @@@\n");
    if (rowCollection == nullptr) return 1;
    for (RowUnit *u = rowCollection->firstRowUnit; u != nullptr; u = u->next)
        SaveRowUnit(u, dataObject);
    return 1;
}

int SaveDataObject(DataObject *dataObject) {
    LogTrace("@@@ Inside SaveDataObject @@@\n");
    if (dataObject == nullptr) return 1;
    Vector *order = SortTableByFK(dataObject->tableList, dataObject->pool);
    if (order != nullptr) dataObject->tableList = order;
    for (VectorNode *n = dataObject->tableList->head; n != nullptr; n = n->next) {
        SaveRowCollection(GetRowCollection(static_cast<char *>(n->element), dataObject),
                          dataObject);
    }
    return 1;
}

}  // extern "C"
