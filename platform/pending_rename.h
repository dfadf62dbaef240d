// The system's list of file operations at the next start: the
// PendingFileRenameOperations value on NT, [rename] of wininit.ini on 9x.
#pragma once

#include "platform/pending_codec.h"

class CPendingRenameList : public PendingOperationList {
public:
    // Clears the list and reads the store of the running system; false when
    // the store cannot be read (NT: key or value unreadable).
    bool Load();
    // Replaces the store's content with the list; false when the NT key cannot
    // be opened for writing (nothing is changed then).
    bool Save() const;
};

// Leaves exactly one pending operation for the path: its deletion.
bool ScheduleDeleteAtReboot(const char* path);
// Removes the entries of the selected kinds (PendingKinds) that concern the
// path; true when any went (the store is rewritten only then).
bool CancelPendingOperations(const char* path, int kinds);
// Deletes the file now (read-only cleared) or schedules it; false when there
// was no file or scheduling failed.
bool DeleteFileOrSchedule(const char* path);
// True when FindFirstFileA finds the path or pattern.
bool PathExists(const char* path);
