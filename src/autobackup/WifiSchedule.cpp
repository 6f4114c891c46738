#include "WifiSchedule.h"
