#include "AutoRunRecord.h"
