#include "driver_record.h"

#include <cstring>

DriverInfRecord::DriverInfRecord()
{
    std::memset(&devInfoData, 0, sizeof(devInfoData));
    devInfoData.cbSize = sizeof(SP_DEVINFO_DATA);
}
