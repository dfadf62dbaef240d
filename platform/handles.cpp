#include "platform/handles.h"

#include "platform/setupapi_bind.h"

// The SetupAPI handles are released through the late-bound library that made them.
void DevInfoTraits::Close(Handle h) { setupapi::SetupDiDestroyDeviceInfoList(h); }
void InfHandleTraits::Close(Handle h) { setupapi::SetupCloseInfFile(h); }
void FileQueueTraits::Close(Handle h) { setupapi::SetupCloseFileQueue(h); }
void QueueContextTraits::Close(Handle h) { setupapi::SetupTermDefaultQueueCallback(h); }
