#include "AdbTracker.h"
