// Change notifications; see change_notify.h for the contract.
#include "store/change_notify.h"

#include <stdlib.h>

#include "logging/log.h"
#include "store/column_defn.h"
#include "store/table_data.h"
#include "util/strings.h"
#include "util/vector.h"

namespace {

Vector gv_listenerVect = {nullptr, 0, nullptr, nullptr};

NotificationListener *Listener(const VectorNode *node) {
    return static_cast<NotificationListener *>(node->element);
}

VectorNode *FindListener(const char *name) {
    for (VectorNode *node = gv_listenerVect.head; node != nullptr; node = node->next) {
        if (StrCompareNoCase(Listener(node)->name, name) == 0) return node;
    }
    return nullptr;
}

int CountNames(char **tables) {
    int count = 0;
    while (tables[count] != nullptr) ++count;
    return count;
}

// Registration lists are a handful of names: a plain exchange sort does.
void SortNames(char **tables, int count) {
    for (int i = 0; i < count; ++i) {
        for (int k = i + 1; k < count; ++k) {
            if (StrCompareNoCase(tables[i], tables[k]) > 0) {
                char *swap = tables[i];
                tables[i] = tables[k];
                tables[k] = swap;
            }
        }
    }
}

// The column types of a loaded table or view, in column order; type 0 where unknown.
unsigned char ColumnType(const TableData *table, int index) {
    const Vector *columns = nullptr;
    if (table->kind == TABLE_DATA_TABLE && table->tableDefn != nullptr) {
        columns = table->tableDefn->columns;
    } else if (table->kind == TABLE_DATA_VIEW && table->viewDefn != nullptr) {
        columns = table->viewDefn->columns;
    }
    if (columns == nullptr) return VEL_SQL_NOT_SUPPORTED_TYPE;
    const VectorNode *node = columns->head;
    for (int i = 0; i < index && node != nullptr; ++i) node = node->next;
    if (node == nullptr || node->element == nullptr) return VEL_SQL_NOT_SUPPORTED_TYPE;
    if (table->kind == TABLE_DATA_TABLE) {
        return static_cast<const ColumnDefn *>(node->element)->dataType;
    }
    const ViewColumnDefn *view = static_cast<const ViewColumnDefn *>(node->element);
    return view->columnDefn != nullptr ? view->columnDefn->dataType
                                       : (unsigned char)VEL_SQL_NOT_SUPPORTED_TYPE;
}

// A notification with the number of values its row copy holds, which the row cannot tell.
struct OwnedNotification {
    IMDSNotification notification;  // first: the caller's pointer is this member's address
    int columnCount;
};

bool Accepts(unsigned char eventType, unsigned char state) {
    if (eventType == 0) return true;
    return state == eventType || state == (eventType | ROW_STATE_DELETED) ||
           state == (eventType | ROW_STATE_MODIFIED) || state == (eventType | ROW_STATE_STORED);
}

}  // namespace

extern "C" {

void InitNotification(void) {
    LogTrace("In Init notification\n");
    InitVector(&gv_listenerVect, nullptr);
}

int AddNotificationListener(char *name, unsigned char eventType, NotificationCallback callback,
                            unsigned char enabled, char **tables) {
    LogTrace("In Add notification Listener\n");
    if (tables == nullptr || tables[0] == nullptr) {
        LogError("Listener %s watches no table\n", name != nullptr ? name : "(null)");
        return 0;
    }
    if (FindListener(name) != nullptr) {
        LogError("Listener with same name exists %s\n", name != nullptr ? name : "(null)");
        // The caller handed the name over (a 1 always means so); it is not needed.
        free(name);
        return 1;
    }
    NotificationListener *listener =
        static_cast<NotificationListener *>(calloc(1, sizeof(NotificationListener)));
    if (listener == nullptr) {
        LogError("Buffer Allocation is failed for listener!!!\n");
        return 0;
    }
    SortNames(tables, CountNames(tables));
    listener->name = name;
    listener->tables = tables;
    listener->enabled = enabled;
    listener->eventType = eventType;
    listener->callback = callback;
    if (AddElementData(&gv_listenerVect, listener) != 1) {
        LogError("Buffer allocation is failed for nodePtr !!!\n");
        free(listener);
        return 0;
    }
    LogDebug("Listener with name %s added\n", name != nullptr ? name : "(null)");
    return 1;
}

int DisableNotificationListener(const char *name) {
    LogTrace("In Disable notification\n");
    if (gv_listenerVect.head == nullptr) return 0;
    VectorNode *node = FindListener(name);
    if (node == nullptr) {
        LogError("Listener with name %s doesn't exists\n", name != nullptr ? name : "(null)");
        return 0;
    }
    Listener(node)->enabled = 0;
    LogDebug("Listener with name %s disabled\n", name);
    return 1;
}

int RemoveNotificationListener(const char *name) {
    LogTrace("In Remove notification\n");
    if (gv_listenerVect.head == nullptr) return 0;
    VectorNode *node = FindListener(name);
    if (node == nullptr) {
        LogError("Listener with name %s doesn't exists\n", name != nullptr ? name : "(null)");
        return 0;
    }
    NotificationListener *listener = Listener(node);
    // Logged before the record goes: name may be the listener's own text.
    LogDebug("Listener with name %s removed\n", listener->name);
    DeleteElement(&gv_listenerVect, node);
    free(listener->name);
    free(listener);
    return 1;
}

IMDSNotification *CreateIMDSNotification(const RowObject *row, const char *tableName) {
    LogTrace("In CreateIMDSNotification \n");
    TableData *table = GetTableDataByName(tableName);
    if (table == nullptr || row == nullptr) return nullptr;
    const int count = table->columnCount > 0 ? table->columnCount : 0;
    OwnedNotification *owned = static_cast<OwnedNotification *>(calloc(1, sizeof *owned));
    if (owned == nullptr) return nullptr;
    IMDSNotification *notification = &owned->notification;
    RowObject *copy = static_cast<RowObject *>(calloc(1, sizeof(RowObject)));
    notification->row = copy;
    bool ok = copy != nullptr && AllocCopyString(&notification->tableName, tableName) == 1;
    if (ok) {
        copy->state = row->state;
        copy->values = static_cast<void **>(calloc(size_t(count > 0 ? count : 1), sizeof(void *)));
        copy->lengths = static_cast<int *>(calloc(size_t(count > 0 ? count : 1), sizeof(int)));
        ok = copy->values != nullptr && copy->lengths != nullptr;
        owned->columnCount = count;
    }
    for (int i = 0; ok && i < count && row->values != nullptr && row->lengths != nullptr; ++i) {
        copy->lengths[i] = row->lengths[i];
        if (row->values[i] == nullptr) continue;
        copy->values[i] = CopyColumnValue(row->values[i], row->lengths[i], ColumnType(table, i));
        ok = copy->values[i] != nullptr;
    }
    if (ok) {
        notification->timeStamp = GetCurrentVelDateTime();
        ok = notification->timeStamp != nullptr;
    }
    if (!ok) {
        FreeIMDSNotification(notification);
        return nullptr;
    }
    return notification;
}

void FreeIMDSNotification(IMDSNotification *notification) {
    if (notification == nullptr) return;
    OwnedNotification *owned = reinterpret_cast<OwnedNotification *>(notification);
    FreeRowObject(notification->row, owned->columnCount);
    free(notification->tableName);
    FreeVelDateTime(notification->timeStamp);
    free(owned);
}

int IsListContains(char **tables, const char *tableName) {
    if (tables != nullptr && tableName != nullptr) {
        int low = 0;
        int high = CountNames(tables) - 1;
        while (low <= high) {
            const int middle = low + (high - low) / 2;
            const signed char order = StrCompareNoCase(tables[middle], tableName);
            if (order == 0) return 1;
            if (order > 0) {
                high = middle - 1;
            } else {
                low = middle + 1;
            }
        }
    }
    LogDebug("List doesn't contains key \n");
    return 0;
}

void SendNotification(const RowObject *row, const char *tableName) {
    LogTrace("In send notification\n");
    if (gv_listenerVect.head == nullptr) return;
    IMDSNotification *notification = CreateIMDSNotification(row, tableName);
    if (notification == nullptr) return;
    const unsigned char state = row->state;
    for (VectorNode *node = gv_listenerVect.head; node != nullptr; node = node->next) {
        NotificationListener *listener = Listener(node);
        if (!listener->enabled) {
            LogDebug("Listener %s  disabled\n", listener->name);
        } else if (!IsListContains(listener->tables, tableName)) {
            LogDebug("Listener not registered for %s table\n", tableName);
        } else if (!Accepts(listener->eventType, state)) {
            LogDebug("Listener not registered for Eventype %d\n", state);
        } else if (listener->callback != nullptr) {
            listener->callback(notification, listener->name);
        }
    }
    FreeIMDSNotification(notification);
}

void DeInitNotification(void) {
    LogTrace("In DeInit notification\n");
    for (VectorNode *node = gv_listenerVect.head; node != nullptr; node = node->next) {
        NotificationListener *listener = Listener(node);
        LogTrace("Listener with name %s removed\n", listener->name);
        free(listener->name);
        free(listener);
    }
    FreeVector(&gv_listenerVect);
    InitVector(&gv_listenerVect, nullptr);
}

}  // extern "C"
