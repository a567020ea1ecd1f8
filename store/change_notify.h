/*
 * Change notifications: named listeners that embedding code registers to hear of rows added,
 * updated and removed in the in-memory tables. The table operations call SendNotification;
 * each enabled listener that watches the table and accepts the row's state gets a
 * notification holding a copy of the row, the table name and the local time.
 *
 * Ownership: on a result of 1, AddNotificationListener owns the listener's name (malloc'd by
 * the caller; freed when the listener is removed, or at once when the name is taken already)
 * and keeps, without copying, the caller's null-terminated tables array, which it sorts in
 * place and which must outlive the listener. On 0 both stay the caller's. A notification
 * belongs to SendNotification, which frees it after the callbacks: a callback copies what it
 * keeps. CreateIMDSNotification's result is freed with FreeIMDSNotification.
 *
 * Results: 1 done, 0 refused; messages as each function says. When no listener is
 * registered, sending makes no copy at all.
 *
 * Locking: the listener list is a Vector and locks itself for each change; sending walks it
 * without a lock, so listeners are registered and removed while no table changes. Callbacks
 * run on the changing thread, inside whatever lock the change holds (the criteria lock
 * during a delete by criteria): a callback must not call the store's table operations.
 */
#ifndef KV_STORE_CHANGE_NOTIFY_H
#define KV_STORE_CHANGE_NOTIFY_H

#include "store/datetime.h"
#include "store/row_object.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct IMDSNotification {
    char *tableName;        /* owned copy */
    RowObject *row;         /* owned copy: values, lengths and state; no next row */
    VelDateTime *timeStamp; /* local time of the change */
} IMDSNotification;

/* The result is ignored. */
typedef int (*NotificationCallback)(IMDSNotification *notification, const char *listenerName);

typedef struct NotificationListener {
    char *name;
    char **tables; /* sorted ascending ignoring case, null-terminated */
    unsigned char enabled;
    unsigned char eventType; /* 0: every change; else a row state, see SendNotification */
    NotificationCallback callback;
} NotificationListener;

/* Empties the listener list (forgetting what it held). */
void InitNotification(void);
/* Registers a listener at the end of the list. A name already registered (ignoring case)
 * logs "Listener with same name exists %s\n" and registers nothing, still returning 1. A
 * listener that watches no table (null or empty array) is refused with 0. */
int AddNotificationListener(char *name, unsigned char eventType, NotificationCallback callback,
                            unsigned char enabled, char **tables);
/* Disables the first listener of that name (ignoring case); there is no way back. */
int DisableNotificationListener(const char *name);
/* Removes the first listener of that name (ignoring case) and frees its name and record. */
int RemoveNotificationListener(const char *name);
/* Calls every enabled listener that watches tableName and accepts the row's state s: event
 * type t of 0 accepts every state, otherwise s must be t, t|8, t|4 or t|1. */
void SendNotification(const RowObject *row, const char *tableName);
/* A new notification for a row of a loaded table; null when the table is not loaded or
 * memory runs out. */
IMDSNotification *CreateIMDSNotification(const RowObject *row, const char *tableName);
/* Frees a notification and everything in it; null is ignored. */
void FreeIMDSNotification(IMDSNotification *notification);
/* 1 when the sorted, null-terminated array holds the name (ignoring case). */
int IsListContains(char **tables, const char *tableName);
/* Removes and frees every listener. */
void DeInitNotification(void);

#ifdef __cplusplus
}
#endif

#endif /* KV_STORE_CHANGE_NOTIFY_H */
