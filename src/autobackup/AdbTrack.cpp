#include "AdbTrack.h"
