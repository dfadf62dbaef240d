// The system's list of file operations at the next start: the
// PendingFileRenameOperations value on NT, [rename] of wininit.ini on 9x.
#pragma once

#include "platform/pending_codec.h"

class CPendingRenameList : public PendingOperationList {
public:
    // Reads the store of the running system; false when it cannot be read.
    bool Load();
    // Replaces the store's content with the list.
    bool Save() const;
};

enum PendingKinds { PENDING_RENAMES = 1, PENDING_DELETES = 2, PENDING_ALL = 3 };

// Leaves exactly one pending operation for the path: its deletion.
bool ScheduleDeleteAtReboot(const char* path);
// Removes the entries of the selected kinds that concern the path; true when any went.
bool CancelPendingOperations(const char* path, int kinds);
// Deletes the file now (read-only cleared) or schedules it; zero when there was no file.
bool DeleteFileOrSchedule(const char* path);
// True when FindFirstFileA finds the path or pattern.
bool PathExists(const char* path);
